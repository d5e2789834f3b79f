#include "platform/gui/rich_edit.h"

#include <vector>

#include "platform/gui/printers.h"

namespace qv {

namespace {

// The line cut into segments no wider than width, at blanks where there are any.
std::vector<std::string> WrapLine(const TCanvas& canvas, const std::string& line, int width) {
  std::vector<std::string> out;
  std::string rest = line;
  while (canvas.TextWidth(rest) > width && rest.size() > 1) {
    size_t cut = rest.size();
    while (cut > 1 && canvas.TextWidth(rest.substr(0, cut)) > width) {
      const size_t blank = rest.rfind(' ', cut - 1);
      cut = (blank != std::string::npos && blank > 0) ? blank : cut - 1;
      // Never split a UTF-8 sequence.
      while (cut > 1 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;
    }
    out.push_back(rest.substr(0, cut));
    rest.erase(0, rest[cut] == ' ' ? cut + 1 : cut);
  }
  out.push_back(rest);
  return out;
}

}  // namespace

TRichEdit::TRichEdit(TComponent* owner) : TCustomControl(owner) {
  SetBorderStyle(TBorderStyle::bsSingle);
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
}

void TRichEdit::Paint() {
  TCanvas& c = Canvas();
  c.Brush().Color = Color();
  c.FillRect(ClientRect());
  c.Font().Assign(Font());
  c.Brush().Style = TBrushStyle::bsClear;
  const int h = c.TextHeight("Pp");
  for (int i = 0, y = 1; i < lines_.Count() && y < ClientHeight(); ++i, y += h) c.TextOut(2, y, lines_[i]);
  c.Brush().Style = TBrushStyle::bsSolid;
}

void PrintTextLines(const std::vector<std::string>& lines, const TFont& font, TRect page, const std::string& title) {
  TPrinter& printer = Printer();
  printer.Title = title;
  printer.BeginDoc();
  try {
    TCanvas& c = printer.Canvas();
    c.Font().Assign(font);
    if (page.Width() <= 0 || page.Height() <= 0) page = TRect{0, 0, printer.PageWidth(), printer.PageHeight()};
    const int h = c.TextHeight("Pp");
    int y = page.Top;
    for (const std::string& line : lines) {
      for (const std::string& segment : WrapLine(c, line, page.Width())) {
        if (y + h > page.Bottom && y > page.Top) {
          printer.NewPage();
          y = page.Top;
        }
        c.TextOut(page.Left, y, segment);
        y += h;
      }
    }
    printer.EndDoc();
  } catch (...) {
    printer.Abort();
    throw;
  }
}

void TRichEdit::Print(const std::string& title) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<size_t>(lines_.Count()));
  for (int i = 0; i < lines_.Count(); ++i) lines.push_back(lines_[i]);
  PrintTextLines(lines, Font(), PageRect, title);
}

}  // namespace qv
