#include "platform/gui/std_ctrls.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPalette>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include "platform/gui/ext_ctrls.h"
#include "platform/gui/forms.h"
#include "platform/gui/qt_private.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {
template <class W>
W* Native(const TWinControl* c) {
  return static_cast<W*>(c->Impl().native);
}
QString Q(const std::string& s) { return QString::fromStdString(s); }
// The items were handed out for changing: the native list follows from the loop (or at the next
// question to the control).
void MarkItemsDirty(TWinControl* control, bool& dirty, std::function<void()> sync) {
  if (dirty) return;
  dirty = true;
  QPointer<QWidget> guard = control->Impl().widget;
  QTimer::singleShot(0, [guard, sync = std::move(sync)] {
    if (guard) GuardedCall(sync);
  });
}
void SetNative(TWinControl* c, QWidget* w) {
  c->Impl().native = w;
  w->setParent(c->Impl().widget);
  w->setGeometry(c->ClientOffset().X, c->ClientOffset().Y, c->ClientWidth(), c->ClientHeight());
  w->show();
  ForwardNativeInput(c->Impl().widget, w);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  control_style_ |= csOpaque | csReplicatable;
  SetBounds(0, 0, 65, 17);
}

uint32_t TCustomLabel::TextFlags() const {
  uint32_t f = DT_EXPANDTABS;
  if (word_wrap_) f |= DT_WORDBREAK;
  if (!show_accel_char_) f |= DT_NOPREFIX;
  if (alignment_ == TAlignment::taCenter)
    f |= DT_CENTER;
  else if (alignment_ == TAlignment::taRightJustify)
    f |= DT_RIGHT;
  return f;
}

void TCustomLabel::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  if (!Transparent()) {
    c.Brush().Style = TBrushStyle::bsSolid;
    c.Brush().Color = Color();
    c.FillRect(r);
  }
  c.Brush().Style = TBrushStyle::bsClear;
  c.Font().Assign(Font());
  TRect calc = r;
  int h = c.DrawText(Caption(), calc, TextFlags() | DT_CALCRECT);
  if (layout_ == TTextLayout::tlCenter)
    r.Top = (r.Height() - h) / 2;
  else if (layout_ == TTextLayout::tlBottom)
    r.Top = r.Height() - h;
  if (!Enabled()) {
    c.Font().SetColor(clBtnHighlight);
    TRect shadow = r;
    OffsetRect(shadow, 1, 1);
    c.DrawText(Caption(), shadow, TextFlags());
    c.Font().SetColor(clBtnShadow);
  }
  c.DrawText(Caption(), r, TextFlags());
  c.Brush().Style = TBrushStyle::bsSolid;
}

void TCustomLabel::AdjustBounds() {
  if (!auto_size_) return;
  TCanvas& c = ScreenCanvas();
  c.Font().Assign(Font());
  TRect r = Rect(0, 0, word_wrap_ ? Width() : 100000, 0);
  c.DrawText(Caption().empty() ? " " : Caption(), r, TextFlags() | DT_CALCRECT);
  int x = Left();
  if (alignment_ == TAlignment::taRightJustify) x = Left() + Width() - r.Width();
  SetBounds(x, Top(), word_wrap_ ? Width() : r.Width(), r.Height());
}

void TCustomLabel::SetAutoSize(bool v) {
  if (!StoreChanged(auto_size_, v)) return;
  AdjustBounds();
}
void TCustomLabel::SetAlignment(TAlignment a) {
  if (!StoreChanged(alignment_, a)) return;
  Invalidate();
}
void TCustomLabel::SetLayout(TTextLayout l) {
  if (!StoreChanged(layout_, l)) return;
  Invalidate();
}
void TCustomLabel::SetWordWrap(bool v) {
  if (!StoreChanged(word_wrap_, v)) return;
  AdjustBounds();
  Invalidate();
}
void TCustomLabel::SetTransparent(bool v) {
  if (v == Transparent()) return;
  if (v)
    control_style_ &= ~csOpaque;
  else
    control_style_ |= csOpaque;
  Invalidate();
}
void TCustomLabel::SetShowAccelChar(bool v) {
  if (!StoreChanged(show_accel_char_, v)) return;
  AdjustBounds();
  Invalidate();
}
void TCustomLabel::CMTextChanged(TMessage&) {
  Invalidate();
  AdjustBounds();
}
void TCustomLabel::CMFontChanged(TMessage&) {
  Invalidate();
  AdjustBounds();
}

