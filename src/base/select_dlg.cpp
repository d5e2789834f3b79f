#include "base/select_dlg.h"

namespace qv {

TSelectDlgProc SelectDlgProc;

int RunSelectDlg(const std::string& caption, const std::string& text1, const std::string& text2, uint8_t style,
                 TStringList& list, int32_t& index) {
  return SelectDlgProc ? SelectDlgProc(caption, text1, text2, style, list, index) : 2;
}

}  // namespace qv
