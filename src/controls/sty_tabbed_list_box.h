#pragma once
// The styled list box with tab-separated columns: tab stops in average character widths, set by
// hand or computed from the items, and access to cells by column and row.
#include <string>
#include <vector>

#include "controls/sty_int_list.h"
#include "controls/sty_list_box.h"

namespace qv {

QV_DECLARE_EXCEPTION(EHeaderError, Exception);

class TStyCustomTabbedListBox;

// Tab stops that repaint their list box after each change made through PutItem, Add, Delete or
// Insert.
class TStyTabStopList : public TStyIntegerList {
public:
  explicit TStyTabStopList(TStyCustomTabbedListBox* list_box = nullptr);
  void PutItem(int index, int32_t value) override;
  int Add(int32_t value) override;
  void Delete(int index) override;
  void Insert(int index, int32_t value) override;

private:
  void Update();
  TStyCustomTabbedListBox* list_box_;
};

enum class TStyTabStopsMode : uint8_t { tsmManual, tsmAutomatic };

class TStyCustomTabbedListBox : public TStyCustomListBox {
public:
  explicit TStyCustomTabbedListBox(TComponent* owner);
  std::string ClassName() const override { return "TStyCustomTabbedListBox"; }

  virtual int FirstColumnExtra() const { return 0; }
  TStyTabStopList& TabStops() { return tab_stops_; }
  virtual void SetTabStops(const TStyIntegerList& stops);
  TStyTabStopsMode TabStopsMode() const { return tab_stops_mode_; }
  virtual void SetTabStopsMode(TStyTabStopsMode v);
  // The window's stops in dialog units (4 per average character width), at most 1000.
  virtual std::vector<int> GetTabStopArray() const;
  // What the window was last told (empty: its default stops).
  const std::vector<int>& WindowTabStops() const { return window_tab_stops_; }
  // The pixel stops the items are drawn with.
  std::vector<int> PixelTabStops() const;
  int CharWidth() const { return char_width_; }
  virtual std::string GetCell(int column, int row) const;
  virtual void SetCell(int column, int row, const std::string& text);
  virtual void AutoSizeTabStops();
  // There is no header control in the system: every call is refused.
  [[noreturn]] virtual void UpdateFromHeader(TComponent* header);
  void UpdateTabStops();

  void GroupFontChanged() override;
  void UpdateHorzExtent() override;
  void WndProc(TMessage& m) override;

protected:
  void DrawGroupItem(int index, TRect rect, TOwnerDrawState state) override;
  void DefaultDrawItem(int index, TRect rect, TOwnerDrawState state) override;
  void ItemsChanged(int kind, int index) override;
  void AutoSizeIfWanted();

private:
  TStyTabStopList tab_stops_;
  TStyTabStopsMode tab_stops_mode_ = TStyTabStopsMode::tsmManual;
  int char_width_ = 6;
  std::vector<int> window_tab_stops_;
};

}  // namespace qv