// ---------------------------------------------------------------------------------------------
TButton::TButton(TComponent* owner) : TWinControl(owner) {
  auto* b = new QPushButton;
  SetNative(this, b);
  QObject::connect(b, &QPushButton::clicked, [this] { GuardedCall([this] { Click(); }); });
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}
void TButton::Click() {
  if (modal_result_ != 0)
    if (TForm* f = GetParentForm(this)) f->SetModalResult(modal_result_);
  TWinControl::Click();
}
void TButton::SetDefault(bool v) {
  default_ = v;
  Native<QPushButton>(this)->setDefault(v);
}
void TButton::CMTextChanged(TMessage&) { Native<QPushButton>(this)->setText(Q(Caption())); }

// ---------------------------------------------------------------------------------------------
struct CheckBoxBridge {
  static void FromNative(TCheckBox* c, int qt_state) {
    TCheckBoxState s = qt_state == Qt::Checked            ? TCheckBoxState::cbChecked
                       : qt_state == Qt::PartiallyChecked ? TCheckBoxState::cbGrayed
                                                          : TCheckBoxState::cbUnchecked;
    c->SetState(s);
  }
};

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  auto* b = new QCheckBox;
  SetNative(this, b);
  QObject::connect(b, &QCheckBox::stateChanged,
                   [this](int s) { GuardedCall([&] { CheckBoxBridge::FromNative(this, s); }); });
  SetTabStop(true);
  SetBounds(0, 0, 97, 17);
}
void TCheckBox::SetState(TCheckBoxState s) {
  if (!StoreChanged(state_, s)) return;
  auto* b = Native<QCheckBox>(this);
  Qt::CheckState q = s == TCheckBoxState::cbChecked  ? Qt::Checked
                     : s == TCheckBoxState::cbGrayed ? Qt::PartiallyChecked
                                                     : Qt::Unchecked;
  if (b->checkState() != q) {
    QSignalBlocker block(b);
    b->setCheckState(q);
  }
  Click();
}
void TCheckBox::SetAllowGrayed(bool v) {
  allow_grayed_ = v;
  Native<QCheckBox>(this)->setTristate(v);
}
void TCheckBox::CMTextChanged(TMessage&) { Native<QCheckBox>(this)->setText(Q(Caption())); }

// ---------------------------------------------------------------------------------------------
TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  auto* e = new QLineEdit;
  SetNative(this, e);
  QObject::connect(e, &QLineEdit::textEdited,
                   [this](const QString& t) { GuardedCall([&] { SetText(t.toStdString()); }); });
  SetTabStop(true);
  SetBounds(0, 0, 121, 21);
  SetColor(clWindow);
}
void TEdit::CMTextChanged(TMessage&) {
  auto* e = Native<QLineEdit>(this);
  if (e->text().toStdString() != Text()) e->setText(Q(Text()));
  if (OnChange) OnChange(this);
}
void TEdit::SetMaxLength(int n) {
  max_length_ = n;
  Native<QLineEdit>(this)->setMaxLength(n > 0 ? n : 32767);
}
void TEdit::SetReadOnly(bool v) {
  read_only_ = v;
  Native<QLineEdit>(this)->setReadOnly(v);
}
void TEdit::SetPasswordChar(char c) {
  password_char_ = c;
  Native<QLineEdit>(this)->setEchoMode(c ? QLineEdit::Password : QLineEdit::Normal);
}
void TEdit::SelectAll() { Native<QLineEdit>(this)->selectAll(); }
int TEdit::SelStart() const {
  auto* e = Native<QLineEdit>(this);
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}
int TEdit::SelLength() const { return static_cast<int>(Native<QLineEdit>(this)->selectedText().size()); }
void TEdit::SetSelStart(int pos) { Native<QLineEdit>(this)->setCursorPosition(pos); }
void TEdit::SetSelLength(int len) {
  auto* e = Native<QLineEdit>(this);
  e->setSelection(e->cursorPosition(), len);
}

