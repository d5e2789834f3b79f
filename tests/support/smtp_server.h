#pragma once
// Starts tests/support/smtp_server.py (a real SMTP server on 127.0.0.1) for one test and ends it,
// by its process id, when the test is done. The mails it took are read back from its folder.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace qv::test {

struct SmtpServerOptions {
  std::string Login;  // "user:password": AUTH required
  std::vector<std::string> Refuse;
  bool Stall = false;      // never greets
  bool StallData = false;  // never answers the end of the data

  static SmtpServerOptions WithLogin(const std::string& user_password) {
    SmtpServerOptions o;
    o.Login = user_password;
    return o;
  }
  static SmtpServerOptions Refusing(const std::string& address) {
    SmtpServerOptions o;
    o.Refuse.push_back(address);
    return o;
  }
  static SmtpServerOptions Stalled() {
    SmtpServerOptions o;
    o.Stall = true;
    return o;
  }
  static SmtpServerOptions StalledAfterData() {
    SmtpServerOptions o;
    o.StallData = true;
    return o;
  }
};

class SmtpServer {
public:
  explicit SmtpServer(const SmtpServerOptions& options = {}) {
    std::vector<std::string> args = {"/usr/bin/python3", std::string(QV_SOURCE_DIR) + "/tests/support/smtp_server.py",
                                     "--out", dir_.Path()};
    if (!options.Login.empty()) args.insert(args.end(), {"--login", options.Login});
    for (const std::string& r : options.Refuse) args.insert(args.end(), {"--refuse", r});
    if (options.Stall) args.push_back("--stall");
    if (options.StallData) args.push_back("--stall-data");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      throw std::runtime_error("cannot start the SMTP server");
    }
    std::string line;
    char ch;
    while (read(fds[0], &ch, 1) == 1 && ch != '\n') line += ch;
    close(fds[0]);
    if (line.empty()) throw std::runtime_error("the SMTP server did not start");
    port_ = std::stoi(line);
  }
  ~SmtpServer() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  SmtpServer(const SmtpServer&) = delete;
  SmtpServer& operator=(const SmtpServer&) = delete;

  int Port() const { return port_; }
  // Mails taken so far.
  int Count() const {
    int n = 0;
    while (std::filesystem::exists(dir_.File(std::to_string(n + 1) + ".eml"))) ++n;
    return n;
  }
  // Mail n (from 1): the message as received, and its envelope lines.
  std::string Message(int n) const { return dir_.Read(std::to_string(n) + ".eml"); }
  std::string Envelope(int n) const { return dir_.Read(std::to_string(n) + ".env"); }

private:
  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace qv::test
