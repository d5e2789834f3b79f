#pragma once
// Runs the independent reference tools (openssl, python3) from crypto tests.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace qv::test {

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command and returns its standard output; throws when it fails.
inline std::string RunTool(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) throw std::runtime_error("cannot run: " + command);
  std::array<char, 4096> buf;
  size_t got;
  while ((got = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), got);
  int rc = pclose(p);
  if (rc != 0) throw std::runtime_error("failed (" + std::to_string(rc) + "): " + command);
  return out;
}

// The python3 interpreter itself, asked for once per process: a launcher on the PATH (a version
// manager's shim) can take longer to start than the script takes to run.
inline const std::string& Python3() {
  static const std::string path = [] {
    std::string p;
    try {
      p = RunTool("python3 -c 'import sys; print(sys.executable)'");
    } catch (const std::exception&) {
    }
    while (!p.empty() && (p.back() == '\n' || p.back() == '\r')) p.pop_back();
    return p.empty() || p.find('\'') != std::string::npos ? std::string("python3") : "'" + p + "'";
  }();
  return path;
}

}  // namespace qv::test

#define QV_REQUIRE_TOOL(name) \
  if (!::qv::test::HaveTool(name)) GTEST_SKIP() << name " is not installed"
