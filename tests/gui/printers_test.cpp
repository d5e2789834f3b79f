#include "platform/gui/printers.h"

#include <gtest/gtest.h>

#include "platform/rtl/file_io.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(Printer, PagesGoToAPdfFile) {
  test::TempDir dir;
  TPrinter p;
  p.SetOutputFile(dir.File("out.pdf"));
  p.Title = "Test";
  EXPECT_THROW(p.NewPage(), EPrinter);
  p.BeginDoc();
  EXPECT_TRUE(p.Printing());
  EXPECT_GT(p.PageWidth(), 2000);  // A4 or letter at 300 pixels per inch
  TCanvas& c = p.Canvas();
  c.Pen().Color = clBlack;
  c.MoveTo(100, 100);
  c.LineTo(1000, 100);
  c.TextOut(100, 200, "Page one");
  EXPECT_GT(c.TextHeight("Pp"), 30);  // 8 points at 300 pixels per inch
  p.NewPage();
  EXPECT_EQ(p.PageNumber(), 2);
  p.EndDoc();
  EXPECT_FALSE(p.Printing());
  std::string bytes = ReadFileBytes(dir.File("out.pdf"));
  EXPECT_EQ(bytes.substr(0, 4), "%PDF");

  TPrinter q;
  q.SetOutputFile(dir.File("aborted.pdf"));
  q.BeginDoc();
  q.Abort();
  EXPECT_TRUE(q.Aborted());
}

// The orientation set between pages applies to the next page of the same job.
TEST(Printer, EachPageTakesTheOrientationSetBeforeIt) {
  test::TempDir dir;
  TPrinter p;
  p.SetOutputFile(dir.File("turns.pdf"));
  p.SetPixelsPerInch(72);
  p.BeginDoc();
  const int portrait_width = p.PageWidth(), portrait_height = p.PageHeight();
  ASSERT_LT(portrait_width, portrait_height);
  p.SetOrientation(TPrinterOrientation::poLandscape);
  p.NewPage();
  EXPECT_EQ(p.PageWidth(), portrait_height);
  p.Canvas().TextOut(portrait_height - 100, 10, "wide");
  p.SetOrientation(TPrinterOrientation::poPortrait);
  p.NewPage();
  p.EndDoc();
  // The page boxes of the file: portrait, landscape, portrait.
  const std::string bytes = ReadFileBytes(dir.File("turns.pdf"));
  std::vector<std::string> boxes;
  for (size_t at = bytes.find("/MediaBox"); at != std::string::npos; at = bytes.find("/MediaBox", at + 1))
    boxes.push_back(bytes.substr(at, bytes.find(']', at) - at));
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0], boxes[2]);
  EXPECT_NE(boxes[0], boxes[1]);
}

}  // namespace
}  // namespace qv
