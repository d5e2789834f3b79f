#pragma once
// Hex helpers for the simulator's tests: frames are written as in a line trace.
#include <cstdio>
#include <sstream>
#include <string>

#include "sim_wire.h"

namespace qv::sim::test {

inline Bytes H(const std::string& hex) {
  Bytes out;
  std::istringstream in(hex);
  std::string byte;
  while (in >> byte) out.push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 16)));
  return out;
}

inline std::string Hex(const Bytes& b) {
  std::string out;
  char t[4];
  for (uint8_t c : b) {
    std::snprintf(t, sizeof t, "%02X ", c);
    out += t;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

// A frame built from text and payload bytes, with its sum.
inline Bytes F(const std::string& start, const Bytes& payload = {}) { return MakeFrame(start, payload); }

}  // namespace qv::sim::test
