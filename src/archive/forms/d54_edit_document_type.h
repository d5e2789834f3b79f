#pragma once
// The document type editor and its helpers: the table editor, the diagram editor and the channel
// chooser. The type's tables and diagrams are built automatically from its channels and can then
// be refined one by one.
#include <memory>
#include <string>
#include <vector>

#include "archive/dy_doc_type_info.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

class TStyColorComboBox;

// Whether a curve of unit fits a diagram whose axes show left and right; an empty axis takes it.
bool AcceptUnit(std::string& left, std::string& right, const std::string& unit);
// Rebuilds the type's tables from its channels: 6 channels a table (12 landscape), a new table
// per device with one_per_device; named "tvo_TitPrefix" + number with numbered, else by device.
void GenerateTables(TDY_DocTypeInfo& type, bool landscape, bool one_per_device, bool numbered);
// Rebuilds the diagrams: at most 6 channels and 2 units each, colours and markers kept apart
// within a diagram; named "dvo_TitPrefix" + number with numbered, else by device.
void GenerateDiagrams(TDY_DocTypeInfo& type, bool one_per_device, bool numbered);

// Chooses channels of offered into a target list; channels are told apart by logger and channel.
class TD63_EditDYChannels : public TForm {
public:
  explicit TD63_EditDYChannels(TComponent* owner);
  ~TD63_EditDYChannels() override;
  std::string ClassName() const override { return "TD63_EditDYChannels"; }
  void SetAvailable(const TDY_ChannelList* list);
  void SetSelected(TDY_ChannelList* list);
  void UpdateListBoxes();

  TListBox* AvailChannelsListBox;
  TListBox* SelectedChannelsListBox;
  TButton* SelectChanBtn;
  TButton* DeSelectChanBtn;
  TButton* OkButton;
  TButton* CancelButton;

private:
  void SelectChanBtnClick();
  void DeSelectChanBtnClick();
  void OkButtonClick();
  const TDY_ChannelList* offered_ = nullptr;
  TDY_ChannelList* target_ = nullptr;
  TDY_ChannelList working_;
  std::vector<const TDY_Channel*> avail_shown_;   // per line of the available box
  std::vector<const TDY_Channel*> select_shown_;  // per line of the selected box
};

// Edits a table: its name and channels.
class TD62_EditTable : public TForm {
public:
  explicit TD62_EditTable(TComponent* owner);
  std::string ClassName() const override { return "TD62_EditTable"; }
  void SetTable(TDY_Table* table, const TDY_ChannelList* offered);
  bool Changed() const { return changed_; }

  TEdit* TableNameEdit;
  TListBox* ChannelsListBox;
  TButton* EditChannelsButton;
  TButton* OkButton;
  TButton* CancelButton;

private:
  void ContentChanged();
  void ShowChannels();
  TDY_Table* table_ = nullptr;
  const TDY_ChannelList* offered_ = nullptr;
  bool changed_ = false;
  bool loading_ = false;
};

// Edits a diagram: its name, channels and each curve's colour, line and marker.
class TD64_EditDiagram : public TForm {
public:
  explicit TD64_EditDiagram(TComponent* owner);
  std::string ClassName() const override { return "TD64_EditDiagram"; }
  void SetDiagram(TDY_Diagram* diagram, const TDY_ChannelList* offered);
  bool Changed() const { return changed_; }

  TEdit* DiagramNameEdit;
  TListBox* ChannelsListBox;
  TButton* EditChannelsButton;
  TStyColorComboBox* StyColorComboBox;
  TComboBox* PenStyleComboBox;
  TComboBox* PointerStyleComboBox;
  TButton* OkButton;
  TButton* CancelButton;

private:
  void ContentChanged();
  void ShowChannels();
  void ChannelsListBoxClick();
  TDY_Channel* SelectedChannel();
  TDY_Diagram* diagram_ = nullptr;
  const TDY_ChannelList* offered_ = nullptr;
  bool changed_ = false;
  bool loading_ = false;
};

class TD54_EditDocumentType : public TForm {
public:
  explicit TD54_EditDocumentType(TComponent* owner);
  std::string ClassName() const override { return "TD54_EditDocumentType"; }
  // Names the others types have (a new name must differ from them, ignoring case).
  void SetTakenNames(std::vector<std::string> names) { taken_names_ = std::move(names); }
  // Reads the type file (a full path) into the editor; what was read stays when it fails.
  void GetTypeContent(const std::string& file_name);
  TDY_DocTypeInfo& Type() { return *type_; }
  std::unique_ptr<TDY_DocTypeInfo> TakeType() { return std::move(type_); }
  bool Changed() const { return changed_; }

  TEdit* DocTypeNameEdit;
  TEdit* DocTypeTitleEdit;
  TListBox* ChannelsListBox;
  TListBox* TablesListBox;
  TListBox* DiagramsListBox;
  TCheckBox* ShowDocInfoCheckBox;
  TCheckBox* ShowSigInfoCheckBox;
  TCheckBox* ShowDeviceInfoCheckBox;
  TCheckBox* ShowAuditLogCheckBox;
  TCheckBox* ShowDiagramsCheckBox;
  TCheckBox* ShowTablesCheckBox;
  TCheckBox* TablesLandscapeCheckBox;
  TCheckBox* DiagsLandscapeCheckBox;
  TCheckBox* MaxChanPerTableCheckBox;
  TCheckBox* OneTabPerDevCheckBox;
  TCheckBox* MaxChanPerDiaCheckBox;
  TCheckBox* OneDiaPerDevCheckBox;
  TButton* EditChannelsButton;
  TButton* EditTableButton;
  TButton* DeleteTableButton;
  TButton* AddTableButton;
  TButton* EditDiagramButton;
  TButton* DeleteDiagramButton;
  TButton* AddDiagramButton;
  TButton* OkButton;
  TButton* CancelButton;

private:
  void OnContentChange();
  void OkButtonClick();
  void EditChannelsButtonClick();
  void AddTableButtonClick();
  void EditTableButtonClick();
  void DeleteTableButtonClick();
  void AddDiagramButtonClick();
  void EditDiagramButtonClick();
  void DeleteDiagramButtonClick();
  void PairClick(TCheckBox* clicked, TCheckBox* other, bool tables);
  void ShowChannelList();
  void ShowTableList();
  void ShowDiagramList();
  void RebuildTables();
  void RebuildDiagrams();
  std::unique_ptr<TDY_DocTypeInfo> type_;
  std::vector<std::string> taken_names_;
  std::string loaded_name_;
  bool changed_ = false;
  bool loading_ = false;
};

extern TD54_EditDocumentType* D54_EditDocumentType;
extern TD62_EditTable* D62_EditTable;
extern TD63_EditDYChannels* D63_EditDYChannels;
extern TD64_EditDiagram* D64_EditDiagram;

// Runs the editor on the type file file_name (a full path), or on a new type when it is empty;
// types is the catalogue, whose other entries' names the type may not take. Answers the edited
// type on OK (Name, FileName, Title, switches, channels, tables and diagrams set; saving it and
// its catalogue entry is the caller's work), null on Cancel.
std::unique_ptr<TDY_DocTypeInfo> RunEditDocumentType(const std::string& file_name, const TDY_DocTypeList& types);

}  // namespace qv
