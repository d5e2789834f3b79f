#pragma once
// The desktop's folder selection dialog: a prompt, starting in a folder; new folders can be
// created in it.
#include <string>

#include "platform/gui/common_dialogs.h"

namespace qv {

class TFolderDialog : public TCommonDialog {
public:
  explicit TFolderDialog(TComponent* owner) : TCommonDialog(owner) {}
  std::string ClassName() const override { return "TFolderDialog"; }
  // The folder shown first; after Execute the chosen one.
  std::string Folder;
  bool Execute() override;
};

}  // namespace qv
