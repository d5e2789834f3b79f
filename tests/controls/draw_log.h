#pragma once
// Recorded drawing calls as short texts, so tests compare whole drawings in one table.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"

namespace qv::test {

inline std::string ColorName(TColor c) {
  struct Name {
    TColor c;
    const char* n;
  } static const kNames[] = {
      {clBtnFace, "face"},       {clBtnShadow, "shadow"}, {clBtnHighlight, "hilite"}, {cl3DDkShadow, "dkshadow"},
      {cl3DLight, "light"},      {clBtnText, "btntext"},  {clWindow, "window"},       {clBlack, "black"},
      {clWindowText, "wintext"}, {clNone, "none"}};
  for (const Name& n : kNames)
    if (n.c == c) return n.n;
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c) & 0xFFFFFFu);
  return buf;
}

// "line shadow 0,0-10,0", "pixel hilite 3,4", "fill face 0,0,10,10", "polygon black 8,11 5,7 12,7".
// Built by appending: GCC's optimiser misreads chains of + on strings as overlapping copies.
inline std::vector<std::string> DrawLog(const TCanvas& c) {
  std::vector<std::string> out;
  for (const TCanvasCall& k : c.Calls()) {
    std::string s;
    auto pt = [&s](TPoint p) { s.append(std::to_string(p.X)).append(",").append(std::to_string(p.Y)); };
    auto rc = [&s](TRect r) {
      for (int v : {r.Left, r.Top, r.Right, r.Bottom}) s.append(std::to_string(v)).append(",");
      s.pop_back();
    };
    if (k.Op == "Line") {
      s.append("line ").append(ColorName(k.Pen.Color)).append(" ");
      pt(k.Points[0]);
      s.append("-");
      pt(k.Points[1]);
    } else if (k.Op == "Pixel") {
      s.append("pixel ").append(ColorName(k.Color)).append(" ");
      pt(k.Points[0]);
    } else if (k.Op == "FillRect") {
      s.append("fill ").append(ColorName(k.Brush.Color)).append(" ");
      rc(k.Rect);
    } else if (k.Op == "Polygon") {
      s.append("polygon ").append(ColorName(k.Brush.Color));
      if (k.Pen.Style != TPenStyle::psClear) s.append(" outlined");
      for (TPoint p : k.Points) {
        s.append(" ");
        pt(p);
      }
    } else if (k.Op == "DrawText" || k.Op == "TextOut") {
      s.append("text ").append(ColorName(k.FontColor)).append(" ").append(k.Text);
    } else {
      s.append(k.Op).append(" ");
      rc(k.Rect);
    }
    out.push_back(s);
  }
  return out;
}

using Log = std::vector<std::string>;

// Joins the parts (appending, which the optimiser does not misread as overlapping copies).
inline std::string Cat(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) out.append(p);
  return out;
}

}  // namespace qv::test
