#pragma once
// The printed page of the visual objects: margins, a page frame, a header with up to three text
// lines and a logo, and a body below it used whole, as two halves or as four framed and captioned
// quarters. The geometry is computed in printer pixels from the current printer; the user's
// settings live in the section "PrintLayout" of the program INI file.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/gui/graphics.h"

namespace qv {

class TPrintLayout {
public:
  // Loads the settings and the logo, and becomes the global PrintLayout.
  TPrintLayout();
  // Saves the settings and clears the global.
  ~TPrintLayout();
  TPrintLayout(const TPrintLayout&) = delete;
  TPrintLayout& operator=(const TPrintLayout&) = delete;

  const std::string& CustTitle() const { return cust_title_; }
  void SetCustTitle(const std::string& text);
  const std::string& CustSubTitle() const { return cust_sub_title_; }
  void SetCustSubTitle(const std::string& text);
  const std::string& InfoLine() const { return info_line_; }
  void SetInfoLine(const std::string& text);
  // Fields 1 to 4; captions 1 and 2 also caption the halves.
  const std::string& FieldCaption(int field) const;
  void SetFieldCaption(int field, const std::string& text);
  // Margins in 0.1 mm, 0 to 600.
  int GetLeftMargin() const { return margins_[0]; }
  int GetTopMargin() const { return margins_[1]; }
  int GetRightMargin() const { return margins_[2]; }
  int GetBottomMargin() const { return margins_[3]; }
  void SetLeftMargin(int value) { SetMargin(0, value); }
  void SetTopMargin(int value) { SetMargin(1, value); }
  void SetRightMargin(int value) { SetMargin(2, value); }
  void SetBottomMargin(int value) { SetMargin(3, value); }
  // Black-and-white printers draw plot curves with 1-pixel pens, so that their dash styles show.
  bool PrintDotted = false;

  // The header font takes the font's attributes.
  void SetFont(const TFont& font);
  const TFont& HeaderFont() const { return font_; }
  const TBitmap* Logo() const { return logo_.get(); }
  void LoadLogo();
  void LoadSettings();
  void SaveSettings() const;

  // Whether the geometry must be computed again (also when another printer was chosen).
  bool CheckPrinter();
  void Format();
  // Geometry in printer pixels, computed first when needed.
  double GetPenScale();
  double GetXScale();
  double GetYScale();
  int GetLineHeight();
  int GetGap();
  TRect GetPageFrame();
  TRect GetHeaderFrame();
  TRect GetLogoFrame();
  TRect GetBody();
  // 1 top left, 2 top right, 3 bottom left, 4 bottom right; after PrintFourFields, below their
  // captions.
  TRect GetQuarter(int index);
  // 1 top, 2 bottom; after PrintTwoFields, below their captions.
  TRect GetHalf(int index);

  // Draw on the printer's canvas; the geometry is computed anew for every page.
  void PrintPageFrame();
  void PrintFourFields();
  void PrintTwoFields();

  // A font at the printer's (or the given) resolution, keeping its point size.
  static void FitFontToPrinter(TFont& font);
  static void FitFontToDpi(TFont& font, int pixels_per_inch);

  // The layout dialog; true when the user took its values.
  bool EditLayout();

  // Waits before the printer's capabilities are read (drivers need it); tests make it return.
  std::function<void(int milliseconds)> SleepProc;

private:
  void SetMargin(int index, int value);
  void SetText(std::string& field, const std::string& text);
  void Formatted();
  void PrintFields(int count);

  std::string cust_title_, cust_sub_title_, info_line_;
  std::array<std::string, 4> captions_;
  std::array<int, 4> margins_ = {200, 200, 200, 200};
  TFont font_;
  std::unique_ptr<TBitmap> logo_;
  bool needs_format_ = true;
  bool editing_ = false;
  std::string printer_name_;
  double pen_scale_ = 1.0, x_scale_ = 1.0, y_scale_ = 1.0;
  int line_height_ = 0, gap_ = 0;
  TRect page_, header_, logo_frame_, body_;
  std::array<TRect, 4> quarters_;
  std::array<TRect, 2> halves_;
};

extern TPrintLayout* PrintLayout;

// Windows' MulDiv: a * b / c with a 64-bit product, rounded to the nearest integer, halves away
// from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

}  // namespace qv
