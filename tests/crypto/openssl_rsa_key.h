#pragma once
// An RSA key made by openssl in a temporary folder, with its numbers as upper-case hex text.
#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <string>

#include "crypto/external_tool.h"
#include "support/temp_dir.h"

namespace qv::test {

struct OpensslRsaKey {
  TempDir dir;
  std::string pem, pub_pem;   // file names
  std::string n, e, d, p, q;  // hex, no leading zero bytes

  // public_exp 0: openssl's default exponent.
  explicit OpensslRsaKey(int bits, int public_exp = 0) {
    pem = dir.File("k.pem");
    pub_pem = dir.File("pub.pem");
    RunTool("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" + std::to_string(bits) +
            (public_exp ? " -pkeyopt rsa_keygen_pubexp:" + std::to_string(public_exp) : std::string()) + " -out " +
            pem + " 2>/dev/null");
    RunTool("openssl pkey -in " + pem + " -pubout -out " + pub_pem);
    std::map<std::string, std::string> fields;
    std::istringstream text(RunTool("openssl rsa -in " + pem + " -noout -text"));
    std::string line, current;
    while (std::getline(text, line)) {
      if (!line.empty() && line[0] != ' ') {
        current = line.substr(0, line.find(':'));
        if (current == "publicExponent") {
          size_t x = line.find("(0x");
          std::string v = line.substr(x + 3, line.find(')') - x - 3);
          fields[current] = v;
        }
        continue;
      }
      for (char c : line)
        if (std::isxdigit(static_cast<unsigned char>(c))) fields[current] += static_cast<char>(std::toupper(c));
    }
    n = Trim(fields["modulus"]);
    e = Trim(fields["publicExponent"]);
    d = Trim(fields["privateExponent"]);
    p = Trim(fields["prime1"]);
    q = Trim(fields["prime2"]);
  }

  static std::string Trim(std::string hex) {
    std::transform(hex.begin(), hex.end(), hex.begin(), [](char c) { return std::toupper(c); });
    if (hex.size() % 2) hex = "0" + hex;
    while (hex.size() > 2 && hex.compare(0, 2, "00") == 0) hex.erase(0, 2);
    return hex;
  }
};

}  // namespace qv::test
