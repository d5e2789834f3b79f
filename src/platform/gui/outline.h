#pragma once
// A drawn tree: text nodes with an object pointer each, shown as an indented list with a box
// that opens and closes the nodes that have children. The rows are the drawn list box's items;
// the nodes are changed only through the members below.
#include <string>
#include <vector>

#include "platform/gui/list_ctrls.h"

namespace qv {

class TOutline : public TCustomListBox {
public:
  explicit TOutline(TComponent* owner);
  std::string ClassName() const override { return "TOutline"; }

  // Nodes are numbered from 1 in tree order (a node, then its subtree); 0 stands for no node.
  // A number outside 1..ItemCount raises EListError.
  int ItemCount() const { return static_cast<int>(nodes_.size()); }
  // Adds a node as the last child of parent_index (0: a top-level node); answers its number.
  // New nodes start closed.
  int AddChildObject(int parent_index, const std::string& text, void* object);
  void Clear();
  // Inside a bracket nodes change without the rows being rebuilt.
  void BeginUpdate();
  void EndUpdate();

  const std::string& NodeText(int index) const;
  void SetNodeText(int index, const std::string& text);
  void* NodeData(int index) const;
  // The parent's number, 0 for a top-level node.
  int NodeParent(int index) const;
  // 1 for a top-level node.
  int NodeLevel(int index) const;
  bool HasChildren(int index) const;
  bool Expanded(int index) const;
  void SetExpanded(int index, bool expanded);
  void FullExpand();
  // The first node holding object, 0 when none does.
  int GetDataItem(const void* object) const;

  // The selected node, 0 for none.
  int SelectedItem() const;
  // Selects a node without events, opening its parents so that it shows; 0 clears.
  void SetSelectedItem(int index);
  // The node a row shows; 0 outside the rows.
  int RowNode(int row) const;
  // The row of a node, -1 while a closed parent hides it.
  int NodeRow(int index) const;

protected:
  void DrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;

private:
  // The rows belong to the outline.
  using TCustomListBox::AddItem;
  using TCustomListBox::ClearItems;
  using TCustomListBox::DeleteItem;
  using TCustomListBox::InsertItem;
  using TCustomListBox::SetItems;
  using TCustomListBox::SetItemText;

  struct TNode {
    std::string Text;
    void* Object = nullptr;
    int Level = 1;
    bool Expanded = false;
  };
  const TNode& Node(int index) const;
  // The open/close box of a row's node, in client coordinates.
  TRect ButtonRect(int row) const;
  int Indent(int level) const;
  void RebuildRows();
  void RebuildRows(int selected);
  void Toggle(int index);

  std::vector<TNode> nodes_;
  std::vector<int> rows_;  // node numbers of the shown rows
  int updating_ = 0;
  int pending_selection_ = -1;  // the node to select when a bracket ends, -1 for the current one
};

}  // namespace qv
