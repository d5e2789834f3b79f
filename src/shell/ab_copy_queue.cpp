#include "shell/ab_copy_queue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/file_stream2.h"
#include "base/file_utils.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

// Closes a directory stream or descriptor when the scope ends.
struct DirCloser {
  DIR* dir = nullptr;
  ~DirCloser() {
    if (dir) ::closedir(dir);
  }
};
struct FdCloser {
  int fd = -1;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Counts code points: an extension's length is in characters, not bytes.
bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string WithReason(const std::string& text, const std::string& file, const std::string& reason) {
  std::string out = text + " \"" + file + "\"";
  if (!reason.empty()) out += ": " + reason;
  return out;
}

// Makes folder with its parents; false with the system's reason when it is no folder after.
bool MakeFolder(const std::string& folder, std::string& reason) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::error_code is_dir_ec;
  if (std::filesystem::is_directory(folder, is_dir_ec)) return true;
  reason = ec ? ec.message() : std::strerror(ENOTDIR);
  return false;
}

}  // namespace

bool AbAllowedChar(unsigned char c) {
  if (c < 32 || c == 127) return false;
  switch (c) {
    case '"':
    case '\'':
    case '*':
    case '.':
    case '/':
    case ':':
    case '<':
    case '=':
    case '>':
    case '?':
    case '\\':
    case '{':
    case '|':
    case '}': return false;
    default: return true;
  }
}

bool AbValidExtension(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return AbAllowedChar(static_cast<unsigned char>(c)); });
}

bool AbValidDestination(const std::string& text) {
  if (text.empty() || text[0] != '/') return false;
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '/' || AbAllowedChar(static_cast<unsigned char>(c)); });
}

std::string AbExtensionsToText(const std::vector<std::string>& extensions) {
  std::string out;
  for (const std::string& e : extensions) {
    const auto chars = std::count_if(e.begin(), e.end(), [](char c) { return !IsContinuationByte(c); });
    out += e + std::string(chars < 4 ? static_cast<size_t>(4 - chars) : 0, ' ');
  }
  return out;
}

std::vector<std::string> AbTextToExtensions(const std::string& text) {
  std::vector<std::string> out;
  for (size_t dot = text.find('.'); dot != std::string::npos; dot = text.find('.', dot + 1)) {
    // The dot and up to three characters; another dot starts the next cell.
    size_t end = dot + 1;
    for (int chars = 0; end < text.size() && text[end] != '.' && chars < 3; ++chars) {
      ++end;
      while (end < text.size() && IsContinuationByte(text[end])) ++end;
    }
    std::string cell = TrimRight(text.substr(dot, end - dot), " ");
    if (std::none_of(out.begin(), out.end(), [&](const std::string& e) { return SameText(e, cell); }))
      out.push_back(cell);
  }
  return out;
}

bool AbMatchesExtension(const std::string& name, const std::string& extension) {
  if (extension == ".") return name.find('.') == std::string::npos;
  return name.size() >= extension.size() &&
         SameText(std::string_view(name).substr(name.size() - extension.size()), extension);
}

// ---- the queue ----

TAbCopyQueue::TAbCopyQueue()
    : CopyFile([](const std::string& source, const std::string& dest) {
        return FileCopy2(source, dest, false, true, cpNewer);
      }) {}

void TAbCopyQueue::Clear() {
  queue_.clear();
  queued_.clear();
}

void TAbCopyQueue::Enqueue(const std::string& entry) {
  if (queued_.insert(entry).second) queue_.push_back(entry);
}

std::string TAbCopyQueue::TakeFirst() {
  std::string entry = std::move(queue_.front());
  queue_.pop_front();
  queued_.erase(entry);
  return entry;
}

void TAbCopyQueue::Report(const std::string& msg) {
  if (LogError) {
    LogError(msg);
  } else if (MsgHandler) {
    MsgHandler->HandleMessage(msg, LoadResString("dat_CannotSaveData"), TMsgDlgType::mtError, mbOK, 0, 0, true,
                              mkDiagnoseOnly);
  }
}

