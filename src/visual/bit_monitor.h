#pragma once
// The picture monitor: a background picture (a plan of a building, a site map) in a scrollable
// area, zoomed in steps of two in area, with small movable objects on it — device icons that
// the user places and drags with Shift and the left mouse button. The movable objects keep their
// place on the whole picture and show their title and extra lines as their hint.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/ext_ctrls.h"
#include "visual/monitor_man.h"
#include "visual/vis_obj.h"

namespace qv {

class TBitmap;
class TScrollBox;

// A visual object without title bar that keeps its position on the whole picture.
class TMoveVisObj : public TVisObj {
public:
  explicit TMoveVisObj(TComponent* owner);
  std::string ClassName() const override { return "TMoveVisObj"; }

  // Extra hint lines, separated by CR LF.
  const std::string& HintInfo() const { return hint_info_; }
  void SetHintInfo(const std::string& text);
  virtual void UpdateHint();
  void UpdateTitle() override { UpdateHint(); }
  // The position on the whole picture: Left and Top plus the scroll positions of a scroll-box
  // parent.
  int AbsLeft() const { return abs_left_; }
  int AbsTop() const { return abs_top_; }
  void SetBounds(int left, int top, int width, int height) override;

  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadIniSection(TIniFile2* ini, const std::string& section) override;

private:
  std::string hint_info_;
  int abs_left_ = 0, abs_top_ = 0;
};

// A movable object that shows a picture of the graphic registry.
class TIconVisObj : public TMoveVisObj {
public:
  explicit TIconVisObj(TComponent* owner);
  std::string ClassName() const override { return "TIconVisObj"; }
  void LoadTitlePrefix() override;
  std::string GetTypeDescr() const override;

  const std::string& IconName() const { return icon_name_; }
  // Taken only when the graphic registry has a picture of that name; the object then takes the
  // picture's size (30 by 30 for an empty one), its position kept.
  void SetIconName(const std::string& name);
  TPaintBox* IconBox() const { return icon_box_; }

  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadIniSection(TIniFile2* ini, const std::string& section) override;

protected:
  virtual void IconDblClick() {}

private:
  void PaintIcon();
  std::string icon_name_;
  TPaintBox* icon_box_ = nullptr;
};

// A device icon with a select-device command.
class TDevIconVO : public TIconVisObj {
public:
  explicit TDevIconVO(TComponent* owner);
  std::string ClassName() const override { return "TDevIconVO"; }
  void LoadTitlePrefix() override;
  std::string GetTypeDescr() const override;

  TNotifyEvent OnSelDevice;
  void DoSelDevice();
  TMenuItem* SelDeviceItem() const { return men_sel_device_; }

  void CreatePopupMenu() override;
  void DestroyPopupMenu() override;
  void UpdateMenus() override;
  bool HandleKey(uint16_t& key, TShiftState shift) override;

protected:
  void DblClick() override;
  void IconDblClick() override { DoSelDevice(); }

private:
  TMenuItem* men_sel_device_ = nullptr;
};

class TBitMonitor : public TMonitorMan {
public:
  explicit TBitMonitor(TComponent* owner);
  ~TBitMonitor() override;
  std::string ClassName() const override { return "TBitMonitor"; }
  void AfterConstruction() override;

  // The zoom steps' scale factor in each direction: this ten-digit value, not the square root
  // of two, so that stored layouts come back to the same pixels.
  static constexpr double kZoomStep = 1.414213562;
  // The shown picture stays within these sizes in each direction.
  static constexpr int kMinShown = 20, kMaxShown = 2500;

  const std::string& BitMapFile() const { return bitmap_file_; }
  double ZoomFactor() const { return zoom_factor_; }
  const std::vector<TVisObj*>& MovVOList() const { return mov_vo_list_; }
  int32_t LastVOId = 0;
  TScrollBox* ScrollBox() const { return scroll_box_; }
  TPaintBox* PaintBox() const { return paint_box_; }
  const TBitmap& Bitmap() const { return *bitmap_; }
  bool Dragging() const { return dragging_; }
  TControl* DragControl() const { return drag_control_; }

  int IndexOfVisObj(const TVisObj* vo) const override;
  bool CanAcceptClass(const TVisObjClass* cls) const override;
  int CountOfClass(const TVisObjClass* cls) const override;
  void InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) override;
  void DeleteVisObj(TVisObj* vo, bool confirm) override;
  void VOStateChange(TComponent*) override {}
  void VODestroy(TComponent* sender) override;
  void Clear() override;
  bool IsEmpty() const override;
  void Deactivate() override;
  void Activate() override;
  void UpdateLanguage() override;
  void LoadTitlePrefix() override;
  std::string GetTypeDescr() const override;

  void CreatePopupMenu() override;
  void DestroyPopupMenu() override;
  void UpdateMenus() override;
  TMenuItem* AddDevIconItem() const { return men_add_dev_icon_; }
  TMenuItem* EditBitFNameItem() const { return men_edit_bit_fname_; }
  TMenuItem* ZoomInItem() const { return men_zoom_in_; }
  TMenuItem* ZoomOutItem() const { return men_zoom_out_; }

  void AddDevIcon();
  // Lets the user choose the background picture (bitmaps only).
  void EditBitmapFile();
  // A file that does not exist is ignored; one that cannot be read is reported and the former
  // picture stays. An empty name drops the picture.
  void SetBitmapFile(const std::string& file_name);
  void SetZoom(double factor);
  void ZoomIn();
  void ZoomOut();
  bool CanZoomIn() const;
  bool CanZoomOut() const;

  // Dragging with Shift and the left button.
  void ObjMouseDown(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);
  void StartDrag(int x, int y, TControl* control);
  void DragMove(TComponent* sender, TShiftState shift, int x, int y);
  void DragEnd(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y);
  void EndDrag();
  // The window lost the mouse: a pending drag ends where it is.
  void CancelMode() { EndDrag(); }

  // The picture, its zoom and the movable objects (one section each below the monitor's).
  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
  void LoadIniSection(TIniFile2* ini, const std::string& section) override;

protected:
  virtual void CreateView();

private:
  void PaintPicture();
  // Reads the picture and shows it unzoomed; false with the reason when the file cannot be read,
  // false without one when nothing was to be done.
  bool LoadPicture(const std::string& file_name, std::string& error);
  // Shows the picture at the new factor and size and moves every object to its scaled place on
  // the whole picture; the view keeps its centre.
  void ScaleView(double new_factor, const std::function<int(double)>& scale, int width, int height);
  // The class of a stored object: a movable class of the visual-object registry or one of ours.
  const TVisObjClass* FindMovableClass(const std::string& name) const;

  std::string bitmap_file_;
  double zoom_factor_ = 1.0;
  std::vector<TVisObj*> mov_vo_list_;
  TScrollBox* scroll_box_ = nullptr;
  TPaintBox* paint_box_ = nullptr;
  std::unique_ptr<TBitmap> bitmap_;
  bool dragging_ = false;
  int grab_x_ = -1, grab_y_ = -1;
  TControl* drag_control_ = nullptr;

  TMenuItem* men_add_dev_icon_ = nullptr;
  TMenuItem* men_edit_bit_fname_ = nullptr;
  TMenuItem* men_zoom_in_ = nullptr;
  TMenuItem* men_zoom_out_ = nullptr;
};

extern const TVisObjClass MoveVisObjClass;
extern const TVisObjClass IconVisObjClass;
extern const TVisObjClass DevIconVOClass;
extern const TMonitorClass BitMonitorClass;

}  // namespace qv
