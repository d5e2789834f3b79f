#pragma once
// The openssl command-line tool as an independent reference; tests skip when it is missing.
#include <stdexcept>
#include <string>

#include "external_tool.h"

namespace qv::test {

inline bool OpensslAvailable() {
  static const bool available = HaveTool("openssl");
  return available;
}

// Runs "openssl ARGS" and returns its standard output ("" when it fails).
inline std::string RunOpenssl(const std::string& args) {
  try {
    return RunTool("openssl " + args + " 2>/dev/null");
  } catch (const std::runtime_error&) {
    return {};
  }
}

}  // namespace qv::test
