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

}  // namespace
}  // namespace qv