void TEdit::SetEditAlignment(TAlignment a) {
  edit_alignment_ = a;
  Native<QLineEdit>(this)->setAlignment((a == TAlignment::taRightJustify ? Qt::AlignRight : Qt::AlignLeft) |
                                        Qt::AlignVCenter);
}
void TEdit::SetTextMargins(int left, int right) {
  margin_left_ = left;
  margin_right_ = right;
  Native<QLineEdit>(this)->setTextMargins(left, 0, right, 0);
}
void TEdit::CMColorChanged(TMessage&) {
  auto* e = Native<QLineEdit>(this);
  QPalette pal = e->palette();
  pal.setColor(QPalette::Base, ToQColor(Color()));
  e->setPalette(pal);
  Invalidate();
}
void TEdit::SetNativeFrame(bool on) { Native<QLineEdit>(this)->setFrame(on); }
std::string TEdit::SelText() const { return Native<QLineEdit>(this)->selectedText().toStdString(); }
void TEdit::PasteFromClipboard() {
  if (!read_only_) Native<QLineEdit>(this)->paste();
}
void TEdit::CutToClipboard() {
  if (!read_only_) Native<QLineEdit>(this)->cut();
}
void TEdit::SetNativeClipboardMenu(bool on) {
  Native<QLineEdit>(this)->setContextMenuPolicy(on ? Qt::DefaultContextMenu : Qt::NoContextMenu);
}

