#include "platform/mail/smtp_mail.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

namespace qv {

namespace {

std::once_flag curl_init_once;  // curl_global_init is not safe to run twice at once

constexpr char Base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (uint32_t{static_cast<uint8_t>(bytes[i])} << 16) |
                       (uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8) | static_cast<uint8_t>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += Base64Digits[(v >> s) & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = uint32_t{static_cast<uint8_t>(bytes[i])} << 16;
    if (i + 1 < bytes.size()) v |= uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8;
    out += Base64Digits[(v >> 18) & 63];
    out += Base64Digits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? Base64Digits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

// A header text: as it stands when ASCII, else one encoded word per chunk of whole characters.
std::string HeaderText(const std::string& text) {
  if (IsAscii(text)) return text;
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = std::min(text.size(), pos + 45);
    // Never split a UTF-8 sequence between two words.
    while (end < text.size() && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    if (end == pos) end = text.size();
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(text.substr(pos, end - pos)) + "?=";
    pos = end;
  }
  return out;
}

std::string DisplayName(const std::string& name) {
  if (!IsAscii(name)) return HeaderText(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string DateHeader() {
  static constexpr const char* Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const long offset_min = local.tm_gmtoff / 60;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", Days[local.tm_wday % 7], local.tm_mday,
                Months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offset_min < 0 ? '-' : '+', std::labs(offset_min) / 60, std::labs(offset_min) % 60);
  return buf;
}

// CR LF line ends; a lone CR or LF becomes CR LF.
std::vector<std::string> BodyLines(const std::string& body) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(cur));
      cur.clear();
      if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  lines.push_back(std::move(cur));
  return lines;
}

// A host name or address that stands in the URL as it is: no user part, path or blank.
bool IsPlainHost(const std::string& host) {
  if (host.empty()) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == ':';
  });
}

struct TUpload {
  std::string Data;
  size_t Pos = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
  auto* up = static_cast<TUpload*>(user);
  const size_t n = std::min(size * count, up->Data.size() - up->Pos);
  std::memcpy(buffer, up->Data.data() + up->Pos, n);
  up->Pos += n;
  return n;
}

// The server's answers for the error text: the first refusal (a 4xx or 5xx reply), else the
// last line it sent.
struct TServerAnswer {
  std::string Refusal;
  std::string Last;
  std::string Text() const { return Refusal.empty() ? Last : Refusal; }
};

int NoteServerAnswer(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  if (type != CURLINFO_HEADER_IN) return 0;
  auto* answer = static_cast<TServerAnswer*>(user);
  std::string line(data, size);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.empty()) return 0;
  answer->Last = line;
  if (answer->Refusal.empty() && (line[0] == '4' || line[0] == '5')) answer->Refusal = line;
  return 0;
}

struct TCurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct TSlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 32 || c == 127; });
}

bool IsPlainMailAddress(const std::string& address) {
  if (address.empty() || HasControlCharacter(address)) return false;
  return address.find_first_of(" <>,;\"") == std::string::npos;
}

std::string SmtpMessageText(const TSmtpMail& mail) {
  std::string to;
  for (const std::string& r : mail.Recipients) to += (to.empty() ? "" : ", ") + r;
  std::string text = "Date: " + DateHeader() + "\r\n";
  text += "From: " + (mail.SenderName.empty() ? std::string() : DisplayName(mail.SenderName) + " ") + "<" +
          mail.SenderEmail + ">\r\n";
  text += "To: " + to + "\r\n";
  text += "Subject: " + HeaderText(mail.Subject) + "\r\n";
  if (mail.Urgent) text += "X-Priority: 1\r\nImportance: high\r\n";
  text += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n";
  const std::vector<std::string> lines = BodyLines(mail.Body);
  const bool long_line = std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.size() > 900; });
  if (IsAscii(mail.Body) && !long_line) {
    text += "Content-Transfer-Encoding: 7bit\r\n\r\n";
    for (const std::string& l : lines) text += l + "\r\n";
  } else {
    text += "Content-Transfer-Encoding: base64\r\n\r\n";
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) joined += (i ? "\r\n" : "") + lines[i];
    const std::string coded = Base64(joined);
    for (size_t pos = 0; pos < coded.size(); pos += 76) text += coded.substr(pos, 76) + "\r\n";
  }
  return text;
}

TSmtpResult SendSmtpMail(const TSmtpMail& mail) {
  TSmtpResult result;
  // Checked before anything is sent: a line break here would add header lines or commands.
  for (const std::string* field : {&mail.Subject, &mail.SenderName, &mail.User, &mail.Password})
    if (HasControlCharacter(*field)) {
      result.Error = "A header field or the log-on holds a line break or a control character";
      return result;
    }
  if (!IsPlainMailAddress(mail.SenderEmail)) {
    result.Error = "Not a plain sender address: \"" + mail.SenderEmail + "\"";
    return result;
  }
  if (mail.Recipients.empty()) {
    result.Error = "No recipient";
    return result;
  }
  for (const std::string& r : mail.Recipients)
    if (!IsPlainMailAddress(r)) {
      result.Error = "Not a plain recipient address: \"" + r + "\"";
      return result;
    }
  if (!IsPlainHost(mail.Host)) {
    result.Error = "Not a host name: \"" + mail.Host + "\"";
    return result;
  }
  if (mail.Port < 1 || mail.Port > 65535) {
    result.Error = "Not a port number: " + std::to_string(mail.Port);
    return result;
  }

  std::call_once(curl_init_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
  if (!curl) {
    result.Error = "The mail library could not be started";
    return result;
  }
  CURL* c = curl.get();
  const bool ipv6 = mail.Host.find(':') != std::string::npos;
  const std::string url = "smtp://" + (ipv6 ? "[" + mail.Host + "]" : mail.Host) + ":" + std::to_string(mail.Port);
  std::unique_ptr<curl_slist, TSlistDeleter> rcpt;
  for (const std::string& r : mail.Recipients) {
    curl_slist* grown = curl_slist_append(rcpt.get(), ("<" + r + ">").c_str());
    if (!grown) {
      result.Error = "Out of memory";
      return result;
    }
    (void)rcpt.release();
    rcpt.reset(grown);
  }
  TUpload upload{SmtpMessageText(mail), 0};
  TServerAnswer server_answer;
  char error_buffer[CURL_ERROR_SIZE] = {};
  const std::string from = "<" + mail.SenderEmail + ">";
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(mail.ConnectTimeoutMs));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(mail.TotalTimeoutMs));
  // The wait for the server's answer to the end of the data is not bounded by the time-out
  // above but by this one (whole seconds), which otherwise is two minutes.
  curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>((mail.TotalTimeoutMs + 999) / 1000));
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(c, CURLOPT_READDATA, &upload);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.Data.size()));
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, NoteServerAnswer);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, &server_answer);
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);  // the debug function sees the server's answers only so
  if (mail.Login) {
    curl_easy_setopt(c, CURLOPT_USERNAME, mail.User.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, mail.Password.c_str());
    curl_easy_setopt(c, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
  }
  const CURLcode code = curl_easy_perform(c);
  if (code == CURLE_OK) {
    result.Sent = true;
    return result;
  }
  result.Error = error_buffer[0] ? error_buffer : curl_easy_strerror(code);
  if (!server_answer.Text().empty()) result.Error += " (server: " + server_answer.Text() + ")";
  return result;
}

}  // namespace qv
