#pragma once
// The program's named pictures: bitmaps and icons loaded once from files beside the program and
// looked up by their file name relative to the program folder.
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"

namespace qv {

enum class TGraphicKind { gkBitmap, gkIcon, gkMetafile };

// One registered picture. Icons are decoded into a bitmap; metafiles have no reader here.
struct TGraphic {
  TGraphicKind Kind = TGraphicKind::gkBitmap;
  TBitmap Picture;
};

class TGraphicRegistry {
public:
  // Registers the defaults below the program folder (ExePath).
  TGraphicRegistry();
  virtual ~TGraphicRegistry();
  TGraphicRegistry(const TGraphicRegistry&) = delete;
  TGraphicRegistry& operator=(const TGraphicRegistry&) = delete;

  virtual void RegisterDefaults();
  // The extension, cut to 4 characters, must be ".bmp", ".ico" or ".wmf" exactly. A missing file
  // is skipped silently; a file that cannot be decoded is skipped and reported in the log.
  void RegisterGraphic(const std::string& file_name);
  // Ignoring case and accepting "\" for "/"; tried again without the program folder's text.
  int IndexOfGraphic(const std::string& name) const;
  void DeleteGraphic(int index);
  void Clear();
  void UnregisterGraphic(const std::string& name);
  // Null when absent; the registry keeps ownership.
  TGraphic* GetGraphic(const std::string& name) const;
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Names(int index) const { return entries_.at(static_cast<size_t>(index)).Name; }

private:
  struct TEntry {
    std::string Name;
    std::unique_ptr<TGraphic> Graphic;
  };
  std::vector<TEntry> entries_;
};

extern TGraphicRegistry* GraphicRegistry;

}  // namespace qv
