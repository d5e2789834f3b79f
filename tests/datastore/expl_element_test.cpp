#include "datastore/expl_element.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace qv {
namespace {

// Records what happens to frames, editors and elements.
struct Log {
  std::vector<std::string> events;
  TWinControl* frame_parent = nullptr;
};

class FakeFrame : public TExplFrame {
public:
  explicit FakeFrame(Log& log) : log_(log) { log_.events.push_back("frame created"); }
  ~FakeFrame() override { log_.events.push_back("frame freed"); }

private:
  Log& log_;
};

class FakeEditor : public TExplEditor {
public:
  explicit FakeEditor(Log& log) : log_(log) {
    frame_class_.Name = "FakeFrame";
    frame_class_.Create = [this](TWinControl* parent) {
      log_.frame_parent = parent;
      return std::make_unique<FakeFrame>(log_);
    };
  }
  ~FakeEditor() override { log_.events.push_back("editor freed"); }
  const TExplFrameClass* GetFrameClass() const override { return &frame_class_; }
  bool Validate() override { return valid; }

  bool valid = true;
  std::string text;  // what the user typed

private:
  Log& log_;
  TExplFrameClass frame_class_;
};

class FakeElement : public TExplElement {
public:
  explicit FakeElement(Log& log) : log_(log) {}
  void FillOutline(TExplOutline*, int, TExplSelectEvent on_select) override { SetOnSelect(on_select); }
  std::string GetOutlineText(const std::string& name) const override { return name; }
  bool ApplyChanges() override {
    name = name_edit;
    return true;
  }
  void CancelChanges() override { name_edit = name; }
  void CreateEditor(TWinControl* parent, TNotifyEditorEvent on_modified, TNameChangeEvent on_name_change) override {
    auto editor = TExplEditor::Create<FakeEditor>(parent, log_);
    editor->SetOnModified(std::move(on_modified));
    editor->SetOnNameChange(std::move(on_name_change));
    editor->SetUpdating(true);
    editor->text = name_edit;
    editor->DoModified();  // filling the frame is no user edit
    editor->SetUpdating(false);
    SetEditor(std::move(editor));
    // Watch the release callback as well as passing it on.
    Editor()->SetReleaseCallback([this](TExplEditor* sender) {
      log_.events.push_back("released");
      EditorReleased(sender);
    });
  }
  bool AcceptEditor() override {
    auto* editor = static_cast<FakeEditor*>(Editor());
    if (!editor) return true;
    if (!editor->Validate()) return false;
    name_edit = editor->text;
    return true;
  }
  FakeEditor* Ed() const { return static_cast<FakeEditor*>(Editor()); }

