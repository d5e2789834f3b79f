#include "visual/graphic_registry.h"

#include <algorithm>
#include <array>

#include "base/app_globals.h"
#include "base/msg_handler.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"

namespace qv {

TGraphicRegistry* GraphicRegistry = nullptr;

namespace {

std::string Slashed(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

std::string WithoutExePath(const std::string& name) {
  const std::string exe = Slashed(ExePath);
  if (exe.empty()) return name;
  const size_t pos = name.find(exe);
  return pos == std::string::npos ? name : name.substr(0, pos) + name.substr(pos + exe.size());
}

void ReportSkipped(const std::string& file, const std::string& why) {
  if (MsgHandler)
    MsgHandler->DoMessage("Picture " + file + " skipped: " + why, "", TMsgDlgType::mtError, mbOK, 0, mrOk, true,
                          mkLogOnly);
}

}  // namespace

TGraphicRegistry::TGraphicRegistry() { RegisterDefaults(); }

TGraphicRegistry::~TGraphicRegistry() {
  Clear();
  if (GraphicRegistry == this) GraphicRegistry = nullptr;
}

void TGraphicRegistry::RegisterDefaults() {
  static constexpr std::array<const char*, 9> kDefaults = {
      "Images/Tavra1_1.bmp", "Images/Tavra1_2.bmp", "Images/Tavra1_3.bmp", "Images/BtnUpGl.bmp", "Images/BtnDwnGl.bmp",
      "Images/DblUpArr.bmp", "Images/DblDown.bmp",  "Images/PrintM.bmp",   "Images/RecordAn.bmp"};
  for (const char* name : kDefaults) RegisterGraphic(ExePath + name);
}

void TGraphicRegistry::RegisterGraphic(const std::string& file_name) {
  const std::string name = Slashed(file_name);
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  const std::string ext =
      dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "" : name.substr(dot, 4);
  TGraphicKind kind;
  if (ext == ".bmp")
    kind = TGraphicKind::gkBitmap;
  else if (ext == ".ico")
    kind = TGraphicKind::gkIcon;
  else if (ext == ".wmf")
    kind = TGraphicKind::gkMetafile;
  else
    throw Exception("Error in TGraphicRegistry.RegisterGraphic: wrong file extension");
  UnregisterGraphic(name);
  const std::string stored = WithoutExePath(name);
  std::string path = stored == name ? name : FindPathIgnoringCase(Slashed(ExePath), stored);
  if (stored == name) {
    const size_t s = name.rfind('/');
    path = FindFileIgnoringCase(s == std::string::npos ? "" : name.substr(0, s + 1), name.substr(s + 1));
  }
  if (path.empty()) return;
  auto graphic = std::make_unique<TGraphic>();
  graphic->Kind = kind;
  try {
    if (kind == TGraphicKind::gkMetafile) throw Exception("no reader for metafiles");
    graphic->Picture.LoadFromFile(path);
    if (graphic->Picture.Empty()) throw Exception("empty picture");
  } catch (const std::exception& e) {
    // One damaged picture must not stop the program's start.
    ReportSkipped(path, e.what());
    return;
  }
  entries_.push_back(TEntry{stored, std::move(graphic)});
}

int TGraphicRegistry::IndexOfGraphic(const std::string& name) const {
  if (name.empty()) return -1;
  auto find = [this](const std::string& n) {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (SameText(entries_[i].Name, n)) return static_cast<int>(i);
    return -1;
  };
  const std::string wanted = Slashed(name);
  const int i = find(wanted);
  return i >= 0 ? i : find(WithoutExePath(wanted));
}

void TGraphicRegistry::DeleteGraphic(int index) {
  if (index < 0 || index >= Count()) throw Exception("Error in TGraphicRegistry.DeleteGraphic: index out of range!");
  entries_.erase(entries_.begin() + index);
}

void TGraphicRegistry::Clear() { entries_.clear(); }

void TGraphicRegistry::UnregisterGraphic(const std::string& name) {
  const int i = IndexOfGraphic(name);
  if (i >= 0) DeleteGraphic(i);
}

TGraphic* TGraphicRegistry::GetGraphic(const std::string& name) const {
  const int i = IndexOfGraphic(name);
  return i < 0 ? nullptr : entries_[static_cast<size_t>(i)].Graphic.get();
}

}  // namespace qv
