#include "visual/bit_monitor.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/app_globals.h"
#include "base/ini_file2.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/forms.h"
#include "platform/gui/scroll_box.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/format.h"
#include "visual/graphic_registry.h"
#include "visual/visual_services.h"

namespace qv {

namespace {
// An icon without a picture, and the picture area without a picture.
constexpr int kEmptyIconSize = 30;
constexpr int kEmptyPictureWidth = 30, kEmptyPictureHeight = 20;
// The hint is cut at most this often at a CR; what follows the last cut is one more part.
constexpr int kMaxHintCuts = 101;
// Ids run from 1 to 99, so no more objects fit on one monitor.
constexpr int kMaxMovableObjects = 99;

int RoundInt(double v) { return static_cast<int>(std::nearbyint(v)); }

bool IsMovableClass(const TVisObjClass* cls) { return cls && cls->InheritsFrom(&MoveVisObjClass); }

// The file as it is spelled on disk: older installations wrote "\" and other letter cases.
std::string ExistingFile(const std::string& name) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(name, ec)) return name;
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (std::filesystem::is_regular_file(path, ec)) return path;
  if (path.empty() || path.front() != '/') return "";
  return FindPathIgnoringCase("/", path.substr(1));
}

std::string LowerExt(const std::string& file_name) {
  std::string ext = std::filesystem::path(file_name).extension().string();
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

// A stored hint part is one INI value: line breaks left inside it become blanks.
std::string OneLine(std::string piece) {
  if (!piece.empty() && piece.front() == '\n') piece.erase(0, 1);
  if (!piece.empty() && piece.back() == '\n') piece.pop_back();
  std::string out;
  for (size_t i = 0; i < piece.size(); ++i) {
    const char c = piece[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < piece.size() && piece[i + 1] == '\n') ++i;
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

void LogWarning(const std::string& text) {
  if (MsgHandler) MsgHandler->DoMessage(text, "", TMsgDlgType::mtWarning, mbOK, 0, mrOk, true, mkLogOnly);
}
}  // namespace

const TVisObjClass MoveVisObjClass{"TMoveVisObj", &VisObjClass, [] { return LoadResString("vob_TypeDescr"); }, nullptr};
const TVisObjClass IconVisObjClass{"TIconVisObj", &MoveVisObjClass, [] { return LoadResString("ivo_TypeDescr"); },
                                   nullptr};
const TVisObjClass DevIconVOClass{"TDevIconVO", &IconVisObjClass, [] { return LoadResString("dic_TypeDescr"); },
                                  [](TComponent* owner) -> TVisObj* { return CreateVisObj<TDevIconVO>(owner); }};
const TMonitorClass BitMonitorClass{
    "TBitMonitor", &MonitorManClass, [] { return LoadResString("bmo_TypeDescr"); },
    [](TComponent* owner) -> TMonitorMan* { return CreateMonitor<TBitMonitor>(owner); }};

// ---- TMoveVisObj ----

TMoveVisObj::TMoveVisObj(TComponent* owner) : TVisObj(owner) {
  SetShowHint(true);
  SetBounds(0, 0, 30, 30);
  SetBorderInner(TFrameStyleEx::fsFlat);
}

void TMoveVisObj::SetHintInfo(const std::string& text) {
  if (text == hint_info_) return;
  hint_info_ = text;
  UpdateHint();
}

void TMoveVisObj::UpdateHint() {
  const std::string title = GetvobTitle();
  if (hint_info_.empty())
    SetHint(title);
  else if (title.empty())
    SetHint(hint_info_);
  else
    SetHint(title + "\r\n" + hint_info_);
}

void TMoveVisObj::SetBounds(int left, int top, int width, int height) {
  TVisObj::SetBounds(left, top, width, height);
  abs_left_ = Left();
  abs_top_ = Top();
  if (auto* box = dynamic_cast<TScrollBox*>(Parent())) {
    abs_left_ += box->HorzPosition();
    abs_top_ += box->VertPosition();
  }
}

void TMoveVisObj::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TVisObj::StoreIniSection(ini, section);
  std::vector<std::string> parts;
  std::string rest = hint_info_;
  for (int cuts = 0; cuts < kMaxHintCuts; ++cuts) {
    const size_t cr = rest.find('\r');
    if (cr == std::string::npos) break;
    parts.push_back(rest.substr(0, cr));
    rest.erase(0, cr + 1);
  }
  parts.push_back(rest);
  for (size_t n = 0; n < parts.size(); ++n)
    ini->WriteString(section, "HintInfoPart" + std::to_string(n), "<" + OneLine(parts[n]) + ">");
  ini->WriteInteger(section, "HintIPartLineCnt", static_cast<int32_t>(parts.size()));
  ini->WriteInteger(section, "Left", abs_left_);
  ini->WriteInteger(section, "Top", abs_top_);
}

void TMoveVisObj::LoadIniSection(TIniFile2* ini, const std::string& section) {
  TVisObj::LoadIniSection(ini, section);
  // No more parts than a store writes; a damaged count must not drive the loop.
  const int count = std::min(ini->ReadInteger(section, "HintIPartLineCnt", 0), kMaxHintCuts + 1);
  if (count > 0) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      std::string part = ini->ReadString(section, "HintInfoPart" + std::to_string(i), "");
      if (!part.empty() && part.front() == '<') part.erase(0, 1);
      if (!part.empty() && part.back() == '>') part.pop_back();
      if (i > 0) text += "\r\n";
      text += part;
    }
    SetHintInfo(text);
  }
  int left = ini->ReadInteger(section, "Left", abs_left_);
  int top = ini->ReadInteger(section, "Top", abs_top_);
  if (auto* box = dynamic_cast<TScrollBox*>(Parent())) {
    left -= box->HorzPosition();
    top -= box->VertPosition();
  }
  SetBounds(left, top, Width(), Height());
}

