#include "visual/print_layout.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "controls/sty_round.h"
#include "platform/gui/printers.h"
#include "visual/d34_edit_layout.h"

namespace qv {

TPrintLayout* PrintLayout = nullptr;

namespace {
constexpr const char* kSection = "PrintLayout";
constexpr const char* kMarginKeys[4] = {"LeftMargin", "TopMargin", "RightMargin", "BottomMargin"};
int ClampMargin(int value) { return std::clamp(value, 0, 600); }
// A protocol line; printing goes on.
void LogLine(const std::string& text) {
  if (MsgHandler) MsgHandler->DoMessage(text, "", TMsgDlgType::mtInformation, mbOK, 0, mrOk, true, mkLogOnly);
}
}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const bool negative = (p < 0) != (c < 0);
  const int64_t num = std::llabs(p), den = std::llabs(static_cast<int64_t>(c));
  const int64_t q = (num + den / 2) / den;
  return static_cast<int>(negative ? -q : q);
}

TPrintLayout::TPrintLayout() {
  SleepProc = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  // The GUI font, until a printing object sets its own.
  font_.SetName("MS Sans Serif");
  font_.SetHeight(-11);
  LoadSettings();
  LoadLogo();
  PrintLayout = this;
}

TPrintLayout::~TPrintLayout() {
  try {
    SaveSettings();
  } catch (const std::exception& e) {
    LogLine(e.what());
  }
  if (PrintLayout == this) PrintLayout = nullptr;
}

void TPrintLayout::SetText(std::string& field, const std::string& text) {
  if (field == text) return;
  field = text;
  needs_format_ = true;
}
void TPrintLayout::SetCustTitle(const std::string& text) { SetText(cust_title_, text); }
void TPrintLayout::SetCustSubTitle(const std::string& text) { SetText(cust_sub_title_, text); }
void TPrintLayout::SetInfoLine(const std::string& text) { SetText(info_line_, text); }

const std::string& TPrintLayout::FieldCaption(int field) const {
  static const std::string none;
  return field >= 1 && field <= 4 ? captions_[static_cast<size_t>(field - 1)] : none;
}
void TPrintLayout::SetFieldCaption(int field, const std::string& text) {
  if (field >= 1 && field <= 4) SetText(captions_[static_cast<size_t>(field - 1)], text);
}

void TPrintLayout::SetMargin(int index, int value) {
  value = ClampMargin(value);
  if (margins_[static_cast<size_t>(index)] == value) return;
  margins_[static_cast<size_t>(index)] = value;
  needs_format_ = true;
}

void TPrintLayout::SetFont(const TFont& font) {
  font_.Assign(font);
  needs_format_ = true;
}

void TPrintLayout::LoadLogo() {
  logo_.reset();
  needs_format_ = true;
  const std::string file = ExePath + "Support/Logo.bmp";
  if (!std::filesystem::exists(file)) return;
  auto logo = std::make_unique<TBitmap>();
  try {
    logo->LoadFromFile(file);
  } catch (const std::exception& e) {
    // A logo that cannot be read leaves the header without one.
    LogLine(e.what());
    return;
  }
  logo_ = std::move(logo);
}

void TPrintLayout::LoadSettings() {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  SetCustTitle(ini.ReadString(kSection, "CustTitle", cust_title_));
  SetCustSubTitle(ini.ReadString(kSection, "CustSubTitle", cust_sub_title_));
  for (int i = 0; i < 4; ++i) SetMargin(i, ini.ReadInteger(kSection, kMarginKeys[i], margins_[static_cast<size_t>(i)]));
  PrintDotted = ini.ReadInteger(kSection, "PrintDotted", PrintDotted ? 1 : 0) != 0;
}

void TPrintLayout::SaveSettings() const {
  if (IniFileName.empty()) return;
  TIniFile2 ini(IniFileName);
  std::vector<std::pair<std::string, std::string>> values = {{"CustTitle", cust_title_},
                                                             {"CustSubTitle", cust_sub_title_}};
  for (int i = 0; i < 4; ++i) values.emplace_back(kMarginKeys[i], std::to_string(margins_[static_cast<size_t>(i)]));
  values.emplace_back("PrintDotted", PrintDotted ? "1" : "0");
  ini.WriteValues(kSection, values);
}

bool TPrintLayout::CheckPrinter() {
  const std::string name = Printer().DeviceName();
  if (name != printer_name_ || name.empty()) {
    needs_format_ = true;
    printer_name_ = name;
  }
  return needs_format_;
}

