// The desktop tests run on a real X server with a window manager, as the program runs on a
// user's desktop: a private Xvfb on a display it picks itself (never the caller's DISPLAY) and
// openbox on it. This process starts both, runs the tests in a child process on that display and
// ends the two by their process ids once the child is done, so that the child's X connection is
// closed before its server goes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kSessionMark[] = "QV_DESKTOP_SESSION";
// Bounds for a server that does not come up and for a child that hangs: below CTest's timeout,
// so that this process still ends the servers itself.
constexpr auto kStartBound = std::chrono::seconds(30);
constexpr auto kChildBound = std::chrono::seconds(240);

// Starts a program; it gets SIGTERM should this process die first.
pid_t Start(std::vector<std::string> args, const std::vector<std::pair<std::string, std::string>>& env) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);
  for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  std::perror(argv[0]);
  _exit(127);
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// Waits for a child within the bound; -1 when it did not end (it is then killed).
int WaitExit(pid_t pid, std::chrono::seconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads the display number Xvfb writes once it accepts connections; empty on failure.
std::string ReadDisplay(int fd) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + kStartBound;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
    char buf[32];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return {};
    text.append(buf, static_cast<size_t>(n));
  }
  return ":" + text.substr(0, text.find('\n'));
}

int RunSession(std::vector<std::string> args) {
  char dir_pattern[] = "/tmp/qvdesktop-XXXXXX";
  if (!mkdtemp(dir_pattern)) return 2;
  const std::filesystem::path dir = dir_pattern;
  int result = 2;
  pid_t xvfb = -1, wm = -1;
  int fds[2];
  if (pipe(fds) == 0) {
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    xvfb = Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {});
    close(fds[1]);
    const std::string display = ReadDisplay(fds[0]);
    close(fds[0]);
    if (display.empty()) {
      std::fprintf(stderr, "Xvfb did not start\n");
    } else {
      // openbox runs the start-up command once it manages the screen.
      const std::filesystem::path ready = dir / "wm-ready";
      wm = Start({"openbox", "--sm-disable", "--startup", "touch " + ready.string()},
                 {{"DISPLAY", display}, {"XDG_CONFIG_HOME", (dir / "config").string()}});
      const auto end = std::chrono::steady_clock::now() + kStartBound;
      while (!std::filesystem::exists(ready) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (!std::filesystem::exists(ready)) {
        std::fprintf(stderr, "openbox did not start on %s\n", display.c_str());
      } else {
        args[0] = "/proc/self/exe";
        const std::filesystem::path runtime = dir / "runtime";
        std::filesystem::create_directory(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        const pid_t child = Start(args, {{"DISPLAY", display},
                                         {"QT_QPA_PLATFORM", "xcb"},
                                         {"XDG_RUNTIME_DIR", runtime.string()},
                                         {kSessionMark, dir.string()}});
        result = WaitExit(child, kChildBound);
        if (result < 0)
          std::fprintf(stderr, "the desktop tests did not end within %lld s\n",
                       static_cast<long long>(kChildBound.count()));
        if (result < 0) result = 2;
      }
    }
  }
  End(wm);
  End(xvfb);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);  // the child gets the test flags too
  ::testing::InitGoogleTest(&argc, argv);
  if (getenv(kSessionMark) || GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  return RunSession(args);
}
