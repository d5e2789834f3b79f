#pragma once
// The openssl command-line tool as an independent reference; tests skip when it is missing.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qv::test {

inline bool OpensslAvailable() {
  static const bool available = std::system("openssl version >/dev/null 2>&1") == 0;
  return available;
}

// Runs "openssl ARGS" and returns its standard output ("" when it fails).
inline std::string RunOpenssl(const std::string& args) {
  std::string out;
  FILE* pipe = popen(("openssl " + args + " 2>/dev/null").c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  return pclose(pipe) == 0 ? out : std::string();
}

}  // namespace qv::test
