#include "shell/qv_main_fm.h"

#include "base/archive_hooks.h"
#include "base/res_string.h"
#include "controls/sty_panel.h"
#include "controls/sty_toolbar.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_ctrls.h"
#include "shell/appl_module.h"
#include "shell/std_dialog_form.h"
#include "visual/print_layout.h"

namespace qv {

TQVMainFm* QVMainFm = nullptr;
std::function<void()> TQVMainFm::ShowArchiveWindow;
std::function<bool()> TQVMainFm::CloseArchiveWindow;
std::function<void()> TQVMainFm::RelogonOnResize;
std::function<void()> TQVMainFm::ArchiveLanguageChanged;

namespace {

enum TGlyph {
  gBigLeft,
  gSmallLeft,
  gZoomIn,
  gZoomOut,
  gSmallRight,
  gBigRight,
  gLast,
  gEditDt,
  gTable,
  gDiagram,
  gDelete,
  gPrint,
  gReadMem,
  gRecord,
  gAutoScroll,
  gExport,
  gLanguage,
  gArchive
};

void Triangle(TCanvas& c, int x, bool right) {
  if (right)
    c.Polygon({{x, 3}, {x + 5, 8}, {x, 13}});
  else
    c.Polygon({{x + 5, 3}, {x, 8}, {x + 5, 13}});
}

// The toolbar's pictures, drawn on a background that the button leaves transparent.
void DrawGlyph(TBitmap& g, int kind) {
  g.SetSize(16, 16);
  TCanvas& c = g.Canvas();
  c.Brush().Color = clFuchsia;
  c.Pen().Color = clFuchsia;
  c.FillRect(Rect(0, 0, 16, 16));
  c.Pen().Color = clBlack;
  c.Brush().Color = clNavy;
  switch (kind) {
    case gBigLeft: Triangle(c, 2, false), Triangle(c, 8, false); break;
    case gSmallLeft: Triangle(c, 5, false); break;
    case gSmallRight: Triangle(c, 5, true); break;
    case gBigRight: Triangle(c, 2, true), Triangle(c, 8, true); break;
    case gLast:
      Triangle(c, 4, true);
      c.FillRect(Rect(11, 3, 13, 14));
      break;
    case gZoomIn:
    case gZoomOut:
      c.Brush().Color = clWhite;
      c.Ellipse(Rect(1, 1, 11, 11));
      c.MoveTo(3, 6), c.LineTo(10, 6);
      if (kind == gZoomIn) c.MoveTo(6, 3), c.LineTo(6, 10);
      c.Pen().Width = 2;
      c.MoveTo(10, 10), c.LineTo(14, 14);
      c.Pen().Width = 1;
      break;
    case gEditDt:
      c.Brush().Color = clWhite;
      c.Rectangle(Rect(1, 2, 15, 15));
      c.Brush().Color = clMaroon;
      c.FillRect(Rect(2, 3, 14, 6));
      for (int y = 8; y < 14; y += 3)
        for (int x = 3; x < 13; x += 3) c.FillRect(Rect(x, y, x + 2, y + 2));
      break;
    case gTable:
      c.Brush().Color = clWhite;
      c.Rectangle(Rect(1, 2, 15, 14));
      for (int y = 5; y < 14; y += 3) c.MoveTo(1, y), c.LineTo(15, y);
      c.MoveTo(6, 2), c.LineTo(6, 14);
      break;
    case gDiagram:
      c.MoveTo(2, 1), c.LineTo(2, 14), c.LineTo(15, 14);
      c.Pen().Color = clRed;
      c.Polyline({{3, 11}, {6, 6}, {9, 9}, {14, 3}});
      break;
    case gDelete:
      c.Pen().Color = clRed;
      c.Pen().Width = 2;
      c.MoveTo(3, 3), c.LineTo(13, 13);
      c.MoveTo(13, 3), c.LineTo(3, 13);
      c.Pen().Width = 1;
      break;
    case gPrint:
      c.Brush().Color = clWhite;
      c.Rectangle(Rect(4, 1, 12, 7));
      c.Brush().Color = clGray;
      c.Rectangle(Rect(1, 6, 15, 12));
      c.Brush().Color = clWhite;
      c.Rectangle(Rect(4, 10, 12, 15));
      break;
    case gReadMem:
      c.Brush().Color = clBlack;
      c.Rectangle(Rect(3, 1, 13, 8));
      for (int x = 4; x < 13; x += 2) c.MoveTo(x, 0), c.LineTo(x, 1);
      c.Brush().Color = clGreen;
      c.Pen().Color = clGreen;
      c.Polygon({{5, 9}, {11, 9}, {8, 15}});
      break;
    case gRecord:
      c.Brush().Color = clRed;
      c.Ellipse(Rect(2, 2, 14, 14));
      break;
    case gAutoScroll:
      for (int y = 4; y < 14; y += 4) c.MoveTo(1, y), c.LineTo(8, y);
      Triangle(c, 9, true);
      break;
    case gExport:
      c.Brush().Color = clWhite;
      c.Rectangle(Rect(1, 1, 10, 15));
      c.Brush().Color = clGreen;
      c.Pen().Color = clGreen;
      c.Polygon({{8, 6}, {12, 6}, {12, 3}, {15, 8}, {12, 13}, {12, 10}, {8, 10}});
      break;
    case gLanguage:
      c.Brush().Color = clAqua;
      c.Ellipse(Rect(1, 1, 15, 15));
      c.MoveTo(1, 8), c.LineTo(15, 8);
      c.Brush().Style = TBrushStyle::bsClear;
      c.Ellipse(Rect(5, 1, 11, 15));
      c.Brush().Style = TBrushStyle::bsSolid;
      break;
    case gArchive:
      c.Brush().Color = clYellow;
      c.Polygon({{1, 4}, {6, 4}, {7, 6}, {14, 6}, {14, 14}, {1, 14}});
      break;
    default: break;
  }
}

}  // namespace

TQVMainFm::TQVMainFm(TComponent* owner) : TQvBaseForm(owner) {
  SetName("QVMainFm");
  SetText("Quarvel2");
  SetColor(clAppWorkSpace);
  Font().SetName("DejaVu Sans");
  Font().SetSize(8);
  Font().SetStyle(static_cast<TFontStyles>(TFontStyle::fsBold));
  SetBounds(0, 0, 800, 560);
  BuildMenu();
  BuildToolBar();
  OnShow = [this](TComponent*) {
    NoteUserActivity();
    mehFormShow();
    if (FirstShow) {
      SetWindowState(TWindowState::wsMaximized);
      FirstShow = false;
    }
  };
  OnResize = [](TComponent*) {
    if (RelogonOnResize) RelogonOnResize();
  };
  if (!QVMainFm) QVMainFm = this;
}

TQVMainFm::~TQVMainFm() {
  if (QVMainFm == this) QVMainFm = nullptr;
}

void TQVMainFm::CreateApplModule() {
  qv::CreateApplModule<TTv10AppModul>(nullptr);
  owns_module_ = true;
}

bool TQVMainFm::mehFormCloseQuery() {
  if (!TQvBaseForm::mehFormCloseQuery()) return false;
  Closing = true;
  // The archive window ends the program; it may still refuse (and then clears the mark).
  if (CloseArchiveWindow && !CloseArchiveWindow()) {
    Closing = false;
    return false;
  }
  return true;
}

void TQVMainFm::LanguageChanged() {
  if (ArchiveLanguageChanged) ArchiveLanguageChanged();
}

bool TQVMainFm::EndsProgram() const { return Closing || TQvBaseForm::EndsProgram(); }

TMenuItem* TQVMainFm::AddItem(TMenuItem* parent, const std::string& name, const std::string& key,
                              std::function<void()> click) {
  auto* item = new TMenuItem(this);
  item->SetName(name);
  Keys().Text(
      item, "Caption", [item](const std::string& text) { item->SetCaption(text); }, key);
  if (click)
    item->OnClick = [click](TComponent*) {
      NoteUserActivity();
      click();
    };
  parent->Add(item);
  return item;
}

void TQVMainFm::AddSeparator(TMenuItem* parent) {
  auto* item = new TMenuItem(this);
  item->SetCaption("-");
  parent->Add(item);
}

TSpeedButton* TQVMainFm::AddButton(const std::string& name, const std::string& hint_key, int glyph,
                                   std::function<void()> click) {
  auto* button = new TSpeedButton(this);
  button->SetName(name);
  button->SetBounds(0, 0, 25, 25);
  button->SetFlat(true);
  DrawGlyph(button->Glyph(), glyph);
  if (!hint_key.empty()) {
    Keys().Hint(button, hint_key);
    button->SetShowHint(true);
  }
  if (click)
    button->OnClick = [click](TComponent*) {
      NoteUserActivity();
      click();
    };
  button->SetParent(ToolBar);
  return button;
}

void TQVMainFm::AddToolSeparator() {
  auto* s = new TStySpacer(this);
  s->SetGrooved(true);
  s->SetParent(ToolBar);
}

void TQVMainFm::BuildMenu() {
  MainMenu = new TMainMenu(this);
  MainMenu->SetName("MainMenu");
  TMenuItem* root = MainMenu->Items();

  TMenuItem* file = AddItem(root, "MMenFile", "m_MMenFile");
  AddItem(file, "FMenSelDev", "m_FMenSelDev");
  AddSeparator(file);
  TMenuItem* print = AddItem(file, "FMenPrint", "m_FMenPrint");
  AddItem(print, "FPMenScreenshot", "m_FPMenScreenshot", [this] { PrintScreenshot(); });
  AddItem(print, "FPMenPrintVo", "m_FPMenPrintVo");
  AddItem(file, "FMenPrintSetup", "m_FMenPrintSetup", [] {
    if (StdDialogForm) StdDialogForm->PrinterSetupDialog->Execute();
  });
  AddItem(file, "FMenPageSetup", "m_FMenPageSetup", [] {
    NoteUserActivity();
    if (PrintLayout) PrintLayout->EditLayout();
  });
  AddSeparator(file);
  AddItem(file, "FMenExit", "m_FMenExit", [this] { mehFMenExitClick(); });

  TMenuItem* edit = AddItem(root, "MMenEdit", "m_MMenEdit");
  AddItem(edit, "EMenBStepLeft", "m_EMenBStepLeft");
  AddItem(edit, "EMenSStepLeft", "m_EMenSStepLeft");
  AddItem(edit, "EMenZoom", "m_EMenZoom");
  AddItem(edit, "EMenUnZoom", "m_EMenUnZoom");
  AddItem(edit, "EMenSStepRight", "m_EMenSStepRight");
  AddItem(edit, "EMenBStepRight", "m_EMenBStepRight");
  AddItem(edit, "EMenLast", "m_EMenLast");
  AddItem(edit, "EMenEditDt", "m_EMenEditDt");
  AddSeparator(edit);
  AddItem(edit, "EMenVO", "m_MenVO");
  AddItem(edit, "EMenAddMonitor", "m_EMenAddMonitor", [this] { mehEMenAddMonitorClick(); });
  AddItem(edit, "EMenLoadMon", "m_EMenLoadMon", [this] { mehEMenLoadMonClick(); });
  AddItem(edit, "EMenMonitor", "m_MenMonitor");

  TMenuItem* view = AddItem(root, "MMenView", "m_MMenView");
  AddItem(view, "VMenMonitor", "m_MenMonitor");
  AddItem(view, "VMenVO", "m_MenVO");

  TMenuItem* instrument = AddItem(root, "MMenInstrument", "m_MMenInstrument");
  AddItem(instrument, "IMenDevType", "m_IMenDevType");
  AddItem(instrument, "IMenComm", "m_IMenComm");
  AddSeparator(instrument);
  AddItem(instrument, "IMenExplorer", "m_IMenExplorer", [this] { mehOMenExplorerClick(); });
  AddItem(instrument, "IMenDelDevice", "m_IMenDelDevice", [this] { mehIMenDelDeviceClick(); });
  AddSeparator(instrument);
  AddItem(instrument, "IMenReadCfg", "m_IMenReadCfg");
  AddItem(instrument, "IMenReadMem", "m_IMenReadMem");
  AddItem(instrument, "IMenClearMem", "m_IMenClearMem");
  AddItem(instrument, "IMenSyncClock", "m_IMenSyncClock");
  AddSeparator(instrument);
  TMenuItem* recorder = AddItem(instrument, "IMenRecorder", "m_IMenRecorder");
  AddItem(recorder, "IRMenStartStop", "m_IRMenStartStop")->SetEnabled(false);
  AddItem(recorder, "IRMenSettings", "m_IRMenSettings")->SetEnabled(false);
  AddItem(recorder, "IRMenAutoScroll", "rcd_AutoScroll");

  TMenuItem* options = AddItem(root, "MMenOptions", "m_MMenOptions");
  AddItem(options, "OMenAutoMon", "m_OMenAutoMon", [this] { mehOMenAutoMonClick(); });
  AddItem(options, "OMenProtocol", "m_OMenProtocol", [this] { mehOMenProtocolClick(); });
  AddItem(options, "OMenExport", "m_OMenExport");
  AddSeparator(options);
  AddItem(options, "OMenLanguage", "m_OMenLanguage", [this] { SelectLanguage(); });

  TMenuItem* help = AddItem(root, "MMenHelp", "m_MMenHelp");
  AddItem(help, "HMenSuppl", "m_HMenSuppl", [this] { mehHMenSupplClick(); });
  AddItem(help, "HMenContents", "m_HMenContents", [this] { mehHMenContentsClick(); });
  AddItem(help, "HMenUsingHelp", "m_HMenUsingHelp", [this] { mehHMenUsingHelpClick(); });
  AddItem(help, "HMenInfo", "m_HMenInfo", [this] { mehHMenInfoClick(); });
  SetMenu(MainMenu);
}

void TQVMainFm::BuildToolBar() {
  ToolBar = new TStyToolbar(this);
  ToolBar->SetName("ToolBar");
  ToolBar->SetAlign(TAlign::alTop);
  ToolBar->SetParent(this);
  ToolBar->SetMargin(5);
  ToolBar->SetBorderInner(TFrameStyleEx::fsPopup);
  ToolBar->SetBorderSides(sdAllSides);

  AddButton("BStepLeftBtn", "b_hint_BigIntBack", gBigLeft);
  AddButton("SStepLeftBtn", "b_hint_SmallIntBack", gSmallLeft);
  AddButton("ZoomButton", "b_hint_ZoomIn", gZoomIn);
  AddButton("UnzoomButton", "b_hint_ZoomOut", gZoomOut);
  AddButton("SStepRightBtn", "b_hint_SmallIntForward", gSmallRight);
  AddButton("BStepRightBtn", "b_hint_BigIntForward", gBigRight);
  AddButton("LastButton", "b_hint_Last", gLast);
  AddButton("EditDtBtn", "b_hint_EditDt", gEditDt);
  AddToolSeparator();
  AddButton("MonButton2", "b_hint_AddTable", gTable, [this] { mehMonButton2Click(); })->SetVisible(false);
  AddButton("MonButton1", "b_hint_AddDiagr", gDiagram, [this] { mehMonButton1Click(); })->SetVisible(false);
  TSpeedButton* del = AddButton("DelVObjButton", "b_hint_DelVObj", gDelete, [this] { mehDelVObjBtnMenClick(); });
  del->SetVisible(false);
  del->SetEnabled(false);
  AddButton("PrintVoBtn", "b_hint_PrintVO", gPrint);
  AddToolSeparator();
  AddButton("ReadMemButton", "deh_ReadMemory", gReadMem, [this] { mehOnReadMemClick(); });
  AddButton("RecorderBtn", "", gRecord);
  AddButton("AutoScrollBtn", "rcd_AutoScroll", gAutoScroll);
  AddToolSeparator();
  AddButton("ExportBtn", "b_hint_Export", gExport);
  AddButton("LanguageButton", "b_hint_Language", gLanguage, [this] { SelectLanguage(); });
  AddToolSeparator();
  DeviceComboB = new TComboBox(this);
  DeviceComboB->SetName("DeviceComboB");
  DeviceComboB->SetStyle(TComboBoxStyle::csDropDownList);
  DeviceComboB->SetBounds(0, 0, 200, 21);
  Keys().Hint(DeviceComboB, "dbs_SelCurrDev");
  DeviceComboB->SetShowHint(true);
  DeviceComboB->SetParent(ToolBar);
  AddToolSeparator();
  TSpeedButton* archive = AddButton("ArchiveButton", "b_Dossaly", gArchive, [this] {
    if (!ShowArchiveWindow) return;
    Hide();
    ShowArchiveWindow();
  });
  archive->SetEnabled(static_cast<bool>(ShowArchiveWindow));
}

TMenuItem* TQVMainFm::Item(const std::string& name) const {
  return MainMenu ? MainMenu->FindItemByName(name) : nullptr;
}

TSpeedButton* TQVMainFm::Button(const std::string& name) const {
  for (int i = 0; i < ComponentCount(); ++i)
    if (Components(i)->Name() == name)
      if (auto* b = dynamic_cast<TSpeedButton*>(Components(i))) return b;
  return nullptr;
}

TQVMainFm* CreateQVMainFm(TComponent* owner) {
  auto* form = new TQVMainFm(owner);
  form->Initialize();
  return form;
}

}  // namespace qv
