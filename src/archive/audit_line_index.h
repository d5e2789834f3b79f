#pragma once
// Where each line of a trail file starts and ends, learned in one pass over the file and extended
// as events are appended, so that the viewer reads only the lines of the page it shows. A file
// that was replaced, cut or rewritten in place is learned again.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class TAuditLineIndex {
public:
  // Brings the index up to date with the file: the new lines of a file that grew, every line of a
  // file that is new to it or changed otherwise. A missing file has no lines.
  void Update(const std::string& file_name);
  int Count() const { return static_cast<int>(spans_.size()); }
  // The lines first..last (within 0..Count()-1), read in one go. When the file no longer has them
  // where the index says (it was changed since Update), the index is learned again and the lines
  // are read from there; lines that no longer exist are left out.
  std::vector<std::string> Lines(int first, int last);
  // One line, as Lines(i, i).
  std::string Line(int i);

private:
  struct TSpan {
    uint64_t Start;
    uint32_t Length;
  };
  void Clear();
  // Reads the file from scanned_ on and adds its lines; a last line without its end is kept
  // apart (tail_) and read again when the file grows.
  bool Scan(int fd, uint64_t size);
  bool ReadSpans(int first, int last, std::vector<std::string>& out) const;

  std::string file_name_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  uint64_t size_ = 0;
  // Offset after the last line whose end is in the index.
  uint64_t scanned_ = 0;
  // The lines ended by CR, LF or CR LF; then, when the file ends inside a line, that line.
  std::vector<TSpan> spans_;
  bool tail_ = false;
};

}  // namespace qv
