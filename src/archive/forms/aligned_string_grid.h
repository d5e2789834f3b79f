#pragma once
// A string grid whose cells are drawn left, right or centred, by a default alignment that a
// handler may change per cell. A cell text that begins with "!" is drawn red without the "!".
#include <functional>

#include "platform/gui/grids.h"

namespace qv {

using TAlignmentEvent =
    std::function<void(TComponent* sender, int col, int row, TGridDrawState state, TAlignment& alignment)>;

class TAlignedStringGrid : public TStringGrid {
public:
  explicit TAlignedStringGrid(TComponent* owner) : TStringGrid(owner) {}
  std::string ClassName() const override { return "TAlignedStringGrid"; }

  TAlignment DefaultCellAlignment() const { return default_alignment_; }
  void SetDefaultCellAlignment(TAlignment alignment);
  TAlignmentEvent OnGetCellAlignment;

  // The alignment a cell is drawn with.
  TAlignment CellAlignment(int col, int row, TGridDrawState state);

protected:
  void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;

private:
  TAlignment default_alignment_ = TAlignment::taLeftJustify;
};

}  // namespace qv
