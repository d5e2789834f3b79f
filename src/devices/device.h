#pragma once
// The device tree. Every node is one folder on disk: the root is the program folder, its
// children are the folders "DL000" to "DL32767" below it, their children the same kind of
// folders below them. A node keeps its settings in "Device.ini" and its channel list in
// "CHANNELS.CFG" inside its folder.
//
// Ownership: a node owns its children. A node made in memory (`Create`) belongs to its creator
// until `SetUpDevice` answers true; from then on its parent owns it. A node loaded from its
// folder belongs to its parent at once.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/utils.h"
#include "datastore/channels.h"
#include "datastore/data.h"
#include "datastore/dt_record.h"
#include "datastore/expl_element.h"
#include "devices/dev_editor.h"
#include "platform/rtl/string_list.h"

namespace qv {

QV_DECLARE_EXCEPTION(EDeviceError, Exception2);

class TDevice;
using TDeviceEvent = std::function<void(TDevice* sender)>;

class TDevice : public TExplElement {
public:
  static constexpr int32_t MaxId = 32767;
  static constexpr const char* InvalidDir = ":::INVALID:::";
  static constexpr const char* IniFile = "Device.ini";
  static constexpr const char* IniSection = "Device";
  static constexpr const char* ChannelsFile = "CHANNELS.CFG";

  // A new node in memory. With a parent it has no folder until SetId and SetUpDevice.
  template <class T = TDevice>
  static std::unique_ptr<T> Create(TDevice* parent, std::unique_ptr<TChannels> channels = nullptr) {
    std::unique_ptr<T> node(new T());
    node->InitNew(parent, std::move(channels));
    return node;
  }
  // Loads the node of an existing folder and, recursively, its children. With a parent the
  // node is inserted into it and the parent owns it; without, Dir must be ExePath (the root).
  // Raises EDeviceError "dev_InvalidDir" for a folder that gives no id; a node that fails to
  // load is freed without writing anything and the error passes on.
  template <class T = TDevice>
  static T* CreateFromDir(TDevice* parent, const std::string& dir) {
    std::unique_ptr<T> node(new T());
    try {
      node->LoadFromDir(parent, dir);
    } catch (...) {
      node->SetDiscarded();
      throw;
    }
    return node.release();
  }

  // Use Create or CreateFromDir; a bare node is not part of any tree.
  TDevice() = default;

  // Writes its Device.ini and channel list (unless discarded or never set up) and frees its
  // children; leaves its parent's list. A descendant that writes more calls its WriteIni in its
  // own destructor.
  ~TDevice() override;
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  virtual std::string ClassName() const { return "TDevice"; }

  // --- tree ---
  TDevice* Parent() const { return parent_; }
  int ChildCount() const { return static_cast<int>(children_.size()); }
  // EDeviceError "dev_IndexError" outside the list.
  TDevice* GetChild(int index) const;
  int IndexOfChild(const TDevice* node) const;
  int IndexOfId(int32_t id) const;
  // Raises EDeviceError while this node is new, for a child without id or with a taken id and
  // for a child of another parent; the parent takes ownership of the child.
  void Insert(TDevice* child);
  virtual void InsertInParent();
  // Id for a new child in [lo, hi]: above the highest id in use, gaps filled only when the top
  // is taken. An id counts as used when a child has it or a "DL" folder of it exists on disk.
  int32_t FindNextId(int32_t lo, int32_t hi) const;
  // True when id is in 0..32767 and neither a child nor a folder on disk uses it; otherwise a
  // warning is shown and false answered.
  bool CheckNewChildId(int32_t id) const;
  bool IdUsedOnDisk(int32_t id) const;
  // Only for a new node with a parent; ids 0 to 32767.
  virtual void SetId(int32_t id);
  // Writes a new node to disk; true when the node now has a folder (and its parent owns it).
  virtual bool SetUpDevice();
  // Removes a child with a backup of its folder (folder + "BAK"), asking first when confirm.
  // The old backup is replaced only after the new copy is complete; a failure raises
  // "dev_EraseDevFailed" and leaves the child, its folder and the old backup as they were.
  void EraseChild(TDevice* child, bool confirm);

  // A new TDevice under parent with a copy of the channel list, the names and the disabled
  // flag; not set up.
  virtual std::unique_ptr<TDevice> CreateCopy(TDevice* parent) const;

  // Frees the node and its subtree without writing any of their files.
  static void Discard(TDevice* node);

  // --- names and files ---
  int32_t Id() const { return id_; }
  int32_t EditId() const { return edit_id_; }
  void SetEditId(int32_t id) { edit_id_ = id; }
  const std::string& Dir() const { return dir_; }
  bool IsNew() const { return is_new_; }
  int32_t Layer() const { return layer_; }
  int32_t LoggerId() const { return logger_id_; }
  void SetLoggerId(int32_t id) { logger_id_ = id; }
  int32_t Kennung() const { return kennung_; }
  bool Loading() const { return loading_; }
  bool Deletable() const { return deletable_; }
  const std::string& Name() const { return name_; }
  const std::string& SName() const { return sname_; }
  const std::string& EditName() const { return edit_name_; }
  const std::string& EditSName() const { return edit_sname_; }
  void SetEditName(const std::string& s) { edit_name_ = s; }
  void SetEditSName(const std::string& s) { edit_sname_ = s; }
  bool Disabled() const { return disabled_; }
  bool Hidden() const { return hidden_; }

  virtual void SetName(const std::string& name);
  virtual void SetSName(const std::string& sname);
  virtual void SetDisabled(bool disabled);
  virtual void SetHidden(bool hidden);

