#include "devices/forms/device_frame.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor_fixture.h"

namespace qv::test {
namespace {

using DeviceEditorTest = EditorFixture;

TEST_F(DeviceEditorTest, NewDeviceIdIsCheckedWithTheParent) {
  auto root = LoadRoot();
  AddDevice(root.get(), "Cellar", 12);
  auto fresh = TDevice::Create(root.get());
  fresh->SetId(7);
  auto* editor = Open<TDeviceEditor>(fresh.get());
  TDeviceFrame* frame = editor->DeviceFrame();
  EXPECT_EQ(frame->IdMaskEdit->Text(), "007");
  EXPECT_FALSE(editor->GetIdReadOnly());
  EXPECT_TRUE(frame->IdMaskEdit->Enabled());
  EXPECT_FALSE(editor->Modified());  // filling the frame is no user edit
  EXPECT_EQ(modified_events, 0);

  frame->IdMaskEdit->SetText("012");  // taken by the cellar
  EXPECT_TRUE(editor->Modified());
  EXPECT_FALSE(fresh->AcceptEditor());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Kind, TDevMsgKind::Warning);
  EXPECT_TRUE(dialogs.empty());

  frame->IdMaskEdit->SetText("");
  frame->LNameEdit->SetText("Garage");
  EXPECT_EQ(renames, (std::vector<std::string>{"Garage"}));
  for (const char* bad : {"", "1a", "-"}) {
    SCOPED_TRACE(bad);
    dialogs.clear();
    frame->IdMaskEdit->SetText(bad);
    EXPECT_FALSE(fresh->AcceptEditor());
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], "err_InvalidInteger");
  }
  frame->IdMaskEdit->SetText("013");
  ASSERT_TRUE(fresh->AcceptEditor());
  EXPECT_EQ(fresh->EditId(), 13);
  EXPECT_EQ(fresh->EditName(), "Garage");
  EXPECT_TRUE(fresh->CloseEditor(true));
  EXPECT_EQ(fresh->Editor(), nullptr);
}

TEST_F(DeviceEditorTest, ExistingDeviceKeepsItsIdAndRecordsNameChanges) {
  auto root = LoadRoot();
  TDevice* cellar = AddDevice(root.get(), "Cellar", 3);
  cellar->SetSName("C");
  auto* editor = Open<TDeviceEditor>(cellar);
  TDeviceFrame* frame = editor->DeviceFrame();
  EXPECT_EQ(frame->IdMaskEdit->Text(), "003");
  EXPECT_TRUE(editor->GetIdReadOnly());
  EXPECT_FALSE(frame->IdMaskEdit->Enabled());
  EXPECT_EQ(frame->LNameEdit->Text(), "Cellar");
  EXPECT_EQ(frame->SNameEdit->Text(), "C");
  editor->SetNameText("Program");
  EXPECT_FALSE(editor->Modified());
  EXPECT_TRUE(renames.empty());
  frame->IdMaskEdit->SetText("x");  // read-only: not read
  EXPECT_TRUE(editor->Validate());
  frame->SNameEdit->SetText("B");
  EXPECT_TRUE(editor->Modified());
  EXPECT_TRUE(renames.empty());  // only the long name renames the node
  ChangeDetails.clear();
  ASSERT_TRUE(cellar->CloseEditor(true));
  EXPECT_NE(ChangeDetails.find("audit_DevSNameChange"), std::string::npos);
  EXPECT_EQ(cellar->EditSName(), "B");
  cellar->CancelChanges();
  EXPECT_EQ(cellar->EditSName(), "C");
}

TEST_F(DeviceEditorTest, EditorWithoutFrameAnswersDefaults) {
  auto editor = TExplEditor::Create<TDeviceEditor>(nullptr);
  EXPECT_EQ(editor->Frame(), nullptr);
  EXPECT_TRUE(editor->GetIdReadOnly());
  EXPECT_TRUE(editor->Validate());
  editor->SetId(5);
  editor->SetNameText("x");
  EXPECT_EQ(editor->GetNameText(), "");
  EXPECT_EQ(editor->ShownId(), -1);
}

}  // namespace
}  // namespace qv::test
