#include "archive/audit_line_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {

// A descriptor closed at the end of its scope.
class TReadFile {
public:
  explicit TReadFile(const std::string& name) : fd_(::open(name.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~TReadFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  TReadFile(const TReadFile&) = delete;
  TReadFile& operator=(const TReadFile&) = delete;
  int fd() const { return fd_; }

private:
  int fd_;
};

// Reads exactly n bytes at off; false at a read error or when the file ends before.
bool ReadAt(int fd, char* into, size_t n, uint64_t off) {
  while (n > 0) {
    const ssize_t got = ::pread(fd, into, n, static_cast<off_t>(off));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    into += got;
    n -= static_cast<size_t>(got);
    off += static_cast<uint64_t>(got);
  }
  return true;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void TAuditLineIndex::Clear() {
  dev_ = 0;
  ino_ = 0;
  size_ = 0;
  scanned_ = 0;
  spans_.clear();
  tail_ = false;
}

void TAuditLineIndex::Update(const std::string& file_name) {
  if (file_name != file_name_) {
    Clear();
    file_name_ = file_name;
  }
  TReadFile file(file_name);
  struct stat st {};
  if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0) {
    Clear();
    return;
  }
  const auto size = static_cast<uint64_t>(st.st_size);
  bool same = st.st_dev == dev_ && st.st_ino == ino_ && size >= size_;
  if (same && scanned_ > 0) {
    // The end of the last whole line is still a line end: otherwise the file was written anew.
    char c = 0;
    same = ReadAt(file.fd(), &c, 1, scanned_ - 1) && IsLineEnd(c);
  }
  if (!same) {
    Clear();
    dev_ = st.st_dev;
    ino_ = st.st_ino;
  } else if (size == size_) {
    return;
  }
  if (!Scan(file.fd(), size)) Clear();
}

bool TAuditLineIndex::Scan(int fd, uint64_t size) {
  if (tail_) {
    spans_.pop_back();
    tail_ = false;
  }
  std::vector<char> buffer(size_t{1} << 20);
  uint64_t line_start = scanned_;
  uint64_t off = scanned_;
  while (off < size) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - off));
    if (!ReadAt(fd, buffer.data(), want, off)) return false;
    const char* p = buffer.data();
    const char* end = p + want;
    const char* q = p + (std::max(line_start, off) - off);
    bool open_cr = false;
    while (q < end) {
      const auto* lf = static_cast<const char*>(std::memchr(q, '\n', static_cast<size_t>(end - q)));
      const char* limit = lf ? lf : end;
      const auto* cr = static_cast<const char*>(std::memchr(q, '\r', static_cast<size_t>(limit - q)));
      const char* at = cr ? cr : lf;
      if (!at) break;
      const uint64_t at_off = off + static_cast<uint64_t>(at - p);
      uint64_t next = at_off + 1;
      if (*at == '\r') {
        // CR LF ends one line. A CR at the end of the file may yet be followed by its LF.
        char after = 0;
        if (at + 1 < end) {
          after = at[1];
        } else if (at_off + 1 >= size) {
          open_cr = true;
          break;
        } else if (!ReadAt(fd, &after, 1, at_off + 1)) {
          return false;
        }
        if (after == '\n') ++next;
      }
      spans_.push_back(TSpan{line_start, static_cast<uint32_t>(at_off - line_start)});
      line_start = next;
      q = p + std::min<uint64_t>(next - off, want);
    }
    if (open_cr) break;
    off = std::max(off + want, line_start);
  }
  scanned_ = line_start;
  size_ = size;
  if (line_start < size) {
    // A last line without its end (or ended by a CR whose LF may follow) is read again later.
    uint64_t length = size - line_start;
    char last = 0;
    if (ReadAt(fd, &last, 1, size - 1) && last == '\r') --length;
    spans_.push_back(TSpan{line_start, static_cast<uint32_t>(length)});
    tail_ = true;
  }
  return true;
}

bool TAuditLineIndex::ReadSpans(int first, int last, std::vector<std::string>& out) const {
  TReadFile file(file_name_);
  if (file.fd() < 0) return false;
  const TSpan& a = spans_[static_cast<size_t>(first)];
  const TSpan& b = spans_[static_cast<size_t>(last)];
  // One byte before the first line and one after the last, to see that they are still line ends.
  const uint64_t from = a.Start > 0 ? a.Start - 1 : 0;
  const bool tail_read = tail_ && last == Count() - 1;
  const uint64_t to = b.Start + b.Length + (tail_read ? 0 : 1);
  std::string bytes(static_cast<size_t>(to - from), '\0');
  if (!ReadAt(file.fd(), bytes.data(), bytes.size(), from)) return false;
  if (a.Start > 0 && !IsLineEnd(bytes[0])) return false;
  out.reserve(out.size() + static_cast<size_t>(last - first + 1));
  for (int i = first; i <= last; ++i) {
    const TSpan& s = spans_[static_cast<size_t>(i)];
    const char* line = bytes.data() + (s.Start - from);
    if (std::memchr(line, '\n', s.Length) || std::memchr(line, '\r', s.Length)) return false;
    const bool ended = !(tail_ && i == Count() - 1);
    if (ended && !IsLineEnd(line[s.Length])) return false;
    out.emplace_back(line, s.Length);
  }
  return true;
}

std::vector<std::string> TAuditLineIndex::Lines(int first, int last) {
  std::vector<std::string> out;
  first = std::max(first, 0);
  last = std::min(last, Count() - 1);
  if (first > last) return out;
  if (ReadSpans(first, last, out)) return out;
  // The file changed under the index: learn it again and read what is there now.
  out.clear();
  const std::string name = file_name_;
  Clear();
  Update(name);
  last = std::min(last, Count() - 1);
  if (first > last || !ReadSpans(first, last, out)) out.clear();
  return out;
}

std::string TAuditLineIndex::Line(int i) {
  std::vector<std::string> lines = Lines(i, i);
  return lines.empty() ? std::string() : std::move(lines.front());
}

}  // namespace qv
