#include "platform/gui/outline.h"

#include <algorithm>

namespace qv {

namespace {
constexpr int kIndent = 16;   // per level
constexpr int kBoxSize = 9;   // the open/close box
constexpr int kTextGap = 14;  // from the box's left edge to the text
}  // namespace

TOutline::TOutline(TComponent* owner) : TCustomListBox(owner) { SetStyle(TListBoxStyle::lbOwnerDrawFixed); }

const TOutline::TNode& TOutline::Node(int index) const {
  if (index < 1 || index > ItemCount()) throw EListError("Outline index out of bounds (" + std::to_string(index) + ")");
  return nodes_[static_cast<size_t>(index - 1)];
}

int TOutline::AddChildObject(int parent_index, const std::string& text, void* object) {
  int level = 1;
  size_t at = nodes_.size();
  if (parent_index != 0) {
    level = Node(parent_index).Level + 1;
    // After the parent's last descendant.
    at = static_cast<size_t>(parent_index);
    while (at < nodes_.size() && nodes_[at].Level >= level) ++at;
  }
  // The selected node keeps its selection while the nodes after the new one move on.
  int selected = SelectedItem();
  if (selected > static_cast<int>(at)) ++selected;
  nodes_.insert(nodes_.begin() + static_cast<std::ptrdiff_t>(at), TNode{text, object, level, false});
  RebuildRows(selected);
  return static_cast<int>(at) + 1;
}

void TOutline::Clear() {
  nodes_.clear();
  rows_.clear();
  pending_selection_ = -1;
  TCustomListBox::ClearItems();
}

void TOutline::BeginUpdate() {
  ++updating_;
  TCustomListBox::BeginUpdate();
}

void TOutline::EndUpdate() {
  if (updating_ > 0) --updating_;
  RebuildRows();
  TCustomListBox::EndUpdate();
}

const std::string& TOutline::NodeText(int index) const { return Node(index).Text; }

void TOutline::SetNodeText(int index, const std::string& text) {
  Node(index);
  nodes_[static_cast<size_t>(index - 1)].Text = text;
  const int row = NodeRow(index);
  if (row >= 0) TCustomListBox::SetItemText(row, text);
}

void* TOutline::NodeData(int index) const { return Node(index).Object; }

int TOutline::NodeParent(int index) const {
  const int level = Node(index).Level;
  for (int i = index - 1; i >= 1; --i)
    if (nodes_[static_cast<size_t>(i - 1)].Level < level) return i;
  return 0;
}

int TOutline::NodeLevel(int index) const { return Node(index).Level; }

bool TOutline::HasChildren(int index) const {
  const int level = Node(index).Level;
  return index < ItemCount() && nodes_[static_cast<size_t>(index)].Level > level;
}

bool TOutline::Expanded(int index) const { return Node(index).Expanded; }

void TOutline::SetExpanded(int index, bool expanded) {
  Node(index);
  if (nodes_[static_cast<size_t>(index - 1)].Expanded == expanded) return;
  nodes_[static_cast<size_t>(index - 1)].Expanded = expanded;
  RebuildRows();
}

void TOutline::FullExpand() {
  for (TNode& n : nodes_) n.Expanded = true;
  RebuildRows();
}

int TOutline::GetDataItem(const void* object) const {
  for (size_t i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].Object == object) return static_cast<int>(i) + 1;
  return 0;
}

int TOutline::SelectedItem() const { return pending_selection_ >= 0 ? pending_selection_ : RowNode(ItemIndex()); }

void TOutline::SetSelectedItem(int index) {
  if (index != 0) Node(index);
  bool opened = false;
  for (int p = index == 0 ? 0 : NodeParent(index); p != 0; p = NodeParent(p)) {
    if (!nodes_[static_cast<size_t>(p - 1)].Expanded) opened = true;
    nodes_[static_cast<size_t>(p - 1)].Expanded = true;
  }
  if (opened || updating_ > 0) {
    RebuildRows(index);
    if (updating_ > 0) return;
  }
  SetItemIndex(NodeRow(index));
}

int TOutline::RowNode(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)] : 0;
}

