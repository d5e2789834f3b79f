#include "platform/gui/grids.h"

#include <gtest/gtest.h>

#include "platform/gui/forms.h"

namespace qv {
namespace {

// A borderless grid of 6 columns of 50 and 6 rows of 20 on a form, 1 fixed column and row.
class GridTest : public ::testing::Test {
protected:
  GridTest() {
    InitializeGui();
    form_ = std::make_unique<TForm>(nullptr);
    grid_ = new TStringGrid(form_.get());
    grid_->SetParent(form_.get());
    grid_->SetBorderStyle(TBorderStyle::bsNone);
    grid_->SetBounds(0, 0, 180, 90);
    grid_->SetColCount(6);
    grid_->SetRowCount(6);
    grid_->SetDefaultColWidth(50);
    grid_->SetDefaultRowHeight(20);
  }
  std::unique_ptr<TForm> form_;
  TStringGrid* grid_ = nullptr;
};

// Cells lie side by side with one pixel of line between them; scrolled cells start after the
// fixed ones at the top-left cell, and a point maps back to its cell.
TEST_F(GridTest, CellsFollowTheTopLeftCell) {
  struct Case {
    int left_col, col, row;
    TRect rect;
  };
  const Case cases[] = {
      {1, 0, 0, {0, 0, 50, 20}},    {1, 1, 1, {51, 21, 101, 41}}, {1, 3, 2, {153, 42, 203, 62}},
      {3, 3, 2, {51, 42, 101, 62}}, {3, 1, 1, {0, 0, 0, 0}},      {3, 0, 2, {0, 42, 50, 62}},
  };
  for (const Case& c : cases) {
    grid_->SetLeftCol(c.left_col);
    const TRect r = grid_->CellRect(c.col, c.row);
    EXPECT_EQ((std::vector<int>{r.Left, r.Top, r.Right, r.Bottom}),
              (std::vector<int>{c.rect.Left, c.rect.Top, c.rect.Right, c.rect.Bottom}))
        << c.left_col << " " << c.col << " " << c.row;
    if (r.Width() > 0) {
      const TGridCoord cell = grid_->MouseToCell(r.Left + 1, r.Top + 1);
      EXPECT_EQ(cell.X, c.col);
      EXPECT_EQ(cell.Y, c.row);
    }
  }
  EXPECT_EQ(grid_->MouseToCell(179, 89).X, 5);  // partly shown: still a cell
  grid_->SetLeftCol(1);
  EXPECT_EQ(grid_->VisibleColCount(), 2);  // 50 + 1 + 2 x 51 fits, the third does not
  EXPECT_EQ(grid_->VisibleRowCount(), 3);
  EXPECT_EQ(grid_->MouseToCell(5, 200).X, -1);  // below the rows
}

// Scrolling never reaches into the fixed cells or past the last column, and tells its owner.
TEST_F(GridTest, TopLeftStaysInRangeAndIsReported) {
  int changes = 0;
  grid_->OnTopLeftChanged = [&](TComponent*) { ++changes; };
  grid_->SetLeftCol(0);
  EXPECT_EQ(grid_->LeftCol(), 1);
  EXPECT_EQ(changes, 0);
  grid_->SetLeftCol(9);
  EXPECT_EQ(grid_->LeftCol(), 5);
  grid_->SetTopRow(4);
  EXPECT_EQ(changes, 2);
  grid_->SetColCount(3);
  EXPECT_EQ(grid_->LeftCol(), 2);
  grid_->SetCells(2, 5, "x");  // outside the rows: ignored
  grid_->SetCells(2, 4, "y");
  EXPECT_EQ(grid_->Cells(2, 4), "y");
  EXPECT_EQ(grid_->Cells(2, 9), "");
}

// Lines are drawn by the options: only where fixed or scrolled cells ask for them.
TEST_F(GridTest, LinesFollowTheOptions) {
  grid_->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine);
  grid_->SetColor(clWhite);
  TRecordingCanvas canvas(180, 90);
  grid_->PaintOn(canvas, 0, 0);
  EXPECT_EQ(canvas.Bitmap().Pixel(50, 5), clBlack);    // after the fixed column
  EXPECT_EQ(canvas.Bitmap().Pixel(101, 30), clBlack);  // between scrolled columns
  EXPECT_EQ(canvas.Bitmap().Pixel(60, 41), clWhite);   // no horizontal line between scrolled rows
  EXPECT_EQ(canvas.Bitmap().Pixel(60, 20), clBlack);   // below the fixed row
}

}  // namespace
}  // namespace qv
