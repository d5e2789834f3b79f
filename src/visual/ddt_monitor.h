#pragma once
// The usual monitor page: up to nine diagrams tiled in a grid in the upper-left pane of a
// splitter and at most one table filling the lower-right pane. One object can be maximised to
// fill its pane; masked objects are hidden and keep their former place, so that they can be
// brought back.
#include <cstdint>
#include <vector>

#include "visual/monitor_man.h"

namespace qv {

class TStySplitter;

constexpr int kMaxDiagrams = 9;

class TDDTMonitor : public TMonitorMan {
public:
  explicit TDDTMonitor(TComponent* owner);
  ~TDDTMonitor() override;
  std::string ClassName() const override { return "TDDTMonitor"; }

  TStySplitter* Splitter() const { return splitter_; }
  const std::vector<TVisObj*>& DiagramList() const { return diagrams_; }
  const std::vector<TVisObj*>& MaskedDiagrams() const { return masked_; }
  TVisObj* MaximDiagram() const { return maxim_diagram_; }
  TVisObj* TableVO() const { return table_; }
  TVisObj* MaskedTable() const { return masked_table_; }
  TVisObj* MaximTable() const { return maxim_table_; }
  uint8_t DiagramOrient() const { return orient_; }
  int32_t LastDiagramId = 0;
  int32_t LastTableId = 0;

  int IndexOfVisObj(const TVisObj* vo) const override;
  bool CanAcceptClass(const TVisObjClass* cls) const override;
  int CountOfClass(const TVisObjClass* cls) const override;
  void InsertVisObj(int index, const TVisObjClass* cls, TVisObj*& vo) override;
  void DeleteVisObj(TVisObj* vo, bool confirm) override;
  void VOStateChange(TComponent* sender) override;
  void VODestroy(TComponent* sender) override;
  void Clear() override;
  bool IsEmpty() const override;
  void Deactivate() override;
  void Activate() override;
  void UpdateLanguage() override;

  void CreatePopupMenu() override;
  void DestroyPopupMenu() override;
  void UpdateMenus() override;
  void UpdateButtons() override;
  TMenuItem* AddDiagramItem() const { return men_add_diagr_; }
  TMenuItem* AddTableItem() const { return men_add_table_; }
  TMenuItem* MaxNormItem() const { return men_max_norm_; }
  TMenuItem* MaskItem() const { return men_mask_; }
  TMenuItem* RetrieveItem() const { return men_retrieve_; }
  TMenuItem* HorzItem() const { return men_horz_; }
  TMenuItem* VertItem() const { return men_vert_; }

  void Rearrange();
  // Places diagram i of n visible ones in its cell of the upper-left pane.
  void PlaceDiagram(int n, int i, TVisObj* diagram);
  void RestoreMaximised();
  void SetOrientation(uint8_t orient);
  void SetHorizontal();
  void SetVertical();
  void AddDiagram();
  // Adds the value table, when its class is registered.
  void AddTable();
  void MaxNormSelected();
  void MaskSelected();
  // Brings a masked diagram back to a chosen place, or the masked table, through the retrieve
  // dialog.
  void RetrieveObject();

  void StoreIniSection(TIniFile2* ini, const std::string& section) override;
  // An exception from any step passes to the caller, which reports the page and goes on.
  void LoadIniSection(TIniFile2* ini, const std::string& section) override;
  // The import from the older registry profile, with the monitor's key open; that key is open
  // again afterwards. An object that fails is reported and skipped.
  void LoadRegKey(TRegistry* registry) override;

private:
  void CreateSplitter();
  // The diagram pane is hidden without diagrams, the splitter without any object.
  void HideEmptyPanes();
  void ReturnLayout();
  int32_t NextDiagramId();
  int32_t NextTableId();
  std::vector<TVisObj*> AllDiagrams() const;
  // One object of the registry import, from its key; remembers it for selection or maximising.
  void LoadRegObject(TRegistry* registry, const std::string& key, TVisObj*& to_select, TVisObj*& to_maximise);
  // A new object of the class, hooked to this monitor, with the splitter shown.
  TVisObj* NewObject(const TVisObjClass* cls);
  void InsertTable(const TVisObjClass* cls, TVisObj*& vo);
  void TableStateChange(TVisObj* vo);
  void ShowDiagramPane();

  TStySplitter* splitter_ = nullptr;
  std::vector<TVisObj*> diagrams_;
  std::vector<TVisObj*> masked_;
  TVisObj* maxim_diagram_ = nullptr;
  TVisObj* table_ = nullptr;
  TVisObj* masked_table_ = nullptr;
  TVisObj* maxim_table_ = nullptr;
  uint8_t orient_ = 0;

  TMenuItem* men_add_diagr_ = nullptr;
  TMenuItem* men_add_table_ = nullptr;
  TMenuItem* men_max_norm_ = nullptr;
  TMenuItem* men_mask_ = nullptr;
  TMenuItem* men_retrieve_ = nullptr;
  TMenuItem* men_horz_ = nullptr;
  TMenuItem* men_vert_ = nullptr;
};

extern const TMonitorClass DDTMonitorClass;
// Adds the monitor classes to those every monitor registry starts with (once).
void RegisterMonitorClasses();

}  // namespace qv
