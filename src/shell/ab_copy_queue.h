#pragma once
// The automatic backup's work without its page: the scan that finds the files of a source tree
// whose backup copy is missing or older, the queue of those files, and the copy pass that copies
// them in small portions so that the program stays responsive. Also the stored form of the
// extension list and the characters that an extension and a backup folder may hold.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace qv {

// Whether a character code may stand in an extension or a backup folder's name: not the control
// codes, not '"', '\'', '*', '.', '/', ':', '<', '=', '>', '?', '\\', '{', '|', '}' and 127.
bool AbAllowedChar(unsigned char c);
// The extension text as typed (without the dot) holds only allowed characters.
bool AbValidExtension(const std::string& text);
// A backup folder is a full path ("/" first) whose other characters are allowed or "/".
bool AbValidDestination(const std::string& text);

// [Autobac] Ext: every extension (".QVR", ".db", "." for files without one) in a cell of four
// characters, padded with blanks. Reading takes the dot and up to three characters from every
// dot of the text (a longer extension is cut), without the padding blanks.
std::string AbExtensionsToText(const std::vector<std::string>& extensions);
std::vector<std::string> AbTextToExtensions(const std::string& text);
// Whether a file name ends with the extension, ignoring letter case; "." takes the names that
// hold no dot.
bool AbMatchesExtension(const std::string& name, const std::string& extension);

// Copies source to dest when dest is missing or older, giving it source's date; true when copied.
// Raises the stream errors of the file layer; a failure leaves no part of a copy behind.
using TAbCopyProc = std::function<bool(const std::string& source, const std::string& dest)>;

class TAbCopyQueue {
public:
  // A pass stops once this many bytes were copied (no file is started after that) ...
  static constexpr uint64_t PortionBytes = 500000;
  // ... or this many files were handled.
  static constexpr int PortionFiles = 100;

  TAbCopyQueue();

  // The roots, each with a trailing "/". An empty destination copies nothing.
  std::string Source;
  std::string Destination;
  // ".QVR", ".db", "." (files without an extension).
  std::vector<std::string> Extensions;
  // FileCopy2 keeping the date, replacing only an older copy.
  TAbCopyProc CopyFile;
  // Where failed copies are reported; by default the diagnose log.
  std::function<void(const std::string& msg)> LogError;

  // Queues, below Source, every file of the extensions whose copy below Destination is missing
  // or older. Sub-folders whose names hold a dot, symbolic links and the backup folder itself
  // (when it lies inside the source tree) are not entered.
  void Scan();
  // Copies from the head of the queue until a portion is done; answers the entries copied.
  // Every handled entry leaves the queue, copied or not: a failure is reported and the next
  // scan queues the file again. A source that is denied goes to the end of the queue, to be
  // retried in the next pass. When the backup folder cannot be made, the pass reports that
  // once and keeps the queue.
  std::vector<std::string> CopyPass();

  // The relative paths ("sub/KW01.QVR") in copy order.
  const std::deque<std::string>& Entries() const { return queue_; }
  bool Queued(const std::string& entry) const { return queued_.count(entry) != 0; }
  void Clear();

private:
  void Enqueue(const std::string& entry);
  std::string TakeFirst();
  void Report(const std::string& msg);
  void ScanFolder(const std::string& folder, std::deque<std::string>& pending, uint64_t dest_dev, uint64_t dest_ino);

  std::deque<std::string> queue_;
  std::unordered_set<std::string> queued_;
  // The missing backup folder has been reported; cleared once it is there again.
  bool root_reported_ = false;
};

}  // namespace qv
