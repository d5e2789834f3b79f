#pragma once
// Whole-file reading and the atomic rewrite every stored file uses: the new contents go to a
// temporary file in the same folder, are flushed to disk and renamed over the old file, so a
// crash or a full disk never leaves a half-written file.
#include <string>

#include "platform/rtl/exception.h"

namespace qv {

// A failed write of an append whose file could be opened; the file is as it was before.
class EAppendWriteError : public EInOutError {
public:
  using EInOutError::EInOutError;
};

// Throws qv::Exception with the file name and the system's error text when it cannot read.
std::string ReadFileBytes(const std::string& file_name);
// Throws qv::Exception on failure; the old file is then untouched.
void WriteFileAtomic(const std::string& file_name, const std::string& bytes);
// Appends bytes to the file (created when missing) as one piece: when a write fails part-way (a
// full disk, a file-size limit) the file is cut back to its size before, or removed again when
// this call created it, so it holds exactly what it held. Logs and the audit trail append their
// lines through it. Raises EInOutError (with errno) naming the file and the system's reason,
// EAppendWriteError when the file was opened and the write failed.
void AppendFileWhole(const std::string& file_name, const std::string& bytes);
// Moves a file or folder from to to unless to exists; never replaces anything. On failure why
// holds the system's reason and errno its code.
bool RenameNoReplace(const std::string& from, const std::string& to, std::string& why);
// The regular file name in folder dir ("" or ending in "/") as it is spelled on disk: dir + name
// when it exists, else the first file of dir whose name differs only in letter case (files from
// older installations); "" when there is none.
std::string FindFileIgnoringCase(const std::string& dir, const std::string& name);
// The same for a relative path of several parts ("Images/PrintM.bmp"; "\\" counts as "/"): each
// folder and the file are matched ignoring case where the exact spelling does not exist.
std::string FindPathIgnoringCase(const std::string& dir, const std::string& relative);

}  // namespace qv
