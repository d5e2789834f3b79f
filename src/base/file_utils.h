#pragma once
// Copying, moving and deleting files and folder trees. Paths are full paths with "/"; a trailing
// "/" or "\" is ignored. Symbolic links are never followed out of a tree: the folder functions
// skip or delete links themselves, never what they point to.
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/rtl/exception.h"

namespace qv {

// Copy policy for an existing target.
constexpr uint8_t cpNewer = 1;   // copy only when the target is older than the source
constexpr uint8_t cpAlways = 2;  // always copy
                                 // any other value: copy only when the target is missing

// Whether file date a is later than b, to the nanosecond.
bool FileTimeLater(const struct timespec& a, const struct timespec& b);

// True when the file was copied. False when Source is missing or no regular file, when Dest is
// the same file as Source, or when the policy keeps an existing Dest. The copy is written beside
// Dest and renamed over it only when complete, so a failure leaves Dest as it was; with Move,
// Source is deleted only then. Move or KeepDate give Dest Source's file date, to the nanosecond. Raises the open
// and create errors of the file layer.
bool FileCopy2(const std::string& source, const std::string& dest, bool move, bool keep_date, uint8_t policy);

bool DirExists(const std::string& dir);

// Copies the regular files of Source (then, when Recursive, its sub-folders whose names hold no
// ".") into Dest, which is created when missing (EInOutError when that fails). With policy 2 true
// only when everything was copied, else true when anything was. False for an empty path, "/",
// a missing Source, or a Dest inside Source. With Move, the emptied Source is removed at the end.
bool CopyDir(const std::string& source, const std::string& dest, bool move, bool keep_date, bool recursive,
             uint8_t policy);

// Deletes Dir with everything in it except sub-folders whose names hold a "."; true when
// everything went (also when Dir does not exist). Undeletable entries make the result false;
// EInOutError when the emptied folder itself cannot be removed. False for an empty path or "/".
bool DeleteDir(const std::string& dir);

}  // namespace qv
