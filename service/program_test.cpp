// The real program, copied into a temporary directory and run there: lifecycle, signals, the log
// file's bytes, installation into a temporary unit directory and bad input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "base/text.h"
#include "tests/support/files.h"
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

  // Starts the program with these arguments and these VARENTA_ variables only.
  void start(const std::vector<std::string>& arguments, const std::vector<std::string>& variables) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
      if (std::string_view(*e).rfind("VARENTA_", 0) != 0) env.emplace_back(*e);
    env.insert(env.end(), variables.begin(), variables.end());
    std::vector<std::string> args = {binary()};
    args.insert(args.end(), arguments.begin(), arguments.end());

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, (dir.dir() + "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&files, 2, (dir.dir() + "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const int rc =
        posix_spawn(&pid_, binary().c_str(), &files, nullptr, pointers(args).data(), pointers(env).data());
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
  EXPECT_NE(text.find("ExecStart=\"" + program.binary() + "\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Restart=on-failure\n"), std::string::npos);
  EXPECT_NE(text.find("WantedBy=multi-user.target\n"), std::string::npos);
  if (system("command -v systemd-analyze >/dev/null") == 0) {
    EXPECT_EQ(system(("systemd-analyze verify " + unit + " >/dev/null 2>&1").c_str()), 0) << text;
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

}  // namespace
}  // namespace varenta