// ---------------------------------------------------------------------------------------------
TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
  auto* c = new QComboBox;
  c->setEditable(true);
  SetNative(this, c);
  QObject::connect(c, &QComboBox::activated, [this](int) {
    GuardedCall([this] {
      SetText(Native<QComboBox>(this)->currentText().toStdString());
      if (OnSelect) OnSelect(this);
    });
  });
  QObject::connect(c, &QComboBox::editTextChanged,
                   [this](const QString& t) { GuardedCall([&] { SetText(t.toStdString()); }); });
  SetTabStop(true);
  SetBounds(0, 0, 145, 21);
  SetColor(clWindow);
}
TStringList& TComboBox::Items() {
  MarkItemsDirty(this, items_dirty_, [this] { SyncItems(); });
  return items_;
}
void TComboBox::SyncItems() {
  if (!items_dirty_) return;
  items_dirty_ = false;
  auto* c = Native<QComboBox>(this);
  // Reading the list through Items() marks it changed too: a list that is still the same keeps
  // the shown choice.
  bool same = c->count() == items_.Count();
  for (int i = 0; same && i < items_.Count(); ++i) same = c->itemText(i) == Q(items_[i]);
  if (same) return;
  QSignalBlocker block(c);
  QString text = c->currentText();
  c->clear();
  for (int i = 0; i < items_.Count(); ++i) c->addItem(Q(items_[i]));
  if (style_ == TComboBoxStyle::csDropDownList)
    c->setCurrentIndex(-1);
  else
    c->setEditText(text);
}
int TComboBox::ItemIndex() {
  SyncItems();
  auto* c = Native<QComboBox>(this);
  int i = c->findText(c->currentText(), Qt::MatchExactly);
  return i;
}
void TComboBox::SetItemIndex(int index) {
  SyncItems();
  auto* c = Native<QComboBox>(this);
  {
    QSignalBlocker block(c);
    c->setCurrentIndex(index);
    if (index < 0) c->setEditText("");
  }
  TControl::SetText(index >= 0 && index < items_.Count() ? items_[index] : "");
}
void TComboBox::SetStyle(TComboBoxStyle s) {
  style_ = s;
  Native<QComboBox>(this)->setEditable(s == TComboBoxStyle::csDropDown || s == TComboBoxStyle::csSimple);
}
void TComboBox::SetDropDownCount(int n) {
  drop_down_count_ = n;
  Native<QComboBox>(this)->setMaxVisibleItems(n);
}
void TComboBox::CMTextChanged(TMessage&) {
  auto* c = Native<QComboBox>(this);
  if (c->isEditable() && c->currentText().toStdString() != Text()) {
    QSignalBlocker block(c);
    c->setEditText(Q(Text()));
  }
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------
TMemo::TMemo(TComponent* owner) : TWinControl(owner) {
  auto* m = new QPlainTextEdit;
  SetNative(this, m);
  QObject::connect(m, &QPlainTextEdit::textChanged, [this, m] {
    GuardedCall([&] {
      if (showing_) return;
      // The user's edit: the lines follow the box.
      lines_.clear();
      const std::string text = m->toPlainText().toStdString();
      size_t start = 0;
      for (;;) {
        const size_t lf = text.find('\n', start);
        lines_.push_back(text.substr(start, lf == std::string::npos ? std::string::npos : lf - start));
        if (lf == std::string::npos) break;
        start = lf + 1;
      }
      if (OnChange) OnChange(this);
    });
  });
  SetTabStop(true);
  SetBounds(0, 0, 185, 89);
  SetColor(clWindow);
}
void TMemo::ShowLines(bool to_end) {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) text += '\n';
    text += lines_[i];
  }
  auto* m = Native<QPlainTextEdit>(this);
  showing_ = true;
  m->setPlainText(Q(text));
  showing_ = false;
  m->moveCursor(to_end ? QTextCursor::End : QTextCursor::Start);
  m->ensureCursorVisible();
}
std::string TMemo::LinesText() const {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i) text += "\r\n";
    text += lines_[i];
  }
  return text;
}
void TMemo::SetLinesText(const std::string& text) {
  lines_.clear();
  size_t start = 0;
  if (!text.empty())
    for (;;) {
      const size_t lf = text.find_first_of("\r\n", start);
      lines_.push_back(text.substr(start, lf == std::string::npos ? std::string::npos : lf - start));
      if (lf == std::string::npos) break;
      start = lf + (text[lf] == '\r' && lf + 1 < text.size() && text[lf + 1] == '\n' ? 2 : 1);
      if (start == text.size()) {
        lines_.emplace_back();
        break;
      }
    }
  ShowLines(false);
}
std::string TMemo::ShownText() const { return Native<QPlainTextEdit>(this)->toPlainText().toStdString(); }
void TMemo::AddLine(const std::string& line) {
  lines_.push_back(line);
  ShowLines(true);
}
void TMemo::SetLines(std::vector<std::string> lines, bool to_end) {
  lines_ = std::move(lines);
  ShowLines(to_end);
}
int TMemo::TopLine() const {
  const auto* m = Native<QPlainTextEdit>(this);
  return m->cursorForPosition(QPoint(0, 0)).blockNumber();
}
void TMemo::DeleteLine(int index) {
  if (index < 0 || index >= LineCount()) return;
  lines_.erase(lines_.begin() + index);
  ShowLines(true);
}
void TMemo::ClearLines() {
  lines_.clear();
  ShowLines(false);
}
void TMemo::SetReadOnly(bool v) {
  read_only_ = v;
  Native<QPlainTextEdit>(this)->setReadOnly(v);
}
void TMemo::SetWordWrap(bool v) {
  word_wrap_ = v;
  Native<QPlainTextEdit>(this)->setLineWrapMode(v ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}
void TMemo::SetScrollBars(bool horizontal, bool vertical) {
  auto* m = Native<QPlainTextEdit>(this);
  m->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  m->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}
void TMemo::CMColorChanged(TMessage&) {
  auto* m = Native<QPlainTextEdit>(this);
  QPalette pal = m->palette();
  pal.setColor(QPalette::Base, ToQColor(Color()));
  m->setPalette(pal);
}

TListBox::TListBox(TComponent* owner) : TWinControl(owner) {
  auto* l = new QListWidget;
  SetNative(this, l);
  QObject::connect(l, &QListWidget::itemClicked, [this](QListWidgetItem*) { GuardedCall([this] { Click(); }); });
  SetTabStop(true);
  SetBounds(0, 0, 121, 97);
  SetColor(clWindow);
}
TStringList& TListBox::Items() {
  MarkItemsDirty(this, items_dirty_, [this] { SyncItems(); });
  return items_;
}
void TListBox::SyncItems() {
  if (!items_dirty_) return;
  items_dirty_ = false;
  auto* l = Native<QListWidget>(this);
  int row = l->currentRow();
  l->clear();
  for (int i = 0; i < items_.Count(); ++i) l->addItem(Q(items_[i]));
  if (row < items_.Count()) l->setCurrentRow(row);
}
int TListBox::ItemIndex() {
  SyncItems();
  return Native<QListWidget>(this)->currentRow();
}
void TListBox::SetItemIndex(int index) {
  SyncItems();
  Native<QListWidget>(this)->setCurrentRow(index);
}
void TListBox::SetMultiSelect(bool v) {
  multi_select_ = v;
  Native<QListWidget>(this)->setSelectionMode(v ? QAbstractItemView::MultiSelection
                                                : QAbstractItemView::SingleSelection);
}
bool TListBox::Selected(int index) {
  SyncItems();
  auto* item = Native<QListWidget>(this)->item(index);
  return item && item->isSelected();
}
void TListBox::SetSelected(int index, bool v) {
  SyncItems();
  if (auto* item = Native<QListWidget>(this)->item(index)) item->setSelected(v);
}

// ---------------------------------------------------------------------------------------------
TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  control_style_ =
      csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks | csReplicatable;
  SetBounds(0, 0, 185, 105);
  SetColor(clBtnFace);
}
void TGroupBox::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().Style = TBrushStyle::bsSolid;
  c.Brush().Color = Color();
  c.FillRect(ClientRect());
  // An etched frame whose top runs through the middle of the caption.
  const int h = c.TextHeight("0");
  TRect outer = Rect(0, h / 2, Width() - 1, Height() - 1);
  Frame3D(c, outer, clBtnShadow, clBtnShadow, 1);
  TRect inner = Rect(1, h / 2 + 1, Width(), Height());
  Frame3D(c, inner, clBtnHighlight, clBtnHighlight, 1);
  if (Caption().empty()) return;
  TRect text = Rect(8, 0, Width() - 8, h);
  c.DrawText(Caption(), text, DT_SINGLELINE | DT_CALCRECT);
  c.FillRect(Rect(text.Left - 1, 0, text.Right + 1, h));
  c.Brush().Style = TBrushStyle::bsClear;
  c.DrawText(Caption(), text, DT_SINGLELINE);
  c.Brush().Style = TBrushStyle::bsSolid;
}

