#include "base/common_dialog_texts.h"

#include <array>
#include <set>
#include <string_view>
#include <vector>

#include "base/res_string.h"
#include "platform/rtl/format_settings.h"

namespace qv {

namespace {

constexpr TDialogText kOpen[] = {
    {1, "&Open", true},
    {2, "Cancel", true},
    {1038, "&Help", true},
    {1040, "Open as &read-only", true},
    {1089, "Files of &type:", true},
    {1090, "File &name:", true},
    {1091, "Look &in:", true},
};
constexpr TDialogText kSave[] = {
    {1, "&Save", true},
    {2, "Cancel", true},
    {1038, "&Help", true},
    {1040, "Open as &read-only", true},
    {1089, "Save as &type:", true},
    {1090, "File &name:", true},
    {1091, "Save &in:", true},
};
constexpr TDialogText kOldStyle[] = {
    {1, "OK", true},
    {2, "Cancel", true},
    {1037, "Net&work...", true},
    {1038, "&Help", true},
    {1040, "&Read only", true},
    {1089, "List files of &type:", true},
    {1090, "File &name:", true},
    {1091, "Dri&ves:", true},
    {UnnamedLabel1, "&Folders:", true},
};
constexpr TDialogText kColor[] = {
    {0, "Color", false},
    {1, "OK", true},
    {2, "Cancel", true},
    {712, "&Add to Custom Colors", true},
    {719, "&Define Custom Colors >>", true},
    {723, "Hu&e:", true},
    {724, "&Ziv:", true},
    {725, "&Lum:", true},
    {726, "&Red:", true},
    {727, "&Green:", true},
    {728, "Bl&ue:", true},
    {730, "Color", true},
    {731, "|S&olid", true},
    {1038, "&Help", true},
    {UnnamedLabel1, "&Basic colors:", true},
    {UnnamedLabel2, "&Custom colors:", true},
};
constexpr TDialogText kFont[] = {
    {0, "Font", false},           {1, "OK", true},
    {2, "Cancel", true},          {1026, "&Apply", true},
    {1038, "&Help", true},        {1040, "Stri&keout", true},
    {1041, "&Underline", true},   {1072, "Effects", true},
    {1073, "Sample", true},       {1088, "&Font:", true},
    {1089, "Font st&yle:", true}, {1090, "&Size:", true},
    {1091, "&Color:", true},      {1094, "Sc&ript:", true},
};
constexpr TDialogText kPrint[] = {
    {0, "Print", false},
    {1, "OK", true},
    {2, "Cancel", true},
    {1025, "&Properties", true},
    {1040, "Print to fi&le", true},
    {1041, "C&ollate", true},
    {1056, "&All", true},
    {1057, "&Selection", true},
    {1058, "Pa&ges", true},
    {1072, "Print range", true},
    {1073, "Copies", true},
    {1075, "Printer", true},
    {1089, "&from:", true},
    {1090, "&to:", true},
    {1092, "Number of &copies:", true},
    {1093, "&Name:", true},
    {1094, "Type:", true},
    {1095, "Status:", true},
    {1096, "Comment:", true},
    {1097, "Where:", true},
};
constexpr TDialogText kPrinterSetup[] = {
    {0, "Print Setup", false},   {1, "OK", true},           {2, "Cancel", true},        {1025, "&Properties", true},
    {1037, "Net&work...", true}, {1056, "P&ortrait", true}, {1057, "L&andscape", true}, {1072, "Orientation", true},
    {1073, "Paper", true},       {1075, "Printer", true},   {1089, "Si&ze:", true},     {1090, "&Source:", true},
    {1093, "&Name:", true},      {1094, "Type:", true},     {1095, "Status:", true},    {1096, "Comment:", true},
    {1097, "Where:", true},
};
// The margins group (1075) takes its key from PageSetupMarginsKey.
constexpr TDialogText kPageSetup[] = {
    {0, "Page Setup", false},     {1, "OK", false},         {2, "Cancel", false},      {1026, "&Printer...", false},
    {1072, "Orientation", false}, {1073, "Paper", false},   {1056, "P&ortrait", true}, {1057, "L&andscape", true},
    {1089, "Si&ze:", true},       {1090, "&Source:", true}, {1102, "&Left:", true},    {1103, "&Right:", true},
    {1104, "&Top:", true},        {1105, "&Bottom:", true},
};
constexpr TDialogText kFind[] = {
    {0, "Find", false},
    {1, "&Find Next", true},
    {2, "Cancel", true},
    {1038, "&Help", true},
    {1040, "Match &whole word only", true},
    {1041, "Match &case", true},
    {1056, "&Up", true},
    {1057, "&Down", true},
    {1072, "Direction", true},
    {UnnamedLabel1, "Fi&nd what:", true},
};
constexpr TDialogText kReplace[] = {
    {0, "Replace", false},
    {1, "&Find Next", true},
    {2, "Cancel", true},
    {1024, "&Replace", true},
    {1025, "Replace &All", true},
    {1038, "&Help", true},
    {1040, "Match &whole word only", true},
    {1041, "Match &case", true},
    {UnnamedLabel1, "Fi&nd what:", true},
    {UnnamedLabel2, "Re&place with:", true},
};

constexpr const char* kColumns[] = {"Name", "Size", "Type", "Modified", "Attributes"};

struct TTooltip {
  int Id;
  const char* Key;
};
constexpr TTooltip kTooltips[] = {
    {40961, "Up One Level"},
    {40962, "Create New Folder"},
    {40963, "List"},
    {40964, "Details"},
    {40969, "View Desktop"},
    {40970, "View Menu"},
    {40971, "Go To Last Folder Visited"},
};

}  // namespace

std::span<const TDialogText> CommonDialogTexts(TCommonDialogKind kind) {
  switch (kind) {
    case TCommonDialogKind::cdOpen: return kOpen;
    case TCommonDialogKind::cdSave: return kSave;
    case TCommonDialogKind::cdOpenOldStyle: return kOldStyle;
    case TCommonDialogKind::cdColor: return kColor;
    case TCommonDialogKind::cdFont: return kFont;
    case TCommonDialogKind::cdPrint: return kPrint;
    case TCommonDialogKind::cdPrinterSetup: return kPrinterSetup;
    case TCommonDialogKind::cdPageSetup: return kPageSetup;
    case TCommonDialogKind::cdFind: return kFind;
    case TCommonDialogKind::cdReplace: return kReplace;
  }
  return {};
}

const char* CommonDialogTextKey(TCommonDialogKind kind, int id) {
  for (const TDialogText& t : CommonDialogTexts(kind))
    if (t.Id == id) return t.Key;
  return nullptr;
}

const char* PageSetupMarginsKey(TMarginUnit unit, bool us_english) {
  const bool inches = unit == TMarginUnit::muInches || (unit == TMarginUnit::muDefault && us_english);
  return inches ? "Margins (inches)" : "Margins (millimeters)";
}

const char* FileDialogTooltipKey(int button_id) {
  for (const TTooltip& t : kTooltips)
    if (t.Id == button_id) return t.Key;
  return nullptr;
}

std::span<const char* const> FileListColumnKeys() { return kColumns; }

void ApplyCommonDialogTexts(TCommonDialogKind kind, TMarginUnit unit, const TDialogTextSetter& set) {
  for (const TDialogText& t : CommonDialogTexts(kind)) set(t.Id, LoadResString(t.Key), t.Widen);
  if (kind == TCommonDialogKind::cdPageSetup)
    set(PageSetupMarginsId, LoadResString(PageSetupMarginsKey(unit, CurrentFormatSettings().UsEnglish)), false);
}

std::string DefaultFileDialogTitle(bool save) { return LoadResString(save ? SaveDialogTitleKey : OpenDialogTitleKey); }

std::span<const char* const> AllCommonDialogKeys() {
  static const std::vector<const char*> keys = [] {
    std::vector<const char*> all;
    std::set<std::string_view> seen;
    auto add = [&](const char* k) {
      if (seen.insert(k).second) all.push_back(k);
    };
    for (int k = 0; k <= static_cast<int>(TCommonDialogKind::cdReplace); ++k)
      for (const TDialogText& t : CommonDialogTexts(static_cast<TCommonDialogKind>(k))) add(t.Key);
    add(PageSetupMarginsKey(TMarginUnit::muInches, false));
    add(PageSetupMarginsKey(TMarginUnit::muMillimeters, false));
    for (const TTooltip& t : kTooltips) add(t.Key);
    for (const char* c : kColumns) add(c);
    add(OpenDialogTitleKey);
    add(SaveDialogTitleKey);
    return all;
  }();
  return keys;
}

}  // namespace qv
