#pragma once
// Reading a received mail in tests: a header's value and the body, Base64 decoded when sent so.
#include <string>

namespace qv::test {

inline std::string DecodeBase64(const std::string& text) {
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else
      continue;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return out;
}

// The value of the first header line "name: value" (unfolded), empty when there is none.
inline std::string HeaderValue(const std::string& message, const std::string& name) {
  const size_t end = message.find("\r\n\r\n");
  size_t pos = 0;
  while (pos < end) {
    const size_t eol = message.find("\r\n", pos);
    if (message.compare(pos, name.size() + 2, name + ": ") == 0) {
      std::string value = message.substr(pos + name.size() + 2, eol - pos - name.size() - 2);
      for (size_t next = eol + 2; next < end && (message[next] == ' ' || message[next] == '\t');) {
        const size_t e = message.find("\r\n", next);
        value += message.substr(next, e - next);
        next = e + 2;
      }
      return value;
    }
    pos = eol + 2;
  }
  return std::string();
}

// The body as text: decoded when its transfer encoding is Base64.
inline std::string MailBody(const std::string& message) {
  const size_t end = message.find("\r\n\r\n");
  if (end == std::string::npos) return std::string();
  std::string body = message.substr(end + 4);
  if (HeaderValue(message, "Content-Transfer-Encoding") == "base64") return DecodeBase64(body);
  return body;
}

}  // namespace qv::test