// ---------------------------------------------------------------------------------------------
// The exclusion among siblings is kept here rather than by the native buttons, so that it holds
// the same for changes from code; a click on the checked button leaves it checked.
struct RadioButtonBridge {
  static void FromNative(TRadioButton* b, QRadioButton* native, bool checked) {
    if (checked) {
      b->SetChecked(true);
    } else if (b->checked_) {
      QSignalBlocker block(native);
      native->setChecked(true);
    }
  }
};

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
  auto* b = new QRadioButton;
  b->setAutoExclusive(false);
  SetNative(this, b);
  QObject::connect(b, &QRadioButton::toggled,
                   [this, b](bool on) { GuardedCall([&] { RadioButtonBridge::FromNative(this, b, on); }); });
  SetTabStop(true);
  SetBounds(0, 0, 113, 17);
}
void TRadioButton::SetChecked(bool v) {
  if (!StoreChanged(checked_, v)) return;
  auto* b = Native<QRadioButton>(this);
  if (b->isChecked() != v) {
    QSignalBlocker block(b);
    b->setChecked(v);
  }
  if (!v) return;
  if (TWinControl* parent = Parent()) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i));
      if (other && other != this) other->SetChecked(false);
    }
  }
  TWinControl::Click();
}
// A click (by mouse or from code) checks the button; on the checked one it changes nothing.
void TRadioButton::Click() {
  if (!checked_) SetChecked(true);
}
void TRadioButton::CMTextChanged(TMessage&) { Native<QRadioButton>(this)->setText(Q(Caption())); }

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner) {}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
  for (TRadioButton* b : buttons_) delete b;
  buttons_.clear();
  item_index_ = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    auto* b = new TRadioButton(this);
    b->SetParent(this);
    b->SetText(items[i]);
    const int index = static_cast<int>(i);
    b->OnClick = [this, index](TComponent*) {
      if (StoreChanged(item_index_, index)) Click();
    };
    buttons_.push_back(b);
  }
  ArrangeButtons();
}

