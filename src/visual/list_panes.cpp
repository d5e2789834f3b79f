#include "visual/list_panes.h"

#include "base/res_string.h"

namespace qv {

TStyPanel* PaneHeader(TComponent* owner, TWinControl* pane, const std::string& key) {
  auto* header = new TStyPanel(owner);
  header->SetParent(pane);
  header->SetAlign(TAlign::alTop);
  header->SetHeight(20);
  header->SetCaption(LoadResString(key));
  return header;
}

TListBox* PaneList(TComponent* owner, TWinControl* pane) {
  auto* list = new TListBox(owner);
  list->SetParent(pane);
  list->SetAlign(TAlign::alClient);
  return list;
}

}  // namespace qv