  // "DL%.3d" of the id; empty without id.
  virtual std::string GetIdStr() const;
  virtual std::string GetIdName() const;
  virtual std::string GetIdSName() const;
  std::string GetTreeName() const;
  std::string GetTreeSName() const;
  std::string GetTreeIdName() const;
  std::string GetTreeIdSName() const;
  virtual std::string GetIniName() const;
  virtual std::string GetParentDir() const;

  // Ends with LoadChannels.
  virtual void ReadIni();
  // Only when Dir is an existing folder; ends with SaveChannels when there are channels.
  virtual void WriteIni();
  // Replaces the channel list by the one of CHANNELS.CFG when that file exists.
  virtual void LoadChannels();
  // Rewrites CHANNELS.CFG when its contents differ from the list.
  virtual void SaveChannels();
  TChannels* Channels() const { return channels_.get(); }

  // --- data ---
  // The node's data set; none until its data are opened.
  TData* Data() const { return data_.get(); }
  // With more than the two pseudo-channels and an id: the weekly data set of the node's folder,
  // with the node's logger id as its logger number. Only the oldest and the newest weekly file
  // are looked at now; the others are read when their weeks are asked for.
  virtual void OpenData();
  // The value channels a user sees for this node: those of its own data set, then those of its
  // hidden children, recursively.
  void FillUserChanList(TChanSelList* list) const;
  // The same for the node and all its descendants, hidden or not.
  void FillTotalChanList(TChanSelList* list) const;
  // True when data is this node's data set or, recursively, that of a hidden child.
  bool HasDataObject(const TData* data) const;

  // --- lists ---
  // One line per visible child and its visible descendants, with the device as the line's
  // object; hidden nodes and their subtrees are left out.
  void FillDevStrings(TStringList* strings, int indent) const;
  // 0 root, 1 device; descendants answer their own kinds.
  virtual int GetNodeKind() const;
  int CountNodesOfKind(int kind) const;
  virtual std::string GetTypeName() const;

  // --- explorer element ---
  void FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) override;
  std::string GetOutlineText(const std::string& name) const override;
  bool ApplyChanges() override;
  void CancelChanges() override;
  void CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) override;
  bool AcceptEditor() override;
  virtual TDevEditorCreator GetEditorClass() const;
  // True for the node's own id, else whether the parent takes it as a new child's id.
  bool EditorIdCheck(int32_t id) const;

  // The id of a folder name: the digits after the first two characters, 0..32767, else -1.
  static int32_t DirToId(const std::string& name);

  // Fired when a name or the disabled flag changes, and when the children or the hidden flag
  // change; a parent forwards its children's events.
  TDeviceEvent OnChange;
  TDeviceEvent OnTreeChange;

protected:
  // Called first for every node, loaded or new.
  virtual void SetDefaults();
  // For node classes that are never offered for deletion, carry a logger's own id, or start
  // hidden without touching their files.
  void SetDeletable(bool deletable) { deletable_ = deletable; }
  void SetKennung(int32_t kennung) { kennung_ = kennung; }
  void SetHiddenField(bool hidden) { hidden_ = hidden; }
  // For node classes that build their channel list from their own kind once they exist.
  void SetChannels(std::unique_ptr<TChannels> channels) { channels_ = std::move(channels); }
  // A discarded node writes none of its files; descendants that write more check it.
  bool IsDiscarded() const { return discarded_; }

  virtual void LoadChildren();
  void DoChange();
  void DoTreeChange();
  // Takes the node's data set and its record prototype; the data set is closed (its buffer
  // written) before it is freed with the node.
  void SetData(std::unique_ptr<TData> data, std::unique_ptr<TDtRecord> record);
  // Writes the buffered records of the data set; a failure is reported.
  void FlushData();
  // Renews the data names of the node and its descendants.
  virtual void UpdateDataNames();
  // Reports an error of this node to the user through the device messages.
  void ReportError(const std::string& text, const std::string& source) const;
  // Reads an integer key, reporting a value that is no number and keeping the default then.
  int32_t ReadIniInteger(class TIniFile2& ini, const std::string& section, const std::string& key, int32_t def) const;
  bool ReadIniBool(class TIniFile2& ini, const std::string& section, const std::string& key, bool def) const;
  // Every DL folder of this node's folder, by id (first spelling found in name order).
  std::vector<std::pair<int32_t, std::string>> ListIdFolders() const;

private:
  void InitNew(TDevice* parent, std::unique_ptr<TChannels> channels);
  void RetitleMonitorPages();
  void LoadFromDir(TDevice* parent, const std::string& dir);
  void TakeOverParentLoggerId(TDevice* parent);
  void RemoveChild(TDevice* child);
  void SetDiscarded();
  std::string TreeText(bool use_sname, bool with_id) const;

  std::vector<TDevice*> children_;  // owned, ascending Id
  bool is_new_ = false;
  int32_t id_ = -1;
  int32_t edit_id_ = -1;
  std::string dir_;
  TDevice* parent_ = nullptr;
  bool disabled_ = false;
  int32_t layer_ = 0;
  int32_t logger_id_ = -1;
  int32_t kennung_ = -1;
  bool loading_ = false;
  std::string name_, edit_name_, sname_, edit_sname_;
  bool hidden_ = false;
  bool deletable_ = true;
  bool discarded_ = false;  // freed without writing its files
  // ClassName() taken when the node is made: the destructor writes Device.ini after the
  // descendant's part is gone, when ClassName() would answer "TDevice".
  std::string class_name_;
  std::unique_ptr<TChannels> channels_;
  std::unique_ptr<TDtRecord> record_;  // prototype of the data set's records
  std::unique_ptr<TData> data_;
};

}  // namespace qv