  std::string name = "Room", name_edit = "Room";

private:
  Log& log_;
};

TWinControl* SomeParent() {
  static int place;
  return reinterpret_cast<TWinControl*>(&place);
}

TEST(ExplElementTest, EditorLifeCycleThroughAcceptAndApply) {
  Log log;
  FakeElement element(log);
  EXPECT_TRUE(element.CloseEditor(true));  // nothing open

  int modified_calls = 0;
  std::vector<std::string> names;
  element.CreateEditor(
      SomeParent(), [&](TExplEditor*) { ++modified_calls; },
      [&](TExplEditor*, const std::string& text) { names.push_back(text); });
  ASSERT_NE(element.Ed(), nullptr);
  EXPECT_NE(element.Ed()->Frame(), nullptr);
  EXPECT_EQ(log.frame_parent, SomeParent());
  EXPECT_EQ(element.Ed()->text, "Room");
  EXPECT_FALSE(element.Ed()->Modified());
  EXPECT_EQ(modified_calls, 0);

  // The user types a new name.
  element.Ed()->text = "Cellar";
  element.Ed()->EditChange(nullptr);
  element.Ed()->DoNameChange("Cellar");
  EXPECT_TRUE(element.Ed()->Modified());
  EXPECT_EQ(modified_calls, 1);
  EXPECT_EQ(names, std::vector<std::string>{"Cellar"});

  // A failing validation keeps the editor and the edit copy.
  element.Ed()->valid = false;
  EXPECT_FALSE(element.CloseEditor(true));
  ASSERT_NE(element.Editor(), nullptr);
  EXPECT_EQ(element.name_edit, "Room");

  element.Ed()->valid = true;
  log.events.clear();
  EXPECT_TRUE(element.CloseEditor(true));
  EXPECT_EQ(element.Editor(), nullptr);
  // Closed without calling back into the element.
  EXPECT_EQ(log.events, (std::vector<std::string>{"editor freed", "frame freed"}));
  EXPECT_EQ(element.name_edit, "Cellar");
  EXPECT_EQ(element.name, "Room");
  EXPECT_TRUE(element.ApplyChanges());
  EXPECT_EQ(element.name, "Cellar");
}

TEST(ExplElementTest, CloseWithoutAcceptAlwaysClosesAndCancelResets) {
  Log log;
  FakeElement element(log);
  element.CreateEditor(SomeParent(), nullptr, nullptr);
  element.Ed()->valid = false;
  element.Ed()->text = "Attic";
  EXPECT_TRUE(element.CloseEditor(false));
  EXPECT_EQ(element.Editor(), nullptr);
  EXPECT_EQ(element.name_edit, "Room");  // nothing taken over

  element.name_edit = "Attic";
  element.CancelChanges();
  EXPECT_EQ(element.name_edit, "Room");
}

TEST(ExplElementTest, EditorFreedElsewhereIsForgotten) {
  Log log;
  {
    FakeElement element(log);
    element.CreateEditor(SomeParent(), nullptr, nullptr);
    delete element.Editor();
    EXPECT_EQ(element.Editor(), nullptr);
    EXPECT_EQ(log.events.back(), "frame freed");
    EXPECT_NE(std::find(log.events.begin(), log.events.end(), "released"), log.events.end());
  }  // the element must not free it a second time

  // A new editor replaces an open one, and an element freed with an open editor frees it.
  log.events.clear();
  {
    FakeElement element(log);
    element.CreateEditor(SomeParent(), nullptr, nullptr);
    element.CreateEditor(SomeParent(), nullptr, nullptr);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "editor freed"), 1);
  }
  EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "editor freed"), 2);
  EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "released"), 0);
}

TEST(ExplElementTest, ProgramWritesAreNoUserEdits) {
  Log log;
  FakeEditor editor(log);
  int calls = 0;
  editor.SetOnModified([&](TExplEditor* sender) {
    EXPECT_EQ(sender, &editor);
    ++calls;
  });
  editor.SetUpdating(true);
  editor.EditChange(nullptr);
  EXPECT_FALSE(editor.Modified());
  EXPECT_EQ(calls, 0);
  editor.SetUpdating(false);
  editor.EditChange(nullptr);
  EXPECT_TRUE(editor.Modified());
  EXPECT_EQ(calls, 1);

  // Modified is set also without a handler.
  FakeEditor bare(log);
  bare.DoModified();
  EXPECT_TRUE(bare.Modified());
}

TEST(ExplElementTest, FrameNeedsParentAndClass) {
  Log log;
  auto editor = TExplEditor::Create<FakeEditor>(nullptr, log);
  EXPECT_EQ(editor->Frame(), nullptr);
  editor->CreateFrame(SomeParent());
  EXPECT_NE(editor->Frame(), nullptr);
  editor->CreateFrame(SomeParent());  // the old frame goes first
  EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "frame freed"), 1);
}

TEST(ExplElementTest, SelectElementAsksTheExplorer) {
  Log log;
  FakeElement module(log), slot(log);
  module.SelectElement(&slot, true);  // no handler: nothing happens
  std::vector<std::tuple<TExplElement*, TExplElement*, bool>> calls;
  module.FillOutline(nullptr, 0,
                     [&](TExplElement* s, TExplElement* e, bool refill) { calls.emplace_back(s, e, refill); });
  module.SelectElement(&slot, true);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], std::make_tuple(static_cast<TExplElement*>(&module), static_cast<TExplElement*>(&slot), true));
}

}  // namespace
}  // namespace qv