// ---- TIconVisObj ----

TIconVisObj::TIconVisObj(TComponent* owner) : TMoveVisObj(owner) {
  icon_box_ = new TPaintBox(this);
  icon_box_->SetParent(this);
  icon_box_->SetAlign(TAlign::alClient);
  icon_box_->OnPaint = [this](TComponent*) { PaintIcon(); };
  // A press on the picture is the object's own press: it selects the object and may start a drag.
  icon_box_->OnMouseDown = [this](TComponent*, TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft && !Focused() && CanFocus()) SetFocus();
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
  };
  icon_box_->OnDblClick = [this](TComponent*) { IconDblClick(); };
}

void TIconVisObj::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("ivo_TitPrefix"); }
std::string TIconVisObj::GetTypeDescr() const { return LoadResString("ivo_TypeDescr"); }

void TIconVisObj::SetIconName(const std::string& name) {
  if (name == icon_name_ || !GraphicRegistry) return;
  const TGraphic* graphic = GraphicRegistry->GetGraphic(name);
  if (!graphic) return;
  icon_name_ = name;
  if (graphic->Picture.Empty())
    SetBounds(Left(), Top(), kEmptyIconSize, kEmptyIconSize);
  else
    SetBounds(Left(), Top(), graphic->Picture.Width(), graphic->Picture.Height());
  icon_box_->Invalidate();
}

void TIconVisObj::PaintIcon() {
  const TGraphic* graphic = GraphicRegistry && !icon_name_.empty() ? GraphicRegistry->GetGraphic(icon_name_) : nullptr;
  if (graphic && !graphic->Picture.Empty()) icon_box_->Canvas().Draw(0, 0, graphic->Picture);
}

void TIconVisObj::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TMoveVisObj::StoreIniSection(ini, section);
  ini->WriteString(section, "IconName", icon_name_);
}

void TIconVisObj::LoadIniSection(TIniFile2* ini, const std::string& section) {
  TMoveVisObj::LoadIniSection(ini, section);
  SetIconName(ini->ReadString(section, "IconName", icon_name_));
}

// ---- TDevIconVO ----

TDevIconVO::TDevIconVO(TComponent* owner) : TIconVisObj(owner) {
  DefaultVOOptions = voDelEnabled;
  SetVOOptions(voDelEnabled);
  DefaultCntrVisib = cvDelMenVisible;
  SetCntrVisib(cvDelMenVisible);
}

void TDevIconVO::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("dic_TitPrefix"); }
std::string TDevIconVO::GetTypeDescr() const { return LoadResString("dic_TypeDescr"); }

void TDevIconVO::DoSelDevice() {
  if (OnSelDevice) OnSelDevice(this);
}