void TPrintLayout::Format() {
  TPrinter& printer = Printer();
  // No printer chosen (or one no longer there): the printer's own error ends the print command.
  if (printer.DeviceName().empty()) throw EPrinter("Printer selected is not valid");
  if (SleepProc) SleepProc(500);
  const int p = printer.PixelsPerInch();
  FitFontToDpi(font_, p);
  const bool running = printer.Printing();
  if (running) printer.Canvas().Font().Assign(font_);
  pen_scale_ = p / 72.0;
  const int width = printer.PageWidth(), height = printer.PageHeight();
  x_scale_ = width / (std::max(printer.PageWidthMM(), 1) * 10.0);
  y_scale_ = height / (std::max(printer.PageHeightMM(), 1) * 10.0);
  page_ = TRect{RoundHalfEven(margins_[0] * x_scale_), RoundHalfEven(margins_[1] * y_scale_),
                width - RoundHalfEven(margins_[2] * x_scale_), height - RoundHalfEven(margins_[3] * y_scale_)};
  gap_ = RoundHalfEven(y_scale_ * 20);
  // The canvas's metrics during a job; outside one the font's own height stands for them.
  if (running)
    line_height_ = printer.Canvas().FontLineHeight();
  else
    line_height_ = font_.Height() > 0 ? font_.Height() : MulDiv(-font_.Height(), 5, 4);
  const int h = 3 * line_height_ + page_.Top + 2 * gap_;
  logo_frame_ = TRect{page_.Right, page_.Top, page_.Right, h};
  if (logo_ && logo_->Height() > 0)
    logo_frame_.Left =
        page_.Right - RoundHalfEven(static_cast<double>(logo_->Width()) * (h - page_.Top) / logo_->Height());
  header_ = TRect{page_.Left, page_.Top, logo_frame_.Left, h};
  const int pen = RoundHalfEven(pen_scale_);
  body_ = TRect{page_.Left + pen, h + pen, page_.Right - pen, page_.Bottom - pen};
  const int mx = body_.Left + (body_.Right - body_.Left) / 2;
  const int my = body_.Top + (body_.Bottom - body_.Top) / 2;
  quarters_ = {TRect{body_.Left, body_.Top, mx, my}, TRect{mx, body_.Top, body_.Right, my},
               TRect{body_.Left, my, mx, body_.Bottom}, TRect{mx, my, body_.Right, body_.Bottom}};
  halves_ = {TRect{body_.Left, body_.Top, body_.Right, my}, TRect{body_.Left, my, body_.Right, body_.Bottom}};
  needs_format_ = false;
}

void TPrintLayout::Formatted() {
  if (CheckPrinter()) Format();
}

double TPrintLayout::GetPenScale() { return Formatted(), pen_scale_; }
double TPrintLayout::GetXScale() { return Formatted(), x_scale_; }
double TPrintLayout::GetYScale() { return Formatted(), y_scale_; }
int TPrintLayout::GetLineHeight() { return Formatted(), line_height_; }
int TPrintLayout::GetGap() { return Formatted(), gap_; }
TRect TPrintLayout::GetPageFrame() { return Formatted(), page_; }
TRect TPrintLayout::GetHeaderFrame() { return Formatted(), header_; }
TRect TPrintLayout::GetLogoFrame() { return Formatted(), logo_frame_; }
TRect TPrintLayout::GetBody() { return Formatted(), body_; }
TRect TPrintLayout::GetQuarter(int index) {
  Formatted();
  return quarters_[static_cast<size_t>(std::clamp(index, 1, 4) - 1)];
}
TRect TPrintLayout::GetHalf(int index) {
  Formatted();
  return halves_[static_cast<size_t>(std::clamp(index, 1, 2) - 1)];
}

void TPrintLayout::PrintPageFrame() {
  printer_name_.clear();
  Formatted();
  TCanvas& canvas = Printer().Canvas();
  const int pen = RoundHalfEven(pen_scale_);
  canvas.Font().Assign(font_);
  canvas.Pen() = TPen{};
  canvas.Pen().Width = pen;
  canvas.Brush().Style = TBrushStyle::bsClear;
  canvas.Rectangle(page_);
  canvas.Rectangle(header_);
  if (logo_ && !logo_frame_.IsEmpty()) {
    canvas.Rectangle(logo_frame_);
    TRect inner = logo_frame_;
    InflateRect(inner, -pen, -pen);
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.StretchDraw(inner, *logo_);
    canvas.Brush().Style = TBrushStyle::bsClear;
  }
  TRect text = header_;
  InflateRect(text, -(pen + gap_), -(pen + gap_));
  int y = text.Top;
  for (const std::string* line : {&cust_title_, &cust_sub_title_, &info_line_}) {
    if (line->empty()) continue;
    canvas.TextRect(TRect{text.Left, y, text.Right, y + line_height_}, text.Left, y, *line);
    y += line_height_;
  }
}

void TPrintLayout::PrintFields(int count) {
  PrintPageFrame();
  TCanvas& canvas = Printer().Canvas();
  const int pen = RoundHalfEven(pen_scale_);
  for (int i = 0; i < count; ++i) {
    TRect& field = count == 4 ? quarters_[static_cast<size_t>(i)] : halves_[static_cast<size_t>(i)];
    canvas.Rectangle(field);
    TRect text = field;
    InflateRect(text, -(pen + gap_), -(pen + gap_));
    const std::string& caption = captions_[static_cast<size_t>(i)];
    if (!caption.empty())
      canvas.TextRect(TRect{text.Left, text.Top, text.Right, text.Top + line_height_}, text.Left, text.Top, caption);
    field = TRect{field.Left + pen, text.Top + line_height_, field.Right - pen, field.Bottom - pen};
  }
}

void TPrintLayout::PrintFourFields() { PrintFields(4); }
void TPrintLayout::PrintTwoFields() { PrintFields(2); }

void TPrintLayout::FitFontToPrinter(TFont& font) { FitFontToDpi(font, Printer().PixelsPerInch()); }

void TPrintLayout::FitFontToDpi(TFont& font, int pixels_per_inch) { font.SetPixelsPerInch(pixels_per_inch); }

bool TPrintLayout::EditLayout() {
  if (editing_) return false;
  editing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{editing_};
  auto dialog = std::make_unique<TD34_EditLayout>(Application);
  dialog->Fill(*this);
  if (dialog->ShowModal() != mrOk) return false;
  dialog->Apply(*this);
  return true;
}

}  // namespace qv
