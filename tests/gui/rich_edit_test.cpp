#include "platform/gui/rich_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gui/printers.h"
#include "support/pdf_text.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(RichEdit, PrintsEveryLineAcrossPagesAndWrapsLongOnes) {
  QV_REQUIRE_TOOL("python3");
  test::TempDir dir;
  TRichEdit edit(nullptr);
  std::vector<std::string> expected;
  for (int i = 1; i <= 120; ++i) edit.Lines().Add("Line " + std::to_string(i));
  std::string long_line;
  for (int i = 0; i < 60; ++i) long_line += (i ? " word" : "word") + std::to_string(i);
  edit.Lines().Add(long_line);
  const int ppi = Printer().PixelsPerInch();
  edit.PageRect = TRect{ppi / 2, ppi, ppi * 4, ppi * 6};  // a small page: several pages, narrow lines
  Printer().SetOutputFile(dir.File("lines.pdf"));
  edit.Print("Lines");
  Printer().SetOutputFile("");

  std::vector<std::string> text = test::PdfText(dir.File("lines.pdf"));
  std::vector<std::string> lines;
  int pages = 1;
  std::string joined;
  for (const std::string& t : text) {
    if (t == "--- page ---") {
      ++pages;
    } else if (t.rfind("Line ", 0) == 0) {
      lines.push_back(t);
    } else {
      EXPECT_LT(t.size(), long_line.size());  // a segment of the wrapped line
      joined += t + " ";
    }
  }
  EXPECT_GT(pages, 2);
  ASSERT_EQ(lines.size(), 120u);  // nothing lost at the page breaks
  EXPECT_EQ(lines.front(), "Line 1");
  EXPECT_EQ(lines.back(), "Line 120");
  EXPECT_EQ(joined, long_line + " ");  // cut at blanks, every word kept
}

}  // namespace
}  // namespace qv