void TDevIconVO::CreatePopupMenu() {
  TIconVisObj::CreatePopupMenu();
  men_sel_device_ = new TMenuItem(this);
  men_sel_device_->SetCaption(LoadResString("dic_EMenSelDevice"));
  men_sel_device_->OnClick = [this](TComponent*) { DoSelDevice(); };
  TMenuItem* items = Popup()->Items();
  const int at = ClassSeparator     ? items->IndexOf(ClassSeparator)
                 : PrintSeparator() ? items->IndexOf(PrintSeparator())
                                    : -1;
  if (at >= 0)
    items->Insert(at, men_sel_device_);
  else
    items->Add(men_sel_device_);
  UpdateMenus();
}

void TDevIconVO::DestroyPopupMenu() {
  delete men_sel_device_;
  men_sel_device_ = nullptr;
  TIconVisObj::DestroyPopupMenu();
}

void TDevIconVO::UpdateMenus() {
  if (men_sel_device_ && !BeingDestroyed()) men_sel_device_->SetCaption(LoadResString("dic_EMenSelDevice"));
  TIconVisObj::UpdateMenus();
}

bool TDevIconVO::HandleKey(uint16_t& key, TShiftState shift) {
  if (key == VK_RETURN) {
    DoSelDevice();
    return true;
  }
  return TIconVisObj::HandleKey(key, shift);
}

void TDevIconVO::DblClick() {
  TIconVisObj::DblClick();
  DoSelDevice();
}

// ---- TBitMonitor ----

TBitMonitor::TBitMonitor(TComponent* owner) : TMonitorMan(owner), bitmap_(std::make_unique<TBitmap>()) {
  // Picture pages are stored with the session and as custom monitors, as the other user pages.
  DefaultMonOptions = moDelEnabled | moAddVOEnabled | moEditTitleEnab | moStoreLoadEnab;
  SetMonOptions(DefaultMonOptions);
  CreateView();
}

TBitMonitor::~TBitMonitor() {
  StartDestroy();
  EndDrag();
  // The scroll box, with the picture, goes before the book removes the page it stands on.
  delete scroll_box_;
  scroll_box_ = nullptr;
  paint_box_ = nullptr;
}

void TBitMonitor::AfterConstruction() { TMonitorMan::AfterConstruction(); }

void TBitMonitor::CreateView() {
  scroll_box_ = new TScrollBox(this);
  scroll_box_->SetParent(Page());
  scroll_box_->SetAlign(TAlign::alClient);
  scroll_box_->SetBorderStyle(TBorderStyle::bsNone);
  scroll_box_->SetAutoScroll(true);
  scroll_box_->OnMouseMove = [this](TComponent* s, TShiftState shift, int x, int y) { DragMove(s, shift, x, y); };
  scroll_box_->OnMouseUp = [this](TComponent* s, TMouseButton b, TShiftState shift, int x, int y) {
    DragEnd(s, b, shift, x, y);
  };
  paint_box_ = new TPaintBox(scroll_box_);
  paint_box_->SetParent(scroll_box_);
  paint_box_->SetBounds(0, 0, kEmptyPictureWidth, kEmptyPictureHeight);
  paint_box_->OnPaint = [this](TComponent*) { PaintPicture(); };
}

void TBitMonitor::LoadTitlePrefix() { AutoTitlePrefix = LoadResString("bmo_TitPrefix"); }
std::string TBitMonitor::GetTypeDescr() const { return LoadResString("bmo_TypeDescr"); }

int TBitMonitor::IndexOfVisObj(const TVisObj* vo) const {
  if (!vo) return -1;
  auto it = std::find(mov_vo_list_.begin(), mov_vo_list_.end(), vo);
  return it == mov_vo_list_.end() ? -1 : static_cast<int>(it - mov_vo_list_.begin());
}

bool TBitMonitor::CanAcceptClass(const TVisObjClass* cls) const { return IsMovableClass(cls); }

int TBitMonitor::CountOfClass(const TVisObjClass* cls) const {
  return IsMovableClass(cls) ? static_cast<int>(mov_vo_list_.size()) : 0;
}

bool TBitMonitor::IsEmpty() const { return mov_vo_list_.empty() && bitmap_->Empty(); }

