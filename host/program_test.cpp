// The real program, copied into a temporary directory and run there: lifecycle, signals, the log
// file's bytes, what systemd hears, installation into a temporary unit directory, bad input, a log
// that cannot be written and a database that stops answering.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "base/text.h"
#include "storedb/query.h"
#include "tests/firebird/loopback_relay.h"
#include "tests/firebird/test_database.h"
#include "tests/support/files.h"
#include "tests/support/lifecycle_log.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace varenta {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A copy of prjSrvVarenta in its own directory, where its log appears.
class Program {
 public:
  Program() { fs::copy_file(VARENTA_SERVICE_BINARY, binary()); }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  std::string binary() const { return dir.dir() + "prjSrvVarenta"; }
  std::string logPath() const { return dir.dir() + "Varenta.log"; }
  std::string out() const { return readFile(dir.dir() + "stdout"); }
  std::string err() const { return readFile(dir.dir() + "stderr"); }
  // The log as UTF-8 lines (CR LF taken off).
  std::vector<std::string> lines() const {
    std::vector<std::string> lines;
    std::istringstream in(cp1252ToUtf8(readFile(logPath())));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
    return lines;
  }
  std::vector<std::string> messages() const {
    std::vector<std::string> messages;
    for (const std::string& line : lines())
      messages.push_back(line.substr(std::min<size_t>(line.size(), 22)));
    return messages;
  }

