#include "servicelog/log_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "base/error.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class LogFileTest : public ::testing::Test {
 protected:
  TempDir temp;
  ManualClock clock{DateTime::fromParts(2024, 3, 5, 14, 7, 9, 420)};
  LogFile log{clock, temp.dir()};
};

TEST_F(LogFileTest, LinesAreTimeStampedCp1252WithCrLf) {
  const mode_t umaskBefore = umask(0);
  log.DoSaveLog("Serviço criado");
  umask(umaskBefore);
  EXPECT_EQ(log.path(), temp.dir() + "Varenta.log");
  EXPECT_EQ(readBytes(log.path()), "05/03/2024 14:07:09 - Servi\xE7o criado\r\n");
  // Readable by its owner and group only: it holds customers' tax numbers.
  EXPECT_EQ(std::filesystem::status(log.path()).permissions(), std::filesystem::perms::owner_read |
                                                                   std::filesystem::perms::owner_write |
                                                                   std::filesystem::perms::group_read);

  clock.set(DateTime::fromParts(2024, 12, 31, 0, 5, 3));
  log.DoSaveLog("");
  // Written as given; what the code page lacks becomes a close equivalent, or "?" when none is known.
  log.DoSaveLog("linha 1\r\nMensagem: não → 中 Łódź");
  EXPECT_EQ(readBytes(log.path()),
            "05/03/2024 14:07:09 - Servi\xE7o criado\r\n"
            "31/12/2024 00:05:03 - \r\n"
            "31/12/2024 00:05:03 - linha 1\r\nMensagem: n\xE3o -> ? L\xF3\x64z\r\n");
}

// No control byte reaches the file but the CR LF that breaks lines (an LF alone, as the database
// client breaks its messages, included): each other one is named in hexadecimal, so the operator
// sees which it was.
TEST_F(LogFileTest, ControlCharactersAreWrittenVisibly) {
  struct Case {
    std::string message;
    std::string written;
  };
  for (const Case& c : {
           Case{std::string("a\0b\x01"
                            "c\td",
                            7),
                "a<0x00>b<0x01>c<0x09>d"},
           {"lone\nLF, lone\rCR, CR\r\r\nLF\n", "lone\r\nLF, lone<0x0D>CR, CR<0x0D>\r\nLF\r\n"},
           {"Ctrl-Z \x1A, DEL \x7F, US \x1F", "Ctrl-Z <0x1A>, DEL <0x7F>, US <0x1F>"},
           {"C1 \xC2\x81\xC2\x9F, not C1 \xC2\xA0\xC3\xA7", "C1 <0x81><0x9F>, not C1 \xA0\xE7"},
       }) {
    std::filesystem::remove(log.path());
    log.DoSaveLog(c.message);
    EXPECT_EQ(readBytes(log.path()), "05/03/2024 14:07:09 - " + c.written + "\r\n") << c.message;
  }
}

TEST_F(LogFileTest, CutsAtCtrlZOnlyWithinTheLast128Bytes) {
  struct Case {
    std::string before;
    std::string kept;
  };
  const std::string far(200, 'x');
  for (const Case& c : {Case{"old line\r\n\x1A\x1A junk", "old line\r\n"}, Case{"\x1A" + far, "\x1A" + far},
                        Case{far + "\x1A" + "tail", far}}) {
    writeBytes(log.path(), c.before);
    log.DoSaveLog("novo");
    EXPECT_EQ(readBytes(log.path()), c.kept + "05/03/2024 14:07:09 - novo\r\n") << c.before;
  }
}

TEST_F(LogFileTest, FailsWithTheSystemsTextAndWritesNothing) {
  LogFile missingDir(clock, temp.dir() + "absent/");
  try {
    missingDir.DoSaveLog("perdida");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "No such file or directory");
  }

  std::filesystem::create_directory(log.path());  // a directory where the file should be
  EXPECT_THROW(log.DoSaveLog("perdida"), EInOutError);

  TempDir full;
  std::filesystem::create_symlink("/dev/full", full.dir() + "Varenta.log");
  LogFile onFullDisk(clock, full.dir());
  try {
    onFullDisk.DoSaveLog("perdida");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "No space left on device");
  }
}

TEST_F(LogFileTest, AFileLockedElsewhereFailsTheLineInsteadOfWaitingForIt) {
  log.DoSaveLog("antes");
  // Another open description of the file holds its lock, as another process would.
  const int holder = open(log.path().c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  try {
    log.DoSaveLog("perdida");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "The process cannot access the file because it is being used by another process");
  }
  close(holder);
  log.DoSaveLog("depois");
  EXPECT_EQ(readBytes(log.path()), "05/03/2024 14:07:09 - antes\r\n05/03/2024 14:07:09 - depois\r\n");
}

TEST_F(LogFileTest, LinesFromTwoThreadsAndAnotherProcessNeverMix) {
  constexpr int kLines = 300;
  const auto writer = [&](char letter) {
    for (int i = 0; i < kLines; ++i) log.DoSaveLog(std::string(50, letter));
  };
  // Forked before the threads exist, so the child finds the process's lock free.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      writer('c');
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::istringstream lines(readBytes(log.path()));
  std::map<char, int> counts;
  for (std::string line; std::getline(lines, line);) {
    const char letter = line.size() > 22 ? line[22] : '?';
    EXPECT_EQ(line, "05/03/2024 14:07:09 - " + std::string(50, letter) + "\r");
    ++counts[letter];
  }
  EXPECT_EQ(counts, (std::map<char, int>{{'a', kLines}, {'b', kLines}, {'c', kLines}}));
}

// Rotation renames the file (as logrotate does without copytruncate) and the next line makes a new
// one. A line being written as the file is renamed lands whole in the old file or the new one; none
// is lost, and every line begun after the last rename is in the new file.
TEST_F(LogFileTest, LinesDuringAndAfterARotationAreAllKeptWhole) {
  constexpr int kLines = 3000;
  std::atomic<int> written = 0;
  std::thread writer([&] {
    for (int i = 0; i < kLines; ++i) {
      log.DoSaveLog(std::to_string(i));
      written = i + 1;
    }
  });
  std::vector<std::string> rotated;
  while (written < kLines) {
    const std::string to = log.path() + "." + std::to_string(rotated.size() + 1);
    if (std::rename(log.path().c_str(), to.c_str()) == 0) rotated.push_back(to);
    std::this_thread::yield();
  }
  writer.join();
  EXPECT_GE(rotated.size(), 2u) << "no rotation while lines were being written";

  if (std::filesystem::exists(log.path())) {
    const std::string last = log.path() + ".last";
    ASSERT_EQ(std::rename(log.path().c_str(), last.c_str()), 0);
    rotated.push_back(last);
  }
  log.DoSaveLog("depois");
  EXPECT_EQ(readBytes(log.path()), "05/03/2024 14:07:09 - depois\r\n");

  std::string expected;
  for (int i = 0; i < kLines; ++i) expected += "05/03/2024 14:07:09 - " + std::to_string(i) + "\r\n";
  std::string kept;
  for (const std::string& file : rotated) kept += readBytes(file);
  EXPECT_EQ(kept, expected);
}

}  // namespace
}  // namespace varenta
