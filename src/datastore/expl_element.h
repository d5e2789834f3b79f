#pragma once
// Elements of the explorer tree (devices and channels) and the editors that show an element's
// edit copies on a property frame. The frames and the outline are GUI controls; this layer sees
// them only through the abstract classes below, so the data store stays free of widgets.
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace qv {

class TWinControl;  // the GUI control an editor's frame is placed in; only passed on here
class TExplElement;
class TExplEditor;

// A property frame: the controls an editor fills and reads. Concrete frames live with the dialogs.
class TExplFrame {
public:
  virtual ~TExplFrame() = default;
};

// A registered frame class: its name and the function that creates a frame in a parent control
// (owned by the parent's form, placed in the parent).
struct TExplFrameClass {
  std::string Name;
  std::function<std::unique_ptr<TExplFrame>(TWinControl* parent)> Create;
};

// The explorer's outline (tree) control as the elements fill it.
class TExplOutline {
public:
  virtual ~TExplOutline() = default;
  // Adds a child node under the node at parent_index; answers the new node's index.
  virtual int AddChildObject(int parent_index, const std::string& text, void* object) = 0;
};

using TExplSelectEvent = std::function<void(TExplElement* sender, TExplElement* element, bool refill)>;
using TNotifyEditorEvent = std::function<void(TExplEditor* sender)>;
using TNameChangeEvent = std::function<void(TExplEditor* sender, const std::string& text)>;

class TExplEditor {
public:
  // Editors are created with Create<E>(parent, ...), which also builds the frame, so that the
  // descendant's CreateFrame and GetFrameClass take part.
  template <class Editor, class... Args>
  static std::unique_ptr<Editor> Create(TWinControl* parent, Args&&... args) {
    auto editor = std::make_unique<Editor>(std::forward<Args>(args)...);
    editor->CreateFrame(parent);
    return editor;
  }

  TExplEditor() = default;
  TExplEditor(const TExplEditor&) = delete;
  TExplEditor& operator=(const TExplEditor&) = delete;
  // Calls the release callback when set, then frees the frame.
  virtual ~TExplEditor();

  // Change handler of the frame's controls.
  virtual void EditChange(void* sender);
  // Frees an existing frame; creates a new one in parent when there is a frame class and a parent.
  virtual void CreateFrame(TWinControl* parent);
  // Class of the frame, nullptr for none.
  virtual const TExplFrameClass* GetFrameClass() const = 0;
  virtual bool Validate();

  void DoModified();
  void DoNameChange(const std::string& text);

  bool Updating() const { return updating_; }
  void SetUpdating(bool updating) { updating_ = updating; }
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  TExplFrame* Frame() const { return frame_.get(); }

  void SetOnModified(TNotifyEditorEvent handler) { on_modified_ = std::move(handler); }
  void SetOnNameChange(TNameChangeEvent handler) { on_name_change_ = std::move(handler); }
  void SetReleaseCallback(TNotifyEditorEvent callback) { release_ = std::move(callback); }

private:
  bool updating_ = false;
  std::unique_ptr<TExplFrame> frame_;
  bool modified_ = false;
  TNotifyEditorEvent on_modified_;
  TNameChangeEvent on_name_change_;
  TNotifyEditorEvent release_;
};

class TExplElement {
public:
  TExplElement() = default;
  TExplElement(const TExplElement&) = delete;
  TExplElement& operator=(const TExplElement&) = delete;
  // Closes an open editor without calling back.
  virtual ~TExplElement();

  virtual void FillOutline(TExplOutline* outline, int parent_index, TExplSelectEvent on_select) = 0;
  virtual std::string GetOutlineText(const std::string& name) const = 0;
  virtual bool ApplyChanges() = 0;
  virtual void CancelChanges() = 0;
  virtual void CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) = 0;
  virtual bool AcceptEditor() = 0;
  // Without an editor true. With accept, a failing AcceptEditor keeps the editor open and answers
  // false; otherwise the editor is freed without calling back and forgotten.
  virtual bool CloseEditor(bool accept);

  // The release callback of the element's editor: the editor was freed by someone else.
  void EditorReleased(TExplEditor* sender);
  void SelectElement(TExplElement* element, bool refill);

  TExplEditor* Editor() const { return editor_.get(); }
  const TExplSelectEvent& OnSelect() const { return on_select_; }
  void SetOnSelect(TExplSelectEvent handler) { on_select_ = std::move(handler); }

protected:
  // Takes ownership of a new editor and installs the release callback.
  void SetEditor(std::unique_ptr<TExplEditor> editor);

private:
  std::unique_ptr<TExplEditor> editor_;
  TExplSelectEvent on_select_;
};

}  // namespace qv
