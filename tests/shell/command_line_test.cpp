// The program's command line, as a user meets it: the built program is run with a fresh home
// folder and its exit code, its output and the folders it left behind are checked.
#include "shell/command_line.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qv {
namespace {

struct TRun {
  int exit_code = -1;
  std::string out, err;
};

// Runs the program with args (each given in single quotes) and $QUARVEL_HOME and $HOME below dir.
// A program that opened its window instead would run on: it is ended (a failure, not a wait).
TRun RunProgram(const test::TempDir& dir, const std::vector<std::string>& args) {
  std::string command =
      "QUARVEL_HOME='" + dir.File("home") + "' HOME='" + dir.File("user") + "' timeout 300 '" QV_QUARVEL_EXE "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >'" + dir.File("out") + "' 2>'" + dir.File("err") + "' </dev/null";
  const int status = std::system(command.c_str());
  TRun run;
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  run.out = dir.Read("out");
  run.err = dir.Read("err");
  return run;
}

TEST(CommandLine, HelpAndWrongOptionsPrintTheUsageAndStartNothing) {
  const struct {
    std::vector<std::string> args;
    int exit_code;
    const char* error;  // on stderr before the usage; empty: the usage goes to stdout
  } cases[] = {
      {{"--help"}, 0, ""},
      {{"de", "--home", "elsewhere", "--help"}, 0, ""},
      {{"--bogus"}, 2, "quarvel: unknown option \"--bogus\""},
      {{"-x", "de"}, 2, "quarvel: unknown option \"-x\""},
      {{"--home"}, 2, "quarvel: the option --home needs a folder"},
      {{"--home", "--bogus"}, 2, "quarvel: the option --home needs a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
    test::TempDir dir;
    const TRun run = RunProgram(dir, c.args);
    EXPECT_EQ(run.exit_code, c.exit_code);
    const std::string usage = CommandLineUsage();
    if (*c.error) {
      // The window system may have said something of its own before.
      const std::string want = std::string(c.error) + "\n\n" + usage;
      EXPECT_TRUE(run.err.size() >= want.size() &&
                  run.err.compare(run.err.size() - want.size(), want.size(), want) == 0)
          << run.err;
      EXPECT_EQ(run.out, "");
    } else {
      EXPECT_EQ(run.out, usage);
      EXPECT_EQ(run.err, "");
    }
    // No home folder, no settings, nothing in the user's folder or the working folder.
    EXPECT_FALSE(std::filesystem::exists(dir.File("home")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("user")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));
  }
}

TEST(CommandLine, OptionsTheProgramTakes) {
  using A = TCommandLine::TAction;
  const struct {
    std::vector<std::string> args;
    A action;
  } cases[] = {
      {{}, A::Run},
      {{"de"}, A::Run},
      {{"--home", "/tmp/q", "en_US"}, A::Run},
      {{"--home", "-q"}, A::Error},
      {{"--homes", "x"}, A::Error},
      {{"-"}, A::Error},
      {{"--bogus", "--help"}, A::Help},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckCommandLine(c.args).Action, c.action) << c.args.size();
  EXPECT_NE(CommandLineUsage().find("--home FOLDER"), std::string::npos);
}

}  // namespace
}  // namespace qv
