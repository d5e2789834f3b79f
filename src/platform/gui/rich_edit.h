#pragma once
// A read-only text pane that holds lines and prints them as a document: each line on its own,
// long lines wrapped at blanks, pages filled within the page rectangle.
#include <string>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/rtl/string_list.h"

namespace qv {

class TFont;

// Prints lines on the program's printer as one job with that title, inside page (the printer's
// pixels; an empty rectangle is the whole page), in font: each line on its own, long lines wrapped
// at blanks, pages filled. A failure aborts the job and passes on.
void PrintTextLines(const std::vector<std::string>& lines, const TFont& font, TRect page, const std::string& title);

class TRichEdit : public TCustomControl {
public:
  explicit TRichEdit(TComponent* owner);
  std::string ClassName() const override { return "TRichEdit"; }

  TStringList& Lines() { return lines_; }
  const TStringList& Lines() const { return lines_; }
  // The printed area of a page in the printer's pixels; an empty rectangle prints on the whole page.
  TRect PageRect;
  // Prints the lines on the program's printer as one job with that title. A failure aborts the job
  // and passes on.
  void Print(const std::string& title);

protected:
  void Paint() override;

private:
  TStringList lines_;
};

}  // namespace qv
