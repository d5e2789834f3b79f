#pragma once
// The text of a PDF file the program printed, one entry per drawn line ("--- page ---" between
// pages), read back by pdf_text.py beside this file. Needs python3.
#include <sstream>
#include <string>
#include <vector>

#include "crypto/external_tool.h"

namespace qv::test {

inline std::vector<std::string> PdfText(const std::string& pdf) {
  std::istringstream in(RunTool("python3 " + std::string(QV_SOURCE_DIR) + "/tests/support/pdf_text.py '" + pdf + "'"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace qv::test