void TRadioGroup::SetItemIndex(int index) {
  if (index < -1 || index >= ItemCount()) index = -1;
  if (index == item_index_) return;
  if (index < 0) {
    Button(item_index_)->SetChecked(false);
    item_index_ = -1;
    Click();
    return;
  }
  Button(index)->SetChecked(true);  // its OnClick stores the index and fires OnClick
}

void TRadioGroup::Resize() {
  TGroupBox::Resize();
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  const int top = 16;
  const int step = std::max(17, (Height() - top - 4) / ItemCount());
  for (size_t i = 0; i < buttons_.size(); ++i)
    buttons_[i]->SetBounds(8, top + static_cast<int>(i) * step, std::max(20, Width() - 16), 17);
}

// ---------------------------------------------------------------------------------------------
namespace {
QDateTime ToQDateTime(double value) {
  uint16_t y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
  DecodeDate(value, y, mo, d);
  DecodeTime(value, h, mi, sec, ms);
  return QDateTime(QDate(y, mo, d), QTime(h, mi, sec));
}
// The locale's short date format ("dd/mm/yyyy" in the runtime's letters, "/" its separator)
// in Qt's letters, where "mm" would be minutes.
QString QtDateFormat() {
  const TFormatSettings& fs = CurrentFormatSettings();
  QString out;
  for (char c : fs.ShortDateFormat) {
    if (c == 'm' || c == 'M')
      out += 'M';
    else if (c == 'd' || c == 'D')
      out += 'd';
    else if (c == 'y' || c == 'Y')
      out += 'y';
    else if (c == '/')
      out += QChar(fs.DateSeparator);
    else if (c != '"' && c != '\'')
      out += QChar(c);
  }
  return out.contains('M') && out.contains('d') && out.contains('y') ? out : QString("dd.MM.yyyy");
}
double FromQDateTime(const QDateTime& dt) {
  TDateTime date = 0, time = 0;
  TryEncodeDate(dt.date().year(), dt.date().month(), dt.date().day(), date);
  TryEncodeTime(dt.time().hour(), dt.time().minute(), dt.time().second(), 0, time);
  return date + time;
}
}  // namespace

TDateTimePicker::TDateTimePicker(TComponent* owner) : TWinControl(owner) {
  auto* e = new QDateTimeEdit;
  SetNative(this, e);
  QObject::connect(e, &QDateTimeEdit::dateTimeChanged, [this](const QDateTime& dt) {
    if (showing_) return;
    GuardedCall([&] {
      // The picker edits its own part only; the other part stays as it was.
      const double picked = FromQDateTime(dt);
      const double date = std::floor(value_), time = value_ - date;
      value_ = kind_ == TDateTimeKind::dtkDate ? std::floor(picked) + time : date + (picked - std::floor(picked));
      Change();
    });
  });
  SetTabStop(true);
  SetBounds(0, 0, 186, 21);
  SetColor(clWindow);
  SetKind(TDateTimeKind::dtkDate);
}