void TBitMonitor::InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) {
  if (vo) throw Exception("Error in TBitMonitor.InsertVisObj: Pointer VObject must be nil");
  if (index < 0 || !IsMovableClass(cls) || !cls->Create || !scroll_box_) return;
  // Taken first: with every id in use nothing is created.
  const int32_t id = GetNextId(LastVOId, &mov_vo_list_);
  const int h = scroll_box_->HorzPosition(), v = scroll_box_->VertPosition();
  scroll_box_->SetHorzPosition(0);
  scroll_box_->SetVertPosition(0);
  vo = cls->Create(ObjectOwner());
  if (Selector) Selector->RegisterVisObj(vo);
  vo->OnDelete = [this](TComponent* s) { VODelete(s); };
  vo->OnDestroy = [this](TComponent* s) { VODestroy(s); };
  vo->OnMouseDown = [this](TComponent* s, TMouseButton b, TShiftState shift, int x, int y) {
    ObjMouseDown(s, b, shift, x, y);
  };
  const size_t at = std::min(static_cast<size_t>(index), mov_vo_list_.size());
  mov_vo_list_.insert(mov_vo_list_.begin() + static_cast<std::ptrdiff_t>(at), vo);
  vo->SetParent(scroll_box_);
  vo->SetvobId(id);
  if (vo->CanFocus() && vo->TabStop()) vo->SetFocus();
  scroll_box_->SetHorzPosition(h);
  scroll_box_->SetVertPosition(v);
  UpdateMenus();
}

void TBitMonitor::DeleteVisObj(TVisObj* vo, bool confirm) {
  if (!vo) return;
  if (IndexOfVisObj(vo) < 0) throw Exception("Error in TBitMonitor.DeleteVisObj: Object not on Monitor");
  vo->Delete(confirm);
}

void TBitMonitor::VODestroy(TComponent* sender) {
  if (!sender) return;
  auto* vo = dynamic_cast<TVisObj*>(sender);
  if (!vo) throw Exception("Error in TBitMonitor.VODestroy: Sender not TVisObj");
  const int i = IndexOfVisObj(vo);
  if (i < 0) throw Exception("Error in TBitMonitor.VODestroy: Object not on Monitor");
  if (drag_control_ == vo) EndDrag();
  mov_vo_list_.erase(mov_vo_list_.begin() + i);
  UpdateMenus();
}

void TBitMonitor::Clear() {
  // Each deletion removes the object from the list through its OnDestroy.
  while (!mov_vo_list_.empty()) {
    TVisObj* vo = mov_vo_list_.back();
    vo->PendingRelease = false;
    DeleteVisObj(vo, false);
    if (!mov_vo_list_.empty() && mov_vo_list_.back() == vo) mov_vo_list_.pop_back();
  }
  SetBitmapFile("");
}

void TBitMonitor::UpdateLanguage() {
  if (Destroying()) return;
  TMonitorMan::UpdateLanguage();
  UpdateMenus();
  for (TVisObj* vo : mov_vo_list_) vo->UpdateLanguage();
}

void TBitMonitor::Deactivate() {
  if (Destroying()) return;
  for (TVisObj* vo : mov_vo_list_) vo->Deactivate();
  ReleaseMonButtons();
}

void TBitMonitor::Activate() {
  if (Destroying()) return;
  for (TVisObj* vo : mov_vo_list_) vo->Activate();
}

// ---- menus ----

void TBitMonitor::CreatePopupMenu() {
  TMonitorMan::CreatePopupMenu();
  men_add_dev_icon_ = AddPopupItem("bmo_EMMenAddDevIcon", [this](TComponent*) { AddDevIcon(); });
  men_edit_bit_fname_ = AddPopupItem("bmo_EMMenEditBitFName", [this](TComponent*) { EditBitmapFile(); });
  men_zoom_in_ = AddPopupItem("bmo_EMMenZoomIn", [this](TComponent*) { ZoomIn(); });
  men_zoom_out_ = AddPopupItem("bmo_EMMenZoomOut", [this](TComponent*) { ZoomOut(); });
  UpdateMenus();
}

void TBitMonitor::DestroyPopupMenu() {
  for (TMenuItem** item : {&men_add_dev_icon_, &men_edit_bit_fname_, &men_zoom_in_, &men_zoom_out_}) {
    delete *item;
    *item = nullptr;
  }
  TMonitorMan::DestroyPopupMenu();
}