void TAbCopyQueue::Scan() {
  if (Source.empty() || Extensions.empty()) return;
  // The backup folder is known by its identity, so that no spelling of its path (a link, "..")
  // lets the scan copy the backup into itself.
  uint64_t dest_dev = 0, dest_ino = 0;
  struct stat st;
  if (!Destination.empty() && ::stat(Destination.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    dest_dev = st.st_dev;
    dest_ino = st.st_ino;
  }
  // Breadth first, the whole tree; links are never followed, so the walk ends.
  std::deque<std::string> pending{""};
  while (!pending.empty()) {
    const std::string folder = std::move(pending.front());
    pending.pop_front();
    ScanFolder(folder, pending, dest_dev, dest_ino);
  }
}

void TAbCopyQueue::ScanFolder(const std::string& folder, std::deque<std::string>& pending, uint64_t dest_dev,
                              uint64_t dest_ino) {
  DirCloser src{::opendir((Source + folder).c_str())};
  if (!src.dir) return;
  const int src_fd = ::dirfd(src.dir);
  std::vector<std::string> files;
  std::vector<std::string> folders;
  while (dirent* e = ::readdir(src.dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (e->d_type == DT_DIR || e->d_type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(src_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (S_ISDIR(st.st_mode)) {
        const bool is_backup = dest_ino != 0 && st.st_dev == dest_dev && st.st_ino == dest_ino;
        if (name.find('.') == std::string::npos && !is_backup) folders.push_back(name + "/");
        continue;
      }
      if (!S_ISREG(st.st_mode)) continue;
    } else if (e->d_type != DT_REG) {
      continue;
    }
    // A rewrite in progress (of this program or a leftover) is never backed up.
    if (TAtomicFileStream::IsTempFileName(name)) continue;
    if (std::none_of(Extensions.begin(), Extensions.end(),
                     [&](const std::string& ext) { return AbMatchesExtension(name, ext); }))
      continue;
    files.push_back(name);
  }
  std::sort(folders.begin(), folders.end());
  for (std::string& f : folders) pending.push_back(folder + f);
  if (files.empty()) return;

  std::sort(files.begin(), files.end());
  FdCloser dst{Destination.empty() ? -1 : ::open((Destination + folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  for (const std::string& ext : Extensions) {
    for (const std::string& name : files) {
      if (!AbMatchesExtension(name, ext)) continue;
      const std::string entry = folder + name;
      if (Queued(entry)) continue;
      struct stat s;
      if (::fstatat(src_fd, name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(s.st_mode)) continue;
      struct stat d;
      if (dst.fd < 0 || ::fstatat(dst.fd, name.c_str(), &d, 0) != 0 || FileTimeLater(s.st_mtim, d.st_mtim))
        Enqueue(entry);
    }
  }
}

std::vector<std::string> TAbCopyQueue::CopyPass() {
  std::vector<std::string> copied;
  if (queue_.empty() || Destination.empty()) return copied;
  std::string reason;
  if (!MakeFolder(Destination, reason)) {
    // A drive that is not there: one report, and the files wait for it.
    if (!root_reported_) Report(LoadResString("stm_FCreateError") + Destination + ": " + reason);
    root_reported_ = true;
    return copied;
  }
  root_reported_ = false;

  uint64_t bytes = 0;
  int handled = 0;
  // Denied sources go to the end of the queue after this pass, so that each is tried once.
  std::vector<std::string> denied;
  std::string made_folder;
  while (bytes < PortionBytes && !queue_.empty() && handled < PortionFiles) {
    const std::string entry = TakeFirst();
    ++handled;
    const std::string source = Source + entry;
    const std::string dest = Destination + entry;
    struct stat st;
    if (::stat(source.c_str(), &st) != 0) continue;  // gone since the scan
    // Entries of one folder follow each other: the folder is made once for them.
    const std::string folder = dest.substr(0, dest.rfind('/') + 1);
    if (folder != made_folder) {
      if (!MakeFolder(folder, reason)) {
        Report(WithReason(LoadResString("stm_FCreateError") + entry, folder, reason));
        continue;
      }
      made_folder = folder;
    }
    try {
      if (CopyFile(source, dest)) {
        bytes += static_cast<uint64_t>(st.st_size);
        copied.push_back(entry);
      }
    } catch (const EFOpenError& e) {
      Report(DosErrorText(e.OsError(), e.Reason()) + " (" + source + ")");
      if (e.OsError() == ERROR_ACCESS_DENIED) denied.push_back(entry);
    } catch (const EFCreateError& e) {
      Report(WithReason(LoadResString("stm_FCreateError") + entry, dest, e.Reason()));
    } catch (const EReadError& e) {
      Report(WithReason(LoadResString("stm_StreamReadError"), source, e.Reason()));
    } catch (const EStreamError& e) {
      // A full disk among them: the temporary copy is gone, the old copy untouched.
      Report(WithReason(LoadResString("sc_WriteError"), dest, e.Reason()));
    } catch (const std::bad_alloc&) {
      Report(LoadResString("dos_NotEnoughMemory") + " (" + entry + ")");
    }
  }
  for (const std::string& entry : denied) Enqueue(entry);
  return copied;
}

}  // namespace qv
