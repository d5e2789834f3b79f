#include "comm/forms/phone_book.h"

#include <algorithm>
#include <utility>

#include "base/app_globals.h"
#include "base/archive_hooks.h"
#include "base/ini_file.h"
#include "base/msg_handler.h"
#include "base/res_string.h"
#include "controls/sty_tabbed_list_box.h"
#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_ctrls.h"

namespace qv {

TPhoneBook* PhoneBook = nullptr;

namespace {

const char* const Section = "TelBook";
constexpr int PhoneBookHelpContext = 3630;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;

bool ValidId(int32_t id) { return id >= 0 && id < MaxPhoneId; }

TButton* NewButton(TMultilingualForm2* form, const char* name, const char* key, int left, int top) {
  auto* b = new TButton(form);
  b->SetName(name);
  b->SetParent(form);
  b->SetBounds(left, top, ButtonWidth, ButtonHeight);
  form->Keys().Caption(b, key);
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The book

TPhoneBook::TPhoneBook() { Load(); }

TPhoneBook::~TPhoneBook() {
  entries_.clear();
  if (PhoneBook == this) PhoneBook = nullptr;
}

TPhoneNr* TPhoneBook::Entry(int index) const {
  return index >= 0 && index < Count() ? entries_[static_cast<size_t>(index)].get() : nullptr;
}

TPhoneNr* TPhoneBook::EntryById(int32_t id) const { return Entry(IndexOfId(id)); }

int TPhoneBook::IndexOfId(int32_t id) const {
  for (int i = 0; i < Count(); ++i)
    if (entries_[static_cast<size_t>(i)]->Id == id) return i;
  return -1;
}

TPhoneNr* TPhoneBook::CreateEntry(int32_t id) {
  entries_.push_back(std::make_unique<TPhoneNr>(id));
  entries_.back()->OnChange = [this] { Save(); };
  return entries_.back().get();
}

int32_t TPhoneBook::NewId() {
  int32_t largest = -1;
  for (const auto& e : entries_) largest = std::max(largest, e->Id);
  if (largest < MaxPhoneId - 1) return largest + 1;
  std::vector<bool> used(MaxPhoneId, false);
  for (const auto& e : entries_)
    if (ValidId(e->Id)) used[static_cast<size_t>(e->Id)] = true;
  const auto free = std::find(used.begin(), used.end(), false);
  if (free != used.end()) return static_cast<int32_t>(free - used.begin());
  if (MsgHandler)
    MsgHandler->DoMessage(LoadResString("phb_MsgNoId"), LoadResString("phb_TelList"), TMsgDlgType::mtCustom, mbOK, 0, 0,
                          true, mkError);
  return -1;
}

int32_t TPhoneBook::AddEntry() {
  const int32_t id = NewId();
  if (id >= 0) CreateEntry(id);
  return id;
}

void TPhoneBook::DeleteAt(int index) {
  if (index < 0 || index >= Count()) return;
  entries_.erase(entries_.begin() + index);
  Save();
}

void TPhoneBook::DeleteById(int32_t id) {
  const int index = IndexOfId(id);
  if (index >= 0) DeleteAt(index);
}

void TPhoneBook::Load() {
  TIniFile ini(IniFileName);
  int32_t count = ini.ReadInteger(Section, "Count", 0);
  if (count < 0 || count > 0x7FFFFFF) count = 0;
  // No more entries than there are ids: a larger count would only ask for ids that cannot exist.
  count = std::min(count, MaxPhoneId);
  std::vector<bool> used(MaxPhoneId, false);  // a book of the largest size loads without quadratic look-ups
  for (int32_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    int32_t id = ini.ReadInteger(Section, "Id" + n, i);
    if (!ValidId(id) || used[static_cast<size_t>(id)]) id = NewId();
    if (id < 0) continue;
    used[static_cast<size_t>(id)] = true;
    TPhoneNr* entry = CreateEntry(id);
    entry->Name = ini.ReadString(Section, "Name" + n, "unbenannt");
    entry->Number = ini.ReadString(Section, "Number" + n, "");
  }
  if (count <= 0) return;
  SelID = ini.ReadInteger(Section, "SelID", -1);
  if (SelID < 0 || SelID > MaxPhoneId) {
    // Older files kept the selection under "SelIndex"; it holds an id as well. An id that names
    // no entry only leaves the dialog on its first row.
    SelID = ini.ReadInteger(Section, "SelIndex", -1);
    if (SelID < 0 || SelID > MaxPhoneId) SelID = 0;
  }
}

void TPhoneBook::Save() {
  TIniFile ini(IniFileName);
  std::vector<std::pair<std::string, std::string>> values;
  values.emplace_back("Count", std::to_string(Count()));
  for (int i = 0; i < Count(); ++i) {
    const std::string n = std::to_string(i);
    const TPhoneNr& e = *entries_[static_cast<size_t>(i)];
    values.emplace_back("Name" + n, e.Name);
    values.emplace_back("Number" + n, e.Number);
    values.emplace_back("Id" + n, std::to_string(e.Id));
  }
  values.emplace_back("SelId", std::to_string(SelID));
  ini.EraseSection(Section);
  ini.WriteValues(Section, values);
}

int TPhoneBook::Edit() {
  int result = mrCancel;
  {
    auto dialog = std::make_unique<TD27_EdPhoneBook>(Application, this);
    dialog->FillGrid();
    result = dialog->ShowModal();
  }
  Save();
  return result;
}

int TPhoneBook::EditEntry(TPhoneNr* entry) {
  if (!entry) return mrCancel;
  auto dialog = std::make_unique<TD28_EditPhoneNr>(Application);
  dialog->SetEntry(entry->Name, entry->Number);
  if (dialog->ShowModal() != mrOk) return mrCancel;
  entry->Name = dialog->EnteredName;
  entry->Number = dialog->EnteredNumber;
  return mrOk;
}

// ---------------------------------------------------------------------------------------------
// The phone-book dialog

TD27_EdPhoneBook::TD27_EdPhoneBook(TComponent* owner, TPhoneBook* book) : TMultilingualForm2(owner), book_(book) {
  SetName("D27_EdPhoneBook");
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  Keys().Caption(this, "d27_EdPhoneBook");
  SetBounds(0, 0, 440, 300);
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  NameTitle = new TLabel(this);
  NameTitle->SetParent(this);
  NameTitle->SetBounds(14, 10, 150, 14);
  Keys().Caption(NameTitle, "d27_Name");
  NumberTitle = new TLabel(this);
  NumberTitle->SetParent(this);
  NumberTitle->SetBounds(174, 10, 150, 14);
  Keys().Caption(NumberTitle, "d27_Number");
  TelNrGrid = new TStyCustomTabbedListBox(this);
  TelNrGrid->SetName("TelNrGrid");
  TelNrGrid->SetParent(this);
  TelNrGrid->SetBounds(10, 26, 320, 230);
  TelNrGrid->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  NewBtn = NewButton(this, "NewBtn", "b_&New", 345, 26);
  ChangeBtn = NewButton(this, "ChangeBtn", "b_Ed&it", 345, 58);
  d27_DeleteBtn = NewButton(this, ("d27_" + std::string("DeleteBtn")).c_str(), "b_&Delete", 345, 90);
  OKBtn = NewButton(this, "OKBtn", "b_&OK", 345, 167);
  CancelBtn = NewButton(this, "CancelBtn", "b_&Cancel", 345, 199);
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
  HelpBtn = NewButton(this, "HelpBtn", "b_&Help", 345, 231);
  NewBtn->OnClick = [this](TComponent*) { NewClick(); };
  ChangeBtn->OnClick = [this](TComponent*) { ChangeClick(); };
  d27_DeleteBtn->OnClick = [this](TComponent*) { DeleteClick(); };
  OKBtn->OnClick = [this](TComponent*) { OKClick(); };
  CancelBtn->OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };
  SetBounds(0, 0, 430, 270);
}

void TD27_EdPhoneBook::FillGrid() {
  TelNrGrid->BeginUpdate();
  TelNrGrid->ClearItems();
  int selected = 0;
  for (int i = 0; i < book_->Count(); ++i) {
    const TPhoneNr* e = book_->Entry(i);
    TelNrGrid->AddItem(e->Name + "\t" + e->Number, const_cast<TPhoneNr*>(e));
    if (e->Id == book_->SelID) selected = i;
  }
  if (book_->Count() == 0) TelNrGrid->AddItem("\t");  // an empty book shows one empty row
  TelNrGrid->EndUpdate();
  // The number column starts where the longest name ends; its title follows it.
  TelNrGrid->AutoSizeTabStops();
  const std::vector<int> stops = TelNrGrid->PixelTabStops();
  NumberTitle->SetLeft(std::max(NameTitle->Left() + 60, TelNrGrid->Left() + 4 + (stops.empty() ? 150 : stops[0])));
  TelNrGrid->SetItemIndex(selected);
  TelNrGrid->SetTopIndex(TelNrGrid->Count() < 8 || selected < 6 ? 0 : selected - 6);
}

TPhoneNr* TD27_EdPhoneBook::SelectedEntry() const { return book_->Entry(TelNrGrid->ItemIndex()); }

void TD27_EdPhoneBook::NewClick() {
  NoteUserActivity();
  const int32_t id = book_->AddEntry();
  if (id >= 0) {
    if (book_->EditEntry(book_->EntryById(id)) == mrOk)
      book_->SelID = id;
    else
      book_->DeleteById(id);
  }
  FillGrid();
}

void TD27_EdPhoneBook::ChangeClick() {
  NoteUserActivity();
  TPhoneNr* entry = SelectedEntry();
  if (!entry) return;
  book_->EditEntry(entry);
  book_->SelID = entry->Id;
  FillGrid();
}

void TD27_EdPhoneBook::DeleteClick() {
  NoteUserActivity();
  const uint16_t answer =
      MsgHandler ? MsgHandler->DoMessage(LoadResString("d27_ConfirmDelTel"), "", TMsgDlgType::mtConfirmation,
                                         mbYes | mbNo, 0, mrNo, true, mkQuestion)
                 : static_cast<uint16_t>(
                       MessageDlg(LoadResString("d27_ConfirmDelTel"), TMsgDlgType::mtConfirmation, mbYes | mbNo));
  const int index = TelNrGrid->ItemIndex();
  if (answer != mrYes || !book_->Entry(index)) return;
  book_->SelID = index > 0 ? book_->Entry(index - 1)->Id : -1;
  book_->DeleteAt(index);
  FillGrid();
}

void TD27_EdPhoneBook::OKClick() {
  NoteUserActivity();
  const TPhoneNr* entry = SelectedEntry();
  book_->SelID = book_->Count() == 0 || !entry ? -1 : entry->Id;
  SetModalResult(mrOk);
}

// ---------------------------------------------------------------------------------------------
// The entry dialog

TD28_EditPhoneNr::TD28_EditPhoneNr(TComponent* owner) : TMultilingualForm2(owner) {
  SetName("D28_EditPhoneNr");
  SetFormBorderStyle(TBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  Keys().Caption(this, "d28_EditPhoneNr");
  OnMouseMove = [](TComponent*, TShiftState, int, int) { NoteUserActivity(); };

  Bevel1 = new TBevel(this);
  Bevel1->SetParent(this);
  Bevel1->SetShape(TBevelShape::bsFrame);
  Bevel1->SetBounds(8, 8, 324, 80);
  NameLbl = new TLabel(this);
  NameLbl->SetParent(this);
  NameLbl->SetBounds(20, 24, 80, 14);
  Keys().Caption(NameLbl, "d27_Name");
  NameEdit = new TEdit(this);
  NameEdit->SetParent(this);
  NameEdit->SetBounds(110, 20, 210, 21);
  NumberLbl = new TLabel(this);
  NumberLbl->SetParent(this);
  NumberLbl->SetBounds(20, 56, 80, 14);
  Keys().Caption(NumberLbl, "d27_Number");
  NumberEdit = new TEdit(this);
  NumberEdit->SetParent(this);
  NumberEdit->SetBounds(110, 52, 210, 21);

  OKBtn = NewButton(this, "OKBtn", "b_&OK", 88, 100);
  CancelBtn = NewButton(this, "CancelBtn", "b_&Cancel", 171, 100);
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
  CancelBtn->SetDefault(true);
  HelpBtn = NewButton(this, "HelpBtn", "b_&Help", 254, 100);
  OKBtn->SetEnabled(false);
  OKBtn->OnClick = [this](TComponent*) {
    NoteUserActivity();
    EnteredName = NameEdit->Text();
    EnteredNumber = NumberEdit->Text();
    SetModalResult(mrOk);
  };
  NameEdit->OnChange = [this](TComponent*) { EditChanged(); };
  NumberEdit->OnChange = [this](TComponent*) { EditChanged(); };
  SetBounds(0, 0, 346, 136);
}

void TD28_EditPhoneNr::SetEntry(const std::string& name, const std::string& number) {
  NameEdit->SetText(name);
  NumberEdit->SetText(number);
  OKBtn->SetEnabled(false);
  CancelBtn->SetDefault(true);
}

void TD28_EditPhoneNr::EditChanged() {
  NoteUserActivity();
  OKBtn->SetEnabled(true);
  OKBtn->SetDefault(true);
}

}  // namespace qv