void TBitMonitor::UpdateMenus() {
  if (Destroying()) return;
  TMonitorMan::UpdateMenus();
  if (!men_add_dev_icon_) return;
  const bool add = (MonOptions() & moAddVOEnabled) != 0;
  men_add_dev_icon_->SetCaption(LoadResString("bmo_EMMenAddDevIcon"));
  men_add_dev_icon_->SetVisible(add);
  men_add_dev_icon_->SetEnabled(CanAcceptClass(&MoveVisObjClass));
  men_edit_bit_fname_->SetCaption(LoadResString("bmo_EMMenEditBitFName"));
  men_edit_bit_fname_->SetVisible(add);
  men_zoom_in_->SetCaption(LoadResString("bmo_EMMenZoomIn"));
  men_zoom_in_->SetEnabled(CanZoomIn());
  men_zoom_out_->SetCaption(LoadResString("bmo_EMMenZoomOut"));
  men_zoom_out_->SetEnabled(CanZoomOut());
  if (EMenMonitor) {
    TMenuItem* items = Popup()->Items();
    bool any = false;
    for (int i = 0; i < items->Count(); ++i) any = any || items->Items(i)->Visible();
    EMenMonitor->SetVisible(any);
    EMenMonitor->SetCaption(CustomTitle.empty() ? GetTitle() : TypeDescr + " " + GetTitle());
    CopyMenuItems(EMenMonitor, items, 0, items->Count() - 1);
  }
}

void TBitMonitor::AddDevIcon() {
  if (!CanAcceptClass(&DevIconVOClass)) return;
  TVisObj* vo = nullptr;
  InsertVisObj(100, &DevIconVOClass, vo);
}

// ---- the picture ----

void TBitMonitor::EditBitmapFile() {
  TOpenPictureDialog* dialog = PictureDialogProc ? PictureDialogProc() : nullptr;
  if (!dialog) return;
  const std::string former_filter = dialog->Filter;
  struct RestoreFilter {
    TOpenPictureDialog* dialog;
    std::string filter;
    ~RestoreFilter() { dialog->Filter = filter; }
  } restore{dialog, former_filter};
  dialog->Filter = LoadResString("bmo_BitFiles") + " (*.bmp)|*.bmp";
  dialog->DefaultExt = "bmp";
  dialog->Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  dialog->Title = LoadResString("bmo_BitFileOpenTitle");
  if (!bitmap_file_.empty()) {
    dialog->FileName = bitmap_file_;
    dialog->InitialDir = std::filesystem::path(bitmap_file_).parent_path().string();
  } else {
    dialog->FileName = ExePath + "images/MapTest1.bmp";
    dialog->InitialDir = ExePath + "images";
  }
  if (!dialog->Execute()) return;
  // Letter case does not make another extension: "PLAN.BMP" is a bitmap too.
  if (LowerExt(dialog->FileName) != dialog->DefaultExt) {
    MessageDlg(LoadResString("bmo_ErrBmpOnly"), TMsgDlgType::mtError, mbOK);
    return;
  }
  std::string error;
  if (!LoadPicture(dialog->FileName, error) && !error.empty()) MessageDlg(error, TMsgDlgType::mtError, mbOK);
}

void TBitMonitor::SetBitmapFile(const std::string& file_name) {
  std::string error;
  if (!LoadPicture(file_name, error) && !error.empty()) LogWarning(error);
}

bool TBitMonitor::LoadPicture(const std::string& file_name, std::string& error) {
  error.clear();
  if (Destroying() || !paint_box_ || file_name == bitmap_file_) return false;
  const std::string path = file_name.empty() ? "" : ExistingFile(file_name);
  // A stored picture that was removed is ignored: the former one stays.
  if (!file_name.empty() && path.empty()) return false;
  // The new picture is read completely before anything changes, so a damaged file leaves the
  // former picture and zoom as they were.
  auto fresh = std::make_unique<TBitmap>();
  if (!path.empty()) {
    try {
      fresh->LoadFromFile(path);
    } catch (const std::exception& e) {
      error = Format(LoadResString("bmo_ErrBmpRead"), file_name, std::string(e.what()));
      return false;
    }
  }
  const int h = scroll_box_->HorzPosition(), v = scroll_box_->VertPosition();
  scroll_box_->SetHorzPosition(0);
  scroll_box_->SetVertPosition(0);
  bitmap_file_ = file_name;
  bitmap_ = std::move(fresh);
  // The new picture is shown at its own size: the objects go back to their unzoomed places.
  const double g = 1.0 / std::sqrt(zoom_factor_);
  zoom_factor_ = 1.0;
  if (g != 1.0)
    for (TVisObj* vo : mov_vo_list_)
      vo->SetBounds(RoundInt(vo->Left() * g), RoundInt(vo->Top() * g), vo->Width(), vo->Height());
  if (bitmap_->Empty())
    paint_box_->SetBounds(0, 0, kEmptyPictureWidth, kEmptyPictureHeight);
  else
    paint_box_->SetBounds(0, 0, bitmap_->Width(), bitmap_->Height());
  scroll_box_->SetHorzPosition(h);
  scroll_box_->SetVertPosition(v);
  paint_box_->Invalidate();
  UpdateMenus();
  return true;
}

