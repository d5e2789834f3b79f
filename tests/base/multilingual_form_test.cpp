#include "base/forms/multilingual_form.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/forms/iv_select_resource_language_dialog.h"
#include "base/locale_helpers.h"
#include "base/res_string.h"
#include "base/resource_locale.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/std_ctrls.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A program "Q" with German and French language files.
class FormTranslationTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitializeGui();
    saved_formats_ = FormatSettings;
    dir_.Write("Q", "program");
    dir_.Write("Q.DEU",
               "d23_EditProtOptions=Protokolloptionen\n"
               "d23_ProtShort=Kurzes Protokoll\n"
               "d23_AutoLogFile=Neue Datei\n"
               "b_hint_Export=Daten exportieren\n"
               "Select Language=Sprache wählen\n"
               "OK=OK\n"
               "Cancel=Abbrechen\n");
    dir_.Write("Q.FR", "d23_EditProtOptions=Options du protocole\n");
    TResourceLanguageSetup setup;
    setup.ModuleFile = dir_.File("Q");
    setup.ProgramFile = setup.ModuleFile;
    setup.DocumentsFolder = dir_.File("docs");
    SetResourceLanguageSetup(setup);
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    SetResourceLocale(0, false);
    SetFormsRetranslation(nullptr);
    ResetResourceLanguageSetup();
    ReplaceFormatSettings(saved_formats_);
  }
  // Runs SelectResourceLanguage; Act works on the open dialog.
  bool RunDialog(int flags, uint32_t built_in, TForm* form,
                 const std::function<void(TIvSelectResourceLanguageDialog&)>& act) {
    Application->OnIdle = [&](TComponent*, bool& done) {
      done = true;
      for (int i = 0; i < Screen->FormCount(); ++i) {
        auto* dialog = dynamic_cast<TIvSelectResourceLanguageDialog*>(Screen->Forms(i));
        if (dialog && dialog->Modal() && dialog->ModalResult() == mrNone) act(*dialog);
      }
    };
    const bool result = SelectResourceLanguage(TPosition::poScreenCenter, flags, built_in, form);
    Application->OnIdle = nullptr;
    return result;
  }

  test::TempDir dir_;
  TFormatSettings saved_formats_;
};

class CountingForm : public TMultilingualForm2 {
public:
  using TMultilingualForm2::TMultilingualForm2;
  void Retranslate() override {
    TMultilingualForm2::Retranslate();
    ++retranslations;
    built_text = LoadResString("d23_ProtShort") + " (2)";
  }
  int retranslations = 0;
  std::string built_text;
};

TEST_F(FormTranslationTest, OpenFormsAreRetranslatedInPlace) {
  CountingForm form(nullptr);
  form.SetBounds(123, 77, 300, 200);
  form.Keys().Caption(&form, "d23_EditProtOptions");
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  form.Keys().Caption(label, "d23_ProtShort");
  form.Keys().Hint(label, "b_hint_Export");
  // A frame with texts of its own.
  auto* frame = new TPanel(&form);
  frame->SetParent(&form);
  frame->SetBounds(10, 20, 200, 100);
  auto* frame_keys = new TTextKeys(frame);
  auto* inner = new TLabel(frame);
  inner->SetParent(frame);
  frame_keys->Caption(inner, "d23_AutoLogFile");
  // A control freed before the switch is forgotten.
  auto* gone = new TLabel(&form);
  form.Keys().Caption(gone, "d23_ProtShort");
  delete gone;
  form.Show();
  const int left = form.Left(), top = form.Top();  // where the window system placed it

  EXPECT_EQ(form.Text(), "d23_EditProtOptions");  // no language file loaded: the keys
  ASSERT_TRUE(SetResourceLocale(0x0407, false));
  EXPECT_EQ(form.Text(), "Protokolloptionen");
  EXPECT_EQ(label->Text(), "Kurzes Protokoll");
  EXPECT_EQ(label->Hint(), "Daten exportieren");
  EXPECT_EQ(inner->Text(), "Neue Datei");
  EXPECT_EQ(form.built_text, "Kurzes Protokoll (2)");
  EXPECT_EQ(form.retranslations, 1);
  EXPECT_EQ(form.Left(), left);
  EXPECT_EQ(form.Top(), top);
  EXPECT_EQ(frame->Left(), 10);
  EXPECT_EQ(frame->Top(), 20);

  ASSERT_TRUE(SetResourceLocale(0x040C, false));  // French has only the caption
  EXPECT_EQ(form.Text(), "Options du protocole");
  EXPECT_EQ(label->Text(), "d23_ProtShort");
  ASSERT_TRUE(SetResourceLocale(0, false));
  EXPECT_EQ(form.Text(), "d23_EditProtOptions");
  EXPECT_EQ(form.retranslations, 3);
}

TEST_F(FormTranslationTest, DialogBaseKeepsItsDictionaryName) {
  TMultilingualDlg dlg(nullptr);
  EXPECT_EQ(dlg.DictName(), "");
  dlg.SetApplDict("Export");
  EXPECT_EQ(dlg.DictName(), "Export");
  EXPECT_EQ(TMultilingualForm1(nullptr).ClassName(), "TMultilingualForm1");
}

TEST_F(FormTranslationTest, LanguageDialogListsAndSwitches) {
  TMultilingualForm2 main_form(nullptr);
  main_form.Keys().Caption(&main_form, "d23_EditProtOptions");
  main_form.SetBounds(40, 50, 300, 200);
  main_form.Show();

  std::vector<std::string> names;
  std::string caption, selected;
  EXPECT_TRUE(RunDialog(0, 0x0409, &main_form, [&](TIvSelectResourceLanguageDialog& d) {
    for (int i = 0; i < d.LanguageList->Items().Count(); ++i) names.push_back(d.LanguageList->Items()[i]);
    caption = d.Text();
    selected = LocaleDisplayName(d.SelectedLocale(), true);
    d.SelectLocale(0x0407);
    d.OKButton->Click();
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"Deutsch (Deutschland)", "English (United States)", "français"}));
  EXPECT_EQ(caption, "Select Language");
  EXPECT_EQ(selected, "English (United States)");  // the built-in language while it is in use
  EXPECT_EQ(CurrentResourceLocale(), 0x0407u);
  EXPECT_EQ(main_form.Text(), "Protokolloptionen");
  EXPECT_TRUE(main_form.Visible());
  EXPECT_EQ(FormatSettings.DecimalSeparator, ',');  // the program's locale follows

  // The dialog now speaks German and shows the language in use; Cancel changes nothing.
  EXPECT_FALSE(RunDialog(slNonNativeNames, 0x0409, &main_form, [&](TIvSelectResourceLanguageDialog& d) {
    caption = d.Text();
    selected = LocaleDisplayName(d.SelectedLocale(), false);
    d.CancelButton->Click();
  }));
  EXPECT_EQ(caption, "Sprache wählen");
  EXPECT_EQ(selected, "German (Germany)");
  EXPECT_EQ(CurrentResourceLocale(), 0x0407u);

  // Choosing the built-in texts' language by double-click switches back to the keys.
  EXPECT_TRUE(RunDialog(0, 0x0409, &main_form, [&](TIvSelectResourceLanguageDialog& d) {
    d.SelectLocale(0x0409);
    d.LanguageList->OnDblClick(d.LanguageList);
  }));
  EXPECT_EQ(CurrentResourceLocale(), 0u);
  EXPECT_EQ(main_form.Text(), "d23_EditProtOptions");
}

}  // namespace
}  // namespace qv