int TOutline::NodeRow(int index) const {
  auto it = std::find(rows_.begin(), rows_.end(), index);
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

void TOutline::RebuildRows() { RebuildRows(SelectedItem()); }

void TOutline::RebuildRows(int selected) {
  if (updating_ > 0) {
    // Rows are rebuilt at the end of the bracket; the selection goes with its node.
    pending_selection_ = selected;
    return;
  }
  pending_selection_ = -1;
  if (selected > ItemCount()) selected = 0;
  rows_.clear();
  int hide_below = 0;  // level of a closed node whose subtree is hidden, 0 for none
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const TNode& n = nodes_[i];
    if (hide_below != 0 && n.Level > hide_below) continue;
    hide_below = n.Expanded ? 0 : n.Level;
    rows_.push_back(static_cast<int>(i) + 1);
  }
  // A hidden selected node passes the selection to the closest shown parent.
  while (selected != 0 && NodeRow(selected) < 0) selected = NodeParent(selected);
  const int top = TopIndex();
  TCustomListBox::BeginUpdate();
  TCustomListBox::ClearItems();
  for (int node : rows_) TCustomListBox::AddItem(nodes_[static_cast<size_t>(node - 1)].Text);
  SetTopIndex(top);
  SetItemIndex(NodeRow(selected));
  TCustomListBox::EndUpdate();
}

void TOutline::Toggle(int index) {
  if (index != 0 && HasChildren(index)) SetExpanded(index, !Expanded(index));
}

int TOutline::Indent(int level) const { return 2 + (level - 1) * kIndent; }

TRect TOutline::ButtonRect(int row) const {
  const TRect r = ItemRect(row);
  const int left = Indent(NodeLevel(RowNode(row)));
  const int top = r.Top + (r.Height() - kBoxSize) / 2;
  return TRect{left, top, left + kBoxSize, top + kBoxSize};
}

void TOutline::DrawItem(int index, TRect rect, TOwnerDrawState state) {
  TCanvas& c = Canvas();
  const int node = RowNode(index);
  c.FillRect(rect);
  if (node == 0) return;
  if (HasChildren(node)) {
    const TRect box = ButtonRect(index);
    c.Pen().Style = TPenStyle::psSolid;
    c.Pen().Color = clBtnShadow;
    c.Brush().Color = clWindow;
    c.Rectangle(box);
    c.Pen().Color = clWindowText;
    const int mid_y = box.Top + kBoxSize / 2, mid_x = box.Left + kBoxSize / 2;
    c.MoveTo(box.Left + 2, mid_y);
    c.LineTo(box.Right - 2, mid_y);
    if (!Expanded(node)) {
      c.MoveTo(mid_x, box.Top + 2);
      c.LineTo(mid_x, box.Bottom - 2);
    }
  }
  const std::string& text = NodeText(node);
  const int x = Indent(NodeLevel(node)) + kTextGap;
  TRect text_rect{x - 2, rect.Top, std::min(rect.Right, x + c.TextWidth(text) + 2), rect.Bottom};
  if (state & odSelected) {
    c.Brush().Color = clHighlight;
    c.Font().SetColor(clHighlightText);
    c.FillRect(text_rect);
  }
  c.Brush().Style = TBrushStyle::bsClear;
  c.TextOut(x, rect.Top + (rect.Height() - c.TextHeight("Pp")) / 2, text);
  c.Brush().Style = TBrushStyle::bsSolid;
  if (state & odFocused) c.DrawFocusRect(text_rect);
}

void TOutline::KeyDown(uint16_t& key, TShiftState shift) {
  const int node = SelectedItem();
  if (node != 0 && (key == VK_LEFT || key == VK_RIGHT)) {
    if (key == VK_RIGHT && HasChildren(node)) {
      SetExpanded(node, true);
    } else if (key == VK_LEFT && HasChildren(node) && Expanded(node)) {
      SetExpanded(node, false);
    } else if (key == VK_LEFT && NodeParent(node) != 0) {
      SelectByUser(NodeRow(NodeParent(node)));
    }
    key = 0;
    return;
  }
  TCustomListBox::KeyDown(key, shift);
}

void TOutline::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    const int row = ItemAtPos({x, y}, true);
    if (row >= 0 && HasChildren(RowNode(row))) {
      TRect box = ButtonRect(row);
      InflateRect(box, 2, 2);
      if (box.Contains({x, y})) {
        Toggle(RowNode(row));
        return;
      }
    }
  }
  TCustomListBox::MouseDown(button, shift, x, y);
}

void TOutline::DblClick() {
  Toggle(SelectedItem());
  TCustomListBox::DblClick();
}

}  // namespace qv