void TBitMonitor::PaintPicture() {
  if (!paint_box_ || bitmap_->Empty()) return;
  if (zoom_factor_ != 1.0)
    paint_box_->Canvas().StretchDraw(paint_box_->ClientRect(), *bitmap_);
  else
    paint_box_->Canvas().Draw(0, 0, *bitmap_);
}

void TBitMonitor::ScaleView(double new_factor, const std::function<int(double)>& scale, int width, int height) {
  const int v = scroll_box_->VertPosition(), h = scroll_box_->HorzPosition();
  const int box_h = scroll_box_->ClientHeight(), box_w = scroll_box_->ClientWidth();
  scroll_box_->SetHorzPosition(0);
  scroll_box_->SetVertPosition(0);
  zoom_factor_ = new_factor;
  paint_box_->SetBounds(0, 0, width, height);
  for (TVisObj* vo : mov_vo_list_) vo->SetBounds(scale(vo->Left()), scale(vo->Top()), vo->Width(), vo->Height());
  // The view keeps its centre.
  scroll_box_->SetVertPosition(std::max(0, scale(v + box_h / 2) - box_h / 2));
  scroll_box_->SetHorzPosition(std::max(0, scale(h + box_w / 2) - box_w / 2));
  paint_box_->Invalidate();
  UpdateMenus();
}

void TBitMonitor::SetZoom(double factor) {
  if (Destroying() || factor == zoom_factor_ || factor <= 0 || bitmap_->Empty()) return;
  const double s = std::sqrt(factor);
  const double w = bitmap_->Width() * s, h = bitmap_->Height() * s;
  if (w > kMaxShown || h > kMaxShown || w < kMinShown || h < kMinShown) return;
  const double g = s / std::sqrt(zoom_factor_);
  ScaleView(
      factor, [g](double x) { return RoundInt(x * g); }, RoundInt(w), RoundInt(h));
}

bool TBitMonitor::CanZoomIn() const {
  return paint_box_ && !bitmap_->Empty() && RoundInt(paint_box_->Width() * kZoomStep) <= kMaxShown &&
         RoundInt(paint_box_->Height() * kZoomStep) <= kMaxShown;
}

// Measured on the shown picture, as zooming in is: the picture as stored may be far larger.
bool TBitMonitor::CanZoomOut() const {
  return paint_box_ && !bitmap_->Empty() && RoundInt(paint_box_->Width() / kZoomStep) >= kMinShown &&
         RoundInt(paint_box_->Height() / kZoomStep) >= kMinShown;
}

void TBitMonitor::ZoomIn() {
  if (Destroying() || !CanZoomIn()) return;
  auto scale = [](double x) { return RoundInt(x * kZoomStep); };
  ScaleView(zoom_factor_ * 2, scale, scale(paint_box_->Width()), scale(paint_box_->Height()));
}

void TBitMonitor::ZoomOut() {
  if (Destroying() || !CanZoomOut()) return;
  auto scale = [](double x) { return RoundInt(x / kZoomStep); };
  ScaleView(zoom_factor_ / 2, scale, scale(paint_box_->Width()), scale(paint_box_->Height()));
}

// ---- dragging ----

void TBitMonitor::ObjMouseDown(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y) {
  constexpr TShiftState kHeld = ssShift | ssAlt | ssCtrl | ssLeft | ssRight | ssMiddle;
  auto* control = dynamic_cast<TWinControl*>(sender);
  if (button == TMouseButton::mbLeft && (shift & kHeld) == (ssShift | ssLeft) && control) StartDrag(x, y, control);
}

