#include "base/file_utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/file_stream2.h"
#include "platform/rtl/stream.h"

namespace qv {

namespace {

[[noreturn]] void InOutError(int err, const std::string& path) {
  throw EInOutError("I/O error " + std::to_string(Win32ErrorOfErrno(err, path)));
}

std::string StripTrailingSeparator(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

bool Refused(const std::string& stripped) { return stripped.empty() || stripped == "/"; }

std::string Join(const std::string& dir, const std::string& name) { return dir == "/" ? "/" + name : dir + "/" + name; }

struct Listing {
  std::vector<std::string> files;    // regular files
  std::vector<std::string> folders;  // real folders whose names hold no "."
  std::vector<std::string> others;   // links and special files
  bool skipped_folders = false;
};

Listing ListFolder(const std::string& dir) {
  Listing out;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::lstat(Join(dir, name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (name.find('.') != std::string::npos)
        out.skipped_folders = true;
      else
        out.folders.push_back(name);
    } else if (S_ISREG(st.st_mode)) {
      out.files.push_back(name);
    } else {
      out.others.push_back(name);
    }
  }
  ::closedir(d);
  std::sort(out.files.begin(), out.files.end());
  std::sort(out.folders.begin(), out.folders.end());
  return out;
}

// Copies all bytes of source into a new file beside dest that replaces dest only when complete.
void CopyReplacing(const std::string& source, const std::string& dest, const struct stat& src_st, bool set_date) {
  // Others may go on writing the source (whole lines, atomic rewrites): deny nothing.
  TFileStream2 in(source, fmOpenRead | fmShareDenyNone);
  TAtomicFileStream2 out(dest);
  std::vector<char> buf(65536);
  for (;;) {
    const int32_t n = in.Read(buf.data(), static_cast<int32_t>(buf.size()));
    if (n < 0) {
      const int err = errno;
      throw EReadError("Stream read error: \"" + source + "\": " + std::strerror(err), Win32ErrorOfErrno(err, source),
                       std::strerror(err));
    }
    if (n == 0) break;
    out.WriteBuffer(buf.data(), n);
  }
  int err = 0;
  if (::fchmod(out.Handle(), src_st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && set_date) {
    // The date is kept exactly, so that a later comparison of the two dates finds them equal.
    struct timespec times[2] = {src_st.st_mtim, src_st.st_mtim};
    if (::futimens(out.Handle(), times) != 0) err = errno;
  }
  if (err != 0)
    throw EWriteError("Cannot write file \"" + dest + "\". " + std::strerror(err), Win32ErrorOfErrno(err, dest),
                      std::strerror(err));
  out.Commit();
}

bool IsInside(const std::string& inner, const std::string& outer) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string a = fs::weakly_canonical(inner, ec).string();
  if (ec) return false;
  const std::string b = fs::weakly_canonical(outer, ec).string();
  if (ec) return false;
  return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && (b == "/" || a[b.size()] == '/'));
}

}  // namespace

bool FileTimeLater(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool FileCopy2(const std::string& source, const std::string& dest, bool move, bool keep_date, uint8_t policy) {
  struct stat src_st;
  if (::stat(source.c_str(), &src_st) != 0 || !S_ISREG(src_st.st_mode)) return false;
  struct stat dst_st;
  if (::lstat(dest.c_str(), &dst_st) == 0) {
    struct stat target;
    if (::stat(dest.c_str(), &target) == 0 && target.st_dev == src_st.st_dev && target.st_ino == src_st.st_ino)
      return false;  // the same file: copying would destroy it
    if (policy == cpNewer) {
      if (!FileTimeLater(src_st.st_mtim, dst_st.st_mtim)) return false;
    } else if (policy != cpAlways) {
      return false;
    }
  }
  CopyReplacing(source, dest, src_st, move || keep_date);
  if (move) ::unlink(source.c_str());
  return true;
}

bool DirExists(const std::string& dir) {
  const std::string d = StripTrailingSeparator(dir);
  struct stat st;
  return !d.empty() && ::stat(d.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CopyDir(const std::string& source, const std::string& dest, bool move, bool keep_date, bool recursive,
             uint8_t policy) {
  const std::string src = StripTrailingSeparator(source);
  const std::string dst = StripTrailingSeparator(dest);
  if (Refused(src) || Refused(dst) || !DirExists(src)) return false;
  if (IsInside(dst, src)) return false;  // would copy into itself without end
  const Listing list = ListFolder(src);
  struct stat st;
  if (::stat(dst.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (::mkdir(dst.c_str(), 0777) != 0) InOutError(errno, dst);
  }
  bool all = true, any = false;
  for (const std::string& f : list.files) {
    bool ok = FileCopy2(Join(src, f), Join(dst, f), move, keep_date, policy);
    all = all && ok;
    any = any || ok;
  }
  if (recursive) {
    for (const std::string& f : list.folders) {
      bool ok = CopyDir(Join(src, f), Join(dst, f), move, keep_date, recursive, policy);
      all = all && ok;
      any = any || ok;
    }
  }
  if (move) ::rmdir(src.c_str());
  return policy == cpAlways ? all : any;
}

bool DeleteDir(const std::string& dir) {
  const std::string d = StripTrailingSeparator(dir);
  if (Refused(d)) return false;
  struct stat st;
  if (::lstat(d.c_str(), &st) != 0) return true;
  if (S_ISLNK(st.st_mode)) return ::unlink(d.c_str()) == 0;  // the link goes, never what it points to
  if (!S_ISDIR(st.st_mode)) return true;
  const Listing list = ListFolder(d);
  bool ok = !list.skipped_folders;
  for (const std::string& f : list.files)
    if (::unlink(Join(d, f).c_str()) != 0) ok = false;
  for (const std::string& f : list.others)
    if (::unlink(Join(d, f).c_str()) != 0) ok = false;
  for (const std::string& f : list.folders)
    if (!DeleteDir(Join(d, f))) ok = false;
  if (!ok) return false;
  if (::rmdir(d.c_str()) != 0) InOutError(errno, d);
  return true;
}

}  // namespace qv
