#pragma once
// The runtime's streams: the abstract TStream with exact-count reads and writes, the growing
// memory stream and the file stream with the runtime's open modes and share rules.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace qv {

// Stream errors keep their class when they are raised again with another message. The
// operating system's error, where one caused the failure, travels along as a Win32 code and as
// the system's own text, so that a caller that words the message anew can still say why.
class EStreamError : public Exception {
public:
  explicit EStreamError(std::string message, uint32_t os_error = 0, std::string reason = "")
      : Exception(std::move(message)), os_error_(os_error), reason_(std::move(reason)) {}
  std::string ClassName() const override { return "EStreamError"; }
  uint32_t OsError() const { return os_error_; }
  // The system's text of the cause; empty when the system gave none.
  const std::string& Reason() const { return reason_; }

private:
  uint32_t os_error_;
  std::string reason_;
};
QV_DECLARE_EXCEPTION(EFCreateError, EStreamError);
QV_DECLARE_EXCEPTION(EFOpenError, EStreamError);
QV_DECLARE_EXCEPTION(EReadError, EStreamError);
QV_DECLARE_EXCEPTION(EWriteError, EStreamError);

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  // Up to count bytes; answer the number moved.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  int64_t Size();

  // Exactly count bytes, else EReadError "Stream read error" / EWriteError "Stream write error".
  // A write that the system refused adds the stream's file and the system's reason.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source (all of it from its start when count is 0); answers the count.
  int64_t CopyFrom(TStream& source, int64_t count);

protected:
  // The file that error messages name; empty for streams without one.
  virtual std::string ErrorFileName() const { return {}; }
};

class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  void Clear();
  const uint8_t* Memory() const { return data_.data(); }
  // For moving bytes inside the stream in place; valid until the next size change.
  uint8_t* Memory() { return data_.data(); }
  std::string Bytes() const { return std::string(data_.begin(), data_.begin() + size_); }
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  // Grows the buffer to hold at least capacity bytes without changing the size, so that a
  // stream filled piece by piece to a known size is allocated once.
  void Reserve(int64_t capacity);
  // Reads count bytes of source straight into the stream at its position (no staging copy);
  // a failed read leaves the size as it was.
  void WriteFrom(TStream& source, int32_t count);

protected:
  // Grows or shrinks the buffer; raises EStreamError "Out of memory while expanding memory
  // stream" when it cannot.
  virtual void SetCapacity(int64_t capacity);

private:
  // Bytes are not zeroed when the buffer grows: SetSize zeroes what it exposes, the writers fill
  // the rest, so a large buffer filled from a file is not written twice.
  struct NoInitAlloc : std::allocator<uint8_t> {
    template <class U>
    struct rebind {
      using other = NoInitAlloc;
    };
    template <class U>
    void construct(U* p) noexcept {
      ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
      ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
  };
  std::vector<uint8_t, NoInitAlloc> data_;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

// Open modes: access in the low bits, sharing in bits 4 to 6; fmCreate creates or truncates.
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// Win32 codes that file failures report.
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_GEN_FAILURE = 31;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_DISK_FULL = 112;

// The reason an open gives when the program's own sharing rules refuse it.
constexpr const char* SharingViolationText = "Sharing violation: the file is in use";

// The Win32 code of a failed call's errno; path names the file for ENOENT, which is
// ERROR_PATH_NOT_FOUND when a parent folder is missing.
uint32_t Win32ErrorOfErrno(int err, const std::string& path = "");

// A file opened with the runtime's modes. Sharing is honoured among this program's own opens
// of the same file: a conflicting open fails with ERROR_SHARING_VIOLATION. Failures raise
// EFCreateError or EFOpenError with the Win32 code of the cause and the system's text of it.
class TFileStream : public TStream {
public:
  TFileStream(const std::string& file_name, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return file_name_; }
  int Handle() const { return fd_; }

protected:
  std::string ErrorFileName() const override { return file_name_; }

private:
  void Close();

  std::string file_name_;
  int fd_ = -1;
  uint64_t share_key_dev_ = 0;
  uint64_t share_key_ino_ = 0;
  uint16_t access_ = 0;
  uint16_t share_ = 0;
};

// A stored file rewritten as a whole: the bytes go to a temporary file in the target's folder,
// which Commit flushes and renames over the target. Without a successful Commit the temporary
// file is removed and the target stays as it was. A failed create raises EFCreateError naming
// the target.
//
// The temporary file has a short random name of its own (TempFilePrefix, 16 hex digits,
// TempFileSuffix), made exclusively and drawn again when taken, so it neither collides with a
// leftover of an earlier run nor lengthens a long file name. Leftovers of a crash (these names
// and the older "<file>.<pid>-<n>.tmp~" ones) are removed when their folder is next rewritten,
// once they have not changed for StaleTempSeconds and are no write of this process in progress.
class TAtomicFileStream : public TStream {
public:
  explicit TAtomicFileStream(const std::string& target);
  ~TAtomicFileStream() override;
  TAtomicFileStream(const TAtomicFileStream&) = delete;
  TAtomicFileStream& operator=(const TAtomicFileStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override { return file_->Read(buffer, count); }
  int32_t Write(const void* buffer, int32_t count) override { return file_->Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return file_->Seek(offset, origin); }
  void SetSize(int64_t size) override { file_->SetSize(size); }
  // Raises EWriteError (with the Win32 code) when the data cannot be made durable.
  void Commit();
  const std::string& Target() const { return target_; }
  // The temporary file's descriptor, for its mode and dates before the commit.
  int Handle() const { return file_ ? file_->Handle() : -1; }

  static constexpr const char* TempFilePrefix = ".~qv";
  static constexpr const char* TempFileSuffix = ".tmp";
  // Long enough that no write still going on in another program is taken for a leftover.
  static constexpr int64_t StaleTempSeconds = 15 * 60;
  // True for a name of this kind of temporary file, the older form included.
  static bool IsTempFileName(const std::string& name);

protected:
  std::string ErrorFileName() const override { return target_; }

private:
  void Discard();

  std::string target_;
  std::string temp_;
  std::unique_ptr<TFileStream> file_;
};

// Atomic rewrites of several files in one step: while one lives on a thread, the rewrites
// committed on that thread still flush each file before renaming it over its target (so no
// target is ever half-written), but leave the flush of their folders to it, which flushes each
// folder once when it ends. A write that must not reach the disk before these renames (a file
// that records them as stored) comes after the batch's end. The leftovers of crashed rewrites
// are looked for once per folder. A batch opened inside another one joins it.
class TAtomicWriteBatch {
public:
  TAtomicWriteBatch();
  ~TAtomicWriteBatch();
  TAtomicWriteBatch(const TAtomicWriteBatch&) = delete;
  TAtomicWriteBatch& operator=(const TAtomicWriteBatch&) = delete;

  // The outermost batch of this thread, or null.
  static TAtomicWriteBatch* Current();
  // Flushes the folders of the renames so far.
  void SyncFolders();

private:
  friend class TAtomicFileStream;
  bool outermost_ = false;
  std::vector<std::string> synced_;   // folders to flush
  std::vector<std::string> cleaned_;  // folders already cleared of leftovers
};

}  // namespace qv
