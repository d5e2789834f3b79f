#pragma once
// Small helpers of the archive tests: a temporary folder as the archive data folder, and the
// message boxes the archive shows, captured instead of shown.
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_globals.h"
#include "base/msg_handler.h"

namespace qv {

class TArchiveTestFolder {
public:
  TArchiveTestFolder() {
    char pattern[] = "/tmp/qv_archive_XXXXXX";
    path_ = ::mkdtemp(pattern);
    ResetArchiveGlobals();
    ArchiveDataPath = path_ + "/";
  }
  ~TArchiveTestFolder() {
    ResetArchiveGlobals();
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

class TCapturedBoxes {
public:
  TCapturedBoxes() : old_(MsgDialogProc) {
    MsgDialogProc = [this](const std::string& msg, TMsgDlgType, TMsgDlgButtons, int32_t) {
      Texts.push_back(msg);
      return 1;
    };
  }
  ~TCapturedBoxes() { MsgDialogProc = old_; }
  std::vector<std::string> Texts;

private:
  TMsgDialogProc old_;
};

}  // namespace qv