void TDateTimePicker::SetKind(TDateTimeKind kind) {
  kind_ = kind;
  Native<QDateTimeEdit>(this)->setCalendarPopup(kind == TDateTimeKind::dtkDate);
  ApplyFormat();
}

void TDateTimePicker::ApplyFormat() {
  auto* e = Native<QDateTimeEdit>(this);
  const TFormatSettings& fs = CurrentFormatSettings();
  const QLocale locale = fs.LocaleName.empty() ? QLocale::c() : QLocale(QString::fromStdString(fs.LocaleName));
  showing_ = true;
  e->setLocale(locale);
  if (QCalendarWidget* calendar = e->calendarWidget()) calendar->setLocale(locale);
  e->setDisplayFormat(kind_ == TDateTimeKind::dtkDate ? QtDateFormat() : QString("HH:mm:ss"));
  showing_ = false;
  ShowValue();
}

std::string TDateTimePicker::ShownText() const { return Native<QDateTimeEdit>(this)->text().toStdString(); }

void TDateTimePicker::SetDateTime(double value) {
  value_ = value;
  ShowValue();
}

void TDateTimePicker::ShowValue() {
  showing_ = true;
  Native<QDateTimeEdit>(this)->setDateTime(ToQDateTime(value_));
  showing_ = false;
}

void TDateTimePicker::Change() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------
TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  auto* bar = new QScrollBar(Qt::Vertical);
  SetNative(this, bar);
  bar->setRange(min_, max_);
  QObject::connect(bar, &QAbstractSlider::actionTriggered, [this, bar](int action) {
    GuardedCall([&] {
      switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: Scroll(TScrollCode::scLineDown, position_ + 1); break;
        case QAbstractSlider::SliderSingleStepSub: Scroll(TScrollCode::scLineUp, position_ - 1); break;
        case QAbstractSlider::SliderPageStepAdd: Scroll(TScrollCode::scPageDown, position_ + bar->pageStep()); break;
        case QAbstractSlider::SliderPageStepSub: Scroll(TScrollCode::scPageUp, position_ - bar->pageStep()); break;
        case QAbstractSlider::SliderMove: Scroll(TScrollCode::scTrack, bar->sliderPosition()); break;
        default: break;
      }
    });
  });
  QObject::connect(bar, &QAbstractSlider::sliderReleased,
                   [this, bar] { GuardedCall([&] { Scroll(TScrollCode::scPosition, bar->sliderPosition()); }); });
  SetBounds(0, 0, 17, 121);
}

void TScrollBar::SetKind(TScrollBarKind kind) {
  kind_ = kind;
  Native<QScrollBar>(this)->setOrientation(kind == TScrollBarKind::sbVertical ? Qt::Vertical : Qt::Horizontal);
}

void TScrollBar::SetPageSize(int page) {
  auto* bar = Native<QScrollBar>(this);
  QSignalBlocker block(bar);
  bar->setPageStep(std::max(1, page));
}

void TScrollBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  auto* bar = Native<QScrollBar>(this);
  QSignalBlocker block(bar);
  bar->setRange(min_, max_);
  SetPosition(position_);
}

void TScrollBar::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  auto* bar = Native<QScrollBar>(this);
  QSignalBlocker block(bar);
  bar->setSliderPosition(position_);
  bar->setValue(position_);
}

void TScrollBar::Scroll(TScrollCode code, int position) {
  position = std::clamp(position, min_, max_);
  if (OnScroll) OnScroll(this, code, position);
  // While the thumb is dragged it shows where the user holds it; the handler's position counts
  // for every other move.
  if (code == TScrollCode::scTrack) return;
  SetPosition(position);
}

}  // namespace qv
