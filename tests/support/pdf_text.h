#pragma once
// The text of a PDF file the program printed, one entry per drawn line ("--- page ---" between
// pages), read back by pdf_text.py beside this file. Needs python3.
#include <sstream>
#include <string>
#include <vector>

#include "crypto/external_tool.h"

namespace qv::test {

inline std::vector<std::string> PdfText(const std::string& pdf) {
  std::istringstream in(
      RunTool(Python3() + " " + std::string(QV_SOURCE_DIR) + "/tests/support/pdf_text.py '" + pdf + "'"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The text of each page.
inline std::vector<std::vector<std::string>> PdfPages(const std::string& pdf) {
  std::vector<std::vector<std::string>> pages(1);
  for (const std::string& line : PdfText(pdf)) {
    if (line == "--- page ---")
      pages.emplace_back();
    else
      pages.back().push_back(line);
  }
  return pages;
}

}  // namespace qv::test
