#include "platform/gui/folder_dialog.h"

#include <QFileDialog>

#include "platform/gui/qt_private.h"

namespace qv {

bool TFolderDialog::Execute() {
  QV_GUI_THREAD();
  EnsureGui();
  QFileDialog dlg(nullptr, QString(), QString::fromStdString(Folder));
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setOption(QFileDialog::ShowDirsOnly, true);
  dlg.setFileMode(QFileDialog::Directory);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  ApplyTexts(TCommonDialogCode::cdcOpen, dlg, Title);
  bool read_back = false;
  if (!RunCommonDialog(*this, dlg, read_back)) return false;
  if (read_back) {
    const QStringList chosen = dlg.selectedFiles();
    if (chosen.isEmpty()) return false;
    Folder = chosen.front().toStdString();
  }
  return true;
}

}  // namespace qv