  // Starts the program with these arguments and, of the variables the service heeds, these only;
  // its standard error is `errorFd` when one is given. It starts with every signal's default action,
  // whatever the test program ignores.
  void start(const std::vector<std::string>& arguments, const std::vector<std::string>& variables,
             int errorFd = -1) {
    std::vector<std::string> env;
    // Nor systemd's, when the tests themselves run under it.
    for (char** e = environ; *e; ++e) {
      const std::string_view variable(*e);
      if (!variable.starts_with("VARENTA_") && !variable.starts_with("NOTIFY_SOCKET=") &&
          !variable.starts_with("WATCHDOG_"))
        env.emplace_back(*e);
    }
    env.insert(env.end(), variables.begin(), variables.end());
    std::vector<std::string> args = {binary()};
    args.insert(args.end(), arguments.begin(), arguments.end());

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, (dir.dir() + "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (errorFd >= 0)
      posix_spawn_file_actions_adddup2(&files, errorFd, 2);
    else
      posix_spawn_file_actions_addopen(&files, 2, (dir.dir() + "stderr").c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&pid_, binary().c_str(), &files, &attributes, pointers(args).data(),
                               pointers(env).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    ASSERT_EQ(rc, 0);
  }

  // The exit status, or -1 when the program did not end within 20 seconds.
  int wait() {
    for (int i = 0; i < 2000; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

  // Without reaping it, so that wait() still gets its status.
  bool running() const {
    siginfo_t info{};
    return pid_ > 0 && waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }
  pid_t pid() const { return pid_; }

  int run(const std::vector<std::string>& arguments, const std::vector<std::string>& variables) {
    start(arguments, variables);
    return wait();
  }

  void signal(int number) const { kill(pid_, number); }

  // Waits until the log holds `message` at least `times` times (or 20 seconds passed).
  bool awaitMessage(const std::string& message, int times = 1) const {
    for (int i = 0; i < 2000; ++i) {
      const auto all = messages();
      if (std::count(all.begin(), all.end(), message) >= times) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  // Waits until standard error holds `line` as a whole line at least `times` times (or 20 seconds passed).
  bool awaitErrorLine(const std::string& line, int times = 1) const {
    for (int i = 0; i < 2000; ++i) {
      if (errorLines(line) >= times) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  long errorLines(const std::string& line) const {
    std::istringstream in(err());
    long count = 0;
    for (std::string l; std::getline(in, l);) count += l == line;
    return count;
  }

  TempDir dir;

 private:
  static std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
  }
  pid_t pid_ = 0;
};

// `wanted` appears in `all` in this order, other lines allowed between.
::testing::AssertionResult inOrder(const std::vector<std::string>& all,
                                   const std::vector<std::string>& wanted) {
  auto at = all.begin();
  for (const std::string& w : wanted) {
    at = std::find(at, all.end(), w);
    if (at == all.end()) return ::testing::AssertionFailure() << "\"" << w << "\" missing or out of order";
    ++at;
  }
  return ::testing::AssertionSuccess();
}

TEST(Program, RunsTheCycleAndAnswersControlSignals) {
  Program program;
  auto probed = LoopbackListener::http();
  program.start(
      {}, {"VARENTA_TIME_SCALE=0.001", "VARENTA_PROBE_HOSTS=127.0.0.1:" + std::to_string(probed->port())});
  const std::string connecting = "DB: desconectado -> IniConn";
  ASSERT_TRUE(program.awaitMessage(connecting, 2));
  program.signal(SIGUSR1);
  ASSERT_TRUE(program.awaitMessage("Serviço pausado"));
  const auto paused = program.messages();
  const auto ticksBefore = std::count(paused.begin(), paused.end(), connecting);
  ASSERT_TRUE(program.awaitMessage(connecting, static_cast<int>(ticksBefore) + 2));  // paused, still ticking
  program.signal(SIGUSR2);
  ASSERT_TRUE(program.awaitMessage("Serviço despausado"));
  probed->stop();
  ASSERT_TRUE(program.awaitMessage("Entrando em pausa por 15 minutos (internet)."));
  program.signal(SIGTERM);
  EXPECT_EQ(program.wait(), 0);

  const auto messages = program.messages();
  EXPECT_TRUE(inOrder(
      messages,
      {"Serviço criado", "Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos.", "Serviço executado",
       connecting, "Serviço pausado", connecting, "Serviço despausado", "Falha na conexão de internet.",
       "Entrando em pausa por 15 minutos (internet).", "Serviço parado", "Serviço encerrado"}));
  EXPECT_EQ(messages.front(), "Serviço criado");
  EXPECT_EQ(messages.back(), "Serviço encerrado");
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Serviço finalizado"), 0);

  const std::string bytes = readFile(program.logPath());
  EXPECT_NE(bytes.find("Servi\xE7o parado\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("Falha na conex\xE3o de internet.\r\n"), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'));
  const std::regex layout(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - .*)");
  for (const std::string& line : program.lines()) EXPECT_TRUE(std::regex_match(line, layout)) << line;
  EXPECT_EQ(program.err().find("SrvVarenta:"), std::string::npos) << program.err();  // nothing went wrong
}

TEST(Program, InstallsAndUninstallsASystemdUnit) {
  Program program;
  TempDir units;
  const std::string unitDir = "VARENTA_UNIT_DIR=" + units.dir();
  const std::string unit = units.dir() + "SrvVarenta.service";

  ASSERT_EQ(program.run({"/INSTALL"}, {unitDir}), 0);
  EXPECT_EQ(program.out(), "Service SrvVarenta installed successfully\n");
  EXPECT_EQ(program.messages(),
            (std::vector<std::string>{"Serviço criado", "Iniciando instalação do serviço",
                                      "Serviço instalado com sucesso", "Serviço encerrado"}));
  const std::string text = readFile(unit);
  for (const std::string& line : std::vector<std::string>{
           "Description=SrvVarenta: keeps the store's Firebird database in step with the Varenta promotions "
           "cloud",
           "Wants=network-online.target", "After=network-online.target firebird3.0.service", "Type=notify",
           "ExecStart=\"" + program.binary() + "\"", "Restart=on-failure", "RestartSec=30",
           "WatchdogSec=10min", "WantedBy=multi-user.target"})
    EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << "\n" << text;
  if (system("command -v systemd-analyze >/dev/null") == 0) {
    // It warns of what it ignores (an unknown key, a value it cannot read) and still succeeds.
    const std::string said = units.dir() + "verify";
    EXPECT_EQ(system(("systemd-analyze verify " + unit + " >" + said + " 2>&1").c_str()), 0) << text;
    EXPECT_EQ(readFile(said), "") << text;
  } else {
    std::cout << "[ NOTE     ] systemd-analyze is not installed; the unit file was not verified\n";
  }

  ASSERT_EQ(program.run({"-uninstall", "/silent"}, {unitDir}), 0);
  EXPECT_EQ(program.out(), "");
  EXPECT_FALSE(fs::exists(unit));
  EXPECT_TRUE(inOrder(program.messages(),
                      {"Serviço encerrado", "Serviço criado", "Iniciando desinstalação do serviço",
                       "Serviço desinstalado com sucesso", "Serviço encerrado"}));

  // Nothing left to remove: an error, and no success line.
  const auto before = program.messages().size();
  EXPECT_EQ(program.run({"/UNINSTALL"}, {unitDir}), 1);
  EXPECT_NE(program.err().find("not installed"), std::string::npos) << program.err();
  const auto after = program.messages();
  EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<long>(before), after.end()),
            (std::vector<std::string>{"Serviço criado", "Iniciando desinstalação do serviço",
                                      "Serviço encerrado"}));
}

// The same events give the same bytes as the Windows build under its service control manager.
TEST(Program, LogsTheLifecycleInTheBytesOfEveryPlatform) {
  Program program;
  TempDir units;
  const std::string unitDir = "VARENTA_UNIT_DIR=" + units.dir();
  ASSERT_EQ(program.run({"/INSTALL", "/SILENT"}, {unitDir}), 0);
  program.start({}, {});
  ASSERT_TRUE(program.awaitMessage("Serviço executado"));
  program.signal(SIGUSR1);
  ASSERT_TRUE(program.awaitMessage("Serviço pausado"));
  program.signal(SIGUSR2);
  ASSERT_TRUE(program.awaitMessage("Serviço despausado"));
  program.signal(SIGTERM);
  ASSERT_EQ(program.wait(), 0);
  ASSERT_EQ(program.run({"/UNINSTALL", "/SILENT"}, {unitDir}), 0);
  EXPECT_EQ(maskedTimestamps(readFile(program.logPath())), kLifecycleLog);
}

TEST(Program, RefusesBadInputBeforeTouchingTheLog) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> variables;
    std::string said;
  };
  for (const Case& c :
       {Case{{"/bogus"}, {}, "usage: prjSrvVarenta"}, Case{{"INSTALL"}, {}, "usage: prjSrvVarenta"},
        Case{{}, {"VARENTA_TIME_SCALE=0"}, "VARENTA_TIME_SCALE"},
        Case{{}, {"VARENTA_TIME_SCALE=fast"}, "VARENTA_TIME_SCALE"},
        Case{{}, {"VARENTA_PROBE_HOSTS=127.0.0.1:99999"}, "VARENTA_PROBE_HOSTS"},
        Case{{}, {"VARENTA_PROBE_HOSTS="}, "VARENTA_PROBE_HOSTS"}}) {
    Program program;
    EXPECT_EQ(program.run(c.arguments, c.variables), 2);
    EXPECT_NE(program.err().find(c.said), std::string::npos) << program.err();
    EXPECT_FALSE(fs::exists(program.logPath()));
  }
}

// Standard error whose reader is gone (a journal that went away, a pipe closed): what the program
// says there is lost, and it goes on to its own end instead of dying of SIGPIPE.
TEST(Program, OutlivesAStandardErrorNobodyReads) {
  Program program;
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  program.start({"/bogus"}, {}, ends[1]);
  close(ends[1]);
  EXPECT_EQ(program.wait(), 2);  // the usage text's status, not 128 + SIGPIPE
}

// A datagram socket where the program, given NOTIFY_SOCKET, tells what systemd would hear.
class NotifySocket {
 public:
  NotifySocket() : path_(dir_.dir() + "notify") {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path_.copy(address.sun_path, sizeof address.sun_path - 1);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot bind " + path_);
  }
  ~NotifySocket() { close(fd_); }

  std::string variable() const { return "NOTIFY_SOCKET=" + path_; }
  // Waits until a message equal to `message` came `times` times (or 20 seconds passed).
  bool await(const std::string& message, int times = 1) {
    for (int i = 0; i < 2000; ++i) {
      char buffer[4096];
      for (ssize_t got; (got = recv(fd_, buffer, sizeof buffer, 0)) >= 0;)
        messages_.emplace_back(buffer, got);
      if (std::count(messages_.begin(), messages_.end(), message) >= times) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  TempDir dir_;
  std::string path_;
  int fd_ = -1;
  std::vector<std::string> messages_;
};

TEST(Program, TellsSystemdItIsReadyAliveAndStopping) {
  Program program;
  NotifySocket systemd;
  auto probed = LoopbackListener::http();
  // The first tick is three minutes away: the watchdog hears from the cycle while it waits.
  program.start({}, {systemd.variable(), "WATCHDOG_USEC=200000",
                     "VARENTA_PROBE_HOSTS=127.0.0.1:" + std::to_string(probed->port())});
  ASSERT_TRUE(systemd.await("READY=1\nSTATUS=Serviço em execução"));
  EXPECT_TRUE(systemd.await("WATCHDOG=1", 5));
  program.signal(SIGUSR1);
  EXPECT_TRUE(systemd.await("STATUS=Serviço pausado"));
  program.signal(SIGUSR2);
  EXPECT_TRUE(systemd.await("STATUS=Serviço em execução"));
  program.signal(SIGTERM);
  EXPECT_TRUE(systemd.await("STOPPING=1"));
  EXPECT_EQ(program.wait(), 0);
  const auto& heard = systemd.messages();
  EXPECT_EQ(std::count(heard.begin(), heard.end(), "READY=1\nSTATUS=Serviço em execução"), 1);
  EXPECT_TRUE(inOrder(program.messages(), {"Serviço pausado", "Serviço despausado", "Serviço parado"}));
}

// Varenta.log as a directory cannot be opened for writing, not even by root.
TEST(Program, ALogThatCannotBeWrittenChangesNothingTheServiceDoes) {
  Program program;
  fs::create_directory(program.logPath());
  program.start({},
                {"VARENTA_TIME_SCALE=0.01", "VARENTA_PROBE_HOSTS=127.0.0.1:" + std::to_string(closedPort())});
  // The first tick (1.8 s after the start) finds no internet and cannot log it: the tick's error
  // goes to the journal, and the fifteen-minute pause (9 s here) holds all the same, so the resting
  // ticks every 0.3 s probe nothing and report nothing.
  const std::string tickFailed = "SrvVarenta: EInOutError - Is a directory";
  ASSERT_TRUE(program.awaitErrorLine(tickFailed));
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(program.errorLines(tickFailed), 1) << program.err();

  // Control requests still take effect; their lines go to the journal.
  const auto lost = [](const std::string& line) {
    return "SrvVarenta: lost log line \"" + line + "\": EInOutError - Is a directory";
  };
  program.signal(SIGUSR1);
  EXPECT_TRUE(program.awaitErrorLine(lost("Serviço pausado")));
  program.signal(SIGUSR2);
  EXPECT_TRUE(program.awaitErrorLine(lost("Serviço despausado")));
  EXPECT_TRUE(program.running());
  program.signal(SIGTERM);
  EXPECT_EQ(program.wait(), 0);
  std::vector<std::string> errors;
  std::istringstream in(program.err());
  for (std::string line; std::getline(in, line);)
    if (line != tickFailed) errors.push_back(line);
  EXPECT_EQ(errors,
            (std::vector<std::string>{
                lost("Serviço criado"), lost("Serviço iniciado. Primeiro ciclo do Varenta em 3 minutos."),
                lost("Serviço executado"), lost("Serviço pausado"), lost("Serviço despausado"),
                lost("Serviço parado"), lost("Serviço encerrado")}));
}

// A database link that stops answering, with no reset, holds a call in the Firebird client for
// good. The stop gives up on it after its patience (10 s) and the process ends.
TEST(Program, AStopEndsTheProcessWhenTheDatabaseStoppedAnswering) {
  testing::TestDatabase db;
  auto probed = LoopbackListener::http();
  const struct {
    const char* name;
    bool stallAtOnce;  // or once the service is attached
  } cases[] = {{"a tick waiting on the attachment", true}, {"the attachment the stop releases", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::LoopbackRelay relay(3050);
    Program program;
    std::ofstream(program.dir.dir() + "Tolvane.ini")
        << "[Tolvane]\nServidor=127.0.0.1/" << relay.port() << "\nCaminho=" << db.path() << "\n";
    // The server's first answer passes, so the client has left the attachment's connect time-out
    // behind when the link stalls.
    if (c.stallAtOnce) relay.stall(1);
    program.start(
        {}, {"VARENTA_TIME_SCALE=0.001", "VARENTA_PROBE_HOSTS=127.0.0.1:" + std::to_string(probed->port())});
    ASSERT_TRUE(program.awaitMessage("DB: desconectado -> IniConn"));
    if (!c.stallAtOnce) {
      Query attached(db.connection());
      attached.setSql("select count(*) as n from mon$attachments where mon$remote_pid = :pid");
      attached.setInteger("pid", program.pid());
      for (int i = 0; i < 2000; ++i) {
        attached.open();
        if (attached.field("n").asInteger() > 0) break;
        std::this_thread::sleep_for(10ms);
      }
      ASSERT_GT(attached.field("n").asInteger(), 0);
      relay.stall();
    }
    for (int i = 0; i < 2000 && relay.stalledLinks() == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_GT(relay.stalledLinks(), 0);
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(), 0);  // within 20 s
    const auto messages = program.messages();
    EXPECT_TRUE(inOrder(messages, {"DB: desconectado -> IniConn", "Serviço parado", "Serviço encerrado"}));
    EXPECT_EQ(messages.back(), "Serviço encerrado");
    EXPECT_EQ(program.errorLines("SrvVarenta: a call still running when the service stopped was given up on"),
              1)
        << program.err();
  }
}

}  // namespace
}  // namespace varenta
