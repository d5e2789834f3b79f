#pragma once
// The client area of a multiple-document frame: forms placed in it become its sub-windows, with
// a title bar each, and the frame's window commands arrange them.
#include <vector>

#include "platform/gui/controls.h"

namespace qv {

class TForm;

class TMdiArea : public TWinControl {
public:
  explicit TMdiArea(TComponent* owner);
  ~TMdiArea() override;
  std::string ClassName() const override { return "TMdiArea"; }

  // The form becomes a sub-window of the area, shown when the form is shown; freeing the form
  // removes it.
  void AddChild(TForm* form);
  int ChildCount() const { return static_cast<int>(children_.size()); }
  TForm* Children(int index) const { return children_.at(static_cast<size_t>(index)); }
  // The sub-window's rectangle, its frame included, in the area's client coordinates.
  TRect ChildBounds(int index) const;
  // The sub-window that has (or last had) the focus; null when there is none.
  TForm* ActiveChild() const;
  void SetActiveChild(TForm* form);

  // Each shown sub-window a step down and to the right of the one before, the active one last.
  void Cascade();
  // The shown sub-windows one above the other across the whole width.
  void TileHorizontal();
  // The shown sub-windows side by side over the whole height.
  void TileVertical();
  void MinimizeAll();
  // The minimised sub-windows in a row along the bottom edge.
  void ArrangeIcons();

  // The active sub-window changed (also to none).
  TNotifyEvent OnActiveChildChange;

  void Notification(TComponent* component, TOperation operation) override;

private:
  void Remove(TForm* form);
  std::vector<TForm*> Shown() const;
  std::vector<TForm*> children_;
  TForm* last_active_ = nullptr;
};

}  // namespace qv
