#pragma once
// Recorded drawing calls as short texts, so tests compare whole drawings in one table.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"

namespace qv::test {

inline std::string ColorName(TColor c) {
  struct Name {
    TColor c;
    const char* n;
  } static const kNames[] = {
      {clBtnFace, "face"},   {clBtnShadow, "shadow"}, {clBtnHighlight, "hilite"}, {cl3DDkShadow, "dkshadow"},
      {cl3DLight, "light"},  {clBtnText, "btntext"}, {clWindow, "window"},      {clBlack, "black"},
      {clWindowText, "wintext"}, {clNone, "none"}};
  for (const Name& n : kNames)
    if (n.c == c) return n.n;
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c) & 0xFFFFFFu);
  return buf;
}

// "line shadow 0,0-10,0", "pixel hilite 3,4", "fill face 0,0,10,10", "polygon black 8,11 5,7 12,7".
inline std::vector<std::string> DrawLog(const TCanvas& c) {
  std::vector<std::string> out;
  for (const TCanvasCall& k : c.Calls()) {
    std::string s;
    auto pt = [](TPoint p) { return std::to_string(p.X) + "," + std::to_string(p.Y); };
    auto rc = [](TRect r) {
      return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," + std::to_string(r.Bottom);
    };
    if (k.Op == "Line") s = "line " + ColorName(k.Pen.Color) + " " + pt(k.Points[0]) + "-" + pt(k.Points[1]);
    else if (k.Op == "Pixel") s = "pixel " + ColorName(k.Color) + " " + pt(k.Points[0]);
    else if (k.Op == "FillRect") s = "fill " + ColorName(k.Brush.Color) + " " + rc(k.Rect);
    else if (k.Op == "Polygon") {
      s = "polygon " + ColorName(k.Brush.Color) + (k.Pen.Style == TPenStyle::psClear ? "" : " outlined");
      for (TPoint p : k.Points) s += " " + pt(p);
    } else if (k.Op == "DrawText" || k.Op == "TextOut") s = "text " + ColorName(k.FontColor) + " " + k.Text;
    else s = k.Op + " " + rc(k.Rect);
    out.push_back(s);
  }
  return out;
}

using Log = std::vector<std::string>;

}  // namespace qv::test