void TBitMonitor::StartDrag(int x, int y, TControl* control) {
  if (!scroll_box_ || !control) return;
  dragging_ = true;
  drag_control_ = control;
  grab_x_ = x;
  grab_y_ = y;
  if (Screen) Screen->SetCursor(crDrag);
  scroll_box_->SetMouseCapture(true);
}

void TBitMonitor::DragMove(TComponent*, TShiftState, int x, int y) {
  if (Destroying()) {
    EndDrag();
    return;
  }
  if (!dragging_ || !drag_control_) return;
  // The grab point stays inside the visible part of the box, as if the pointer were confined
  // to it.
  const TRect client = scroll_box_->ClientRect();
  x = std::clamp(x, client.Left, std::max(client.Left, client.Right - 1));
  y = std::clamp(y, client.Top, std::max(client.Top, client.Bottom - 1));
  drag_control_->SetBounds(x - grab_x_, y - grab_y_, drag_control_->Width(), drag_control_->Height());
}

void TBitMonitor::DragEnd(TComponent*, TMouseButton button, TShiftState, int, int) {
  if (dragging_ && button == TMouseButton::mbLeft) EndDrag();
}

void TBitMonitor::EndDrag() {
  const bool was = dragging_;
  dragging_ = false;
  drag_control_ = nullptr;
  grab_x_ = grab_y_ = -1;
  if (!was) return;
  if (Screen) Screen->SetCursor(crDefault);
  if (scroll_box_ && scroll_box_->MouseCapture()) scroll_box_->SetMouseCapture(false);
}

// ---- stored keys ----

const TVisObjClass* TBitMonitor::FindMovableClass(const std::string& name) const {
  const TVisObjClass* cls = nullptr;
  if (VOClassRegistry && VOClassRegistry->FindClass(name, cls) && IsMovableClass(cls)) return cls;
  return name == DevIconVOClass.Name ? &DevIconVOClass : nullptr;
}

void TBitMonitor::StoreIniSection(TIniFile2* ini, const std::string& section) {
  TMonitorMan::StoreIniSection(ini, section);
  ini->WriteString(section, "BitMapFile", bitmap_file_);
  ini->WriteFloat2(section, "ZoomFactor", zoom_factor_, 7, 0);
  ini->WriteInteger(section, "MovVOCount", static_cast<int32_t>(mov_vo_list_.size()));
  for (size_t i = 0; i < mov_vo_list_.size(); ++i)
    mov_vo_list_[i]->StoreIniSection(ini, section + "/MovVO" + std::to_string(i));
}

void TBitMonitor::LoadIniSection(TIniFile2* ini, const std::string& section) {
  TMonitorMan::LoadIniSection(ini, section);
  SetBitmapFile(ini->ReadString(section, "BitMapFile", bitmap_file_));
  try {
    SetZoom(ini->ReadFloat2(section, "ZoomFactor", zoom_factor_));
  } catch (const std::exception& e) {
    LoadIncomplete = true;
    LogWarning("[" + section + "] ZoomFactor: " + e.what());
  }
  // The objects come after the zoom: their stored places are those on the zoomed picture.
  const int count = std::min(ini->ReadInteger(section, "MovVOCount", 0), kMaxMovableObjects);
  TVisObj* to_select = nullptr;
  for (int i = 0; i < count; ++i) {
    const std::string vo_section = section + "/MovVO" + std::to_string(i);
    if (!ini->SectionExists(vo_section)) continue;
    const TVisObjClass* cls = FindMovableClass(ini->ReadString(vo_section, "ClassName", ""));
    TVisObj* vo = nullptr;
    if (cls) InsertVisObj(100, cls, vo);
    if (!vo) {
      LoadIncomplete = true;
      continue;
    }
    try {
      vo->LoadIniSection(ini, vo_section);
    } catch (const std::exception& e) {
      // One damaged object does not cost the page its others.
      LogWarning("Stored object [" + vo_section + "] could not be restored: " + e.what());
      LoadIncomplete = true;
      vo->PendingRelease = false;
      DeleteVisObj(vo, false);
      continue;
    }
    if (ini->ReadBool(vo_section, "Selected", false)) to_select = vo;
  }
  if (to_select) to_select->DoStartSelect();
}

}  // namespace qv
