#include "platform/gui/common_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include "platform/gui/forms.h"
#include "platform/gui/printers.h"
#include "platform/gui/qt_private.h"

namespace qv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

TCommonDialogTextProc& TextProc() {
  static TCommonDialogTextProc proc;
  return proc;
}
TCommonDialogUser& User() {
  static TCommonDialogUser user;
  return user;
}

QAbstractButton* BoxButton(QDialog& dlg, int id) {
  for (QDialogButtonBox* box : dlg.findChildren<QDialogButtonBox*>()) {
    QAbstractButton* b = box->button(id == DlgOkId ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
    if (b) return b;
  }
  return nullptr;
}

// The file dialog's label for a control id; false for ids it has no label for.
bool FileLabel(int id, QFileDialog::DialogLabel& label) {
  switch (id) {
    case DlgOkId: label = QFileDialog::Accept; return true;
    case DlgCancelId: label = QFileDialog::Reject; return true;
    case DlgFileTypeId: label = QFileDialog::FileType; return true;
    case DlgFileNameId: label = QFileDialog::FileName; return true;
    case DlgLookInId: label = QFileDialog::LookIn; return true;
    default: return false;
  }
}

// Qt's dialog gives these labels no buddy, so an accelerator "&" would show as it stands.
QString WithoutAccelerator(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

void SetControlText(QDialog& dlg, int id, const std::string& text) {
  if (id == DlgTitleId) {
    dlg.setWindowTitle(Q(text));
  } else if (auto* file = qobject_cast<QFileDialog*>(&dlg)) {
    QFileDialog::DialogLabel label;
    if (!FileLabel(id, label)) return;
    const bool plain_label = label == QFileDialog::LookIn || label == QFileDialog::FileType;
    file->setLabelText(label, plain_label ? WithoutAccelerator(Q(text)) : Q(text));
  } else if (id == DlgOkId || id == DlgCancelId) {
    if (QAbstractButton* b = BoxButton(dlg, id)) b->setText(Q(text));
  }
}

std::string GetControlText(QDialog& dlg, int id) {
  if (id == DlgTitleId) return dlg.windowTitle().toStdString();
  if (auto* file = qobject_cast<QFileDialog*>(&dlg)) {
    QFileDialog::DialogLabel label;
    return FileLabel(id, label) ? file->labelText(label).toStdString() : "";
  }
  if (id == DlgOkId || id == DlgCancelId)
    if (QAbstractButton* b = BoxButton(dlg, id)) return b->text().toStdString();
  return "";
}

// The print dialog's destination list and file field (Qt's own print dialog names them so).
QComboBox* PrinterList(QDialog& dlg) { return dlg.findChild<QComboBox*>("printers"); }
QLineEdit* PrintFileField(QDialog& dlg) { return dlg.findChild<QLineEdit*>("filename"); }
// The entry of the destination list that prints to a PDF file: the last one.
bool FileEntryChosen(QComboBox* list) { return list && list->count() > 0 && list->currentIndex() == list->count() - 1; }

// A press and release of the left mouse button in the middle of the widget, as the window
// system delivers them.
void MouseClick(QWidget* w) {
  const QPointF local(w->width() / 2.0, w->height() / 2.0);
  const QPointF global = w->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

class Window : public TCommonDialogWindow {
public:
  explicit Window(QDialog& dlg) : dlg_(dlg) {}
  std::string ControlText(int id) const override { return GetControlText(dlg_, id); }
  bool SaveImage(const std::string& png_file) const override { return dlg_.grab().save(Q(png_file), "PNG"); }
  std::string PrintFile() const override {
    QLineEdit* field = PrintFileField(dlg_);
    return FileEntryChosen(PrinterList(dlg_)) && field ? field->text().toStdString() : "";
  }
  bool SetPrintFile(const std::string& file) override {
    QComboBox* list = PrinterList(dlg_);
    QLineEdit* field = PrintFileField(dlg_);
    if (!list || !field || list->count() == 0) return false;
    list->setCurrentIndex(list->count() - 1);
    field->setText(Q(file));
    return FileEntryChosen(list);
  }
  bool PressOk() override {
    QAbstractButton* ok = BoxButton(dlg_, DlgOkId);
    if (!ok || !ok->isEnabled()) return false;
    MouseClick(ok);
    return dlg_.result() == QDialog::Accepted;
  }

private:
  QDialog& dlg_;
};

}  // namespace

bool RunCommonDialog(TCommonDialog& d, QDialog& dlg, bool& read_back, const std::function<void()>& shown) {
  read_back = false;
  if (User()) {
    dlg.setResult(QDialog::Rejected);
    dlg.show();
    if (shown) shown();
    Window window(dlg);
    const bool ok = User()(d, window);
    // Accepted through its own button, the dialog's values count.
    read_back = dlg.result() == QDialog::Accepted;
    dlg.hide();
    return ok || read_back;
  }
  NestedLoop nested;
  if (shown) QTimer::singleShot(0, &dlg, shown);
  read_back = dlg.exec() == QDialog::Accepted;
  return read_back;
}

namespace {

// Pairs "description|patterns" of the caller's filter as Qt's "description (patterns)" lines.
QStringList QtFilters(const std::string& filter) {
  QStringList parts = Q(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    out << parts[i] + " (" + patterns + ")";
  }
  return out;
}

bool IsPictureFile(const std::string& file) {
  const QString name = Q(file).toLower();
  return name.endsWith(".png") || name.endsWith(".bmp");
}

// A printer set up as the program's printer is: its PDF file, or its chosen printer.
void PrepareQPrinter(QPrinter& p) {
  TPrinter& printer = Printer();
  const std::vector<std::string> names = printer.Printers();
  // Without a printer the dialog offers the PDF file, named after what is printed.
  p.setDocName(Q(printer.FileTitle.empty() ? printer.Title : printer.FileTitle));
  if (!printer.PdfFile().empty()) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(Q(printer.ProposedPdfFile()));
  } else if (printer.PrinterIndex() >= 0 && printer.PrinterIndex() < static_cast<int>(names.size())) {
    p.setPrinterName(Q(names[static_cast<size_t>(printer.PrinterIndex())]));
  }
  p.setPageOrientation(printer.Orientation() == TPrinterOrientation::poLandscape ? QPageLayout::Landscape
                                                                                 : QPageLayout::Portrait);
}

// What the user chose becomes the program's printer: a PDF file, or a system printer.
void TakeQPrinter(const QPrinter& p) {
  TPrinter& printer = Printer();
  if (p.outputFormat() == QPrinter::PdfFormat && !p.outputFileName().isEmpty()) {
    printer.SetOutputFile(p.outputFileName().toStdString());
  } else {
    // A picture output is no choice of the dialog's; it stays.
    if (!IsPictureFile(printer.OutputFile())) printer.SetOutputFile("");
    const std::vector<std::string> names = printer.Printers();
    for (size_t i = 0; i < names.size(); ++i)
      if (Q(names[i]) == p.printerName()) printer.SetPrinterIndex(static_cast<int>(i));
  }
  printer.SetOrientation(p.pageLayout().orientation() == QPageLayout::Landscape ? TPrinterOrientation::poLandscape
                                                                                : TPrinterOrientation::poPortrait);
}

}  // namespace

void ApplyTexts(TCommonDialogCode kind, QDialog& dlg, const std::string& title) {
  if (TextProc()) TextProc()(kind, [&](int id, const std::string& text) { SetControlText(dlg, id, text); });
  if (!title.empty()) dlg.setWindowTitle(Q(title));
}

void SetCommonDialogTextProc(TCommonDialogTextProc proc) { TextProc() = std::move(proc); }
void SetCommonDialogUser(TCommonDialogUser user) { User() = std::move(user); }

bool TOpenDialog::Execute() {
  QV_GUI_THREAD();
  EnsureGui();
  QFileDialog dlg(nullptr, QString(), Q(InitialDir));
  // Qt's own dialog, so that the program's language reaches its labels.
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setAcceptMode(IsSave() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (IsSave())
    dlg.setFileMode(QFileDialog::AnyFile);
  else if (Options & ofAllowMultiSelect)
    dlg.setFileMode(QFileDialog::ExistingFiles);
  else
    dlg.setFileMode((Options & ofFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dlg.setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofOverwritePrompt));
  dlg.setOption(QFileDialog::ReadOnly, (Options & ofReadOnly) != 0);
  const QStringList filters = QtFilters(Filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size()) dlg.selectNameFilter(filters[FilterIndex - 1]);
  }
  if (!DefaultExt.empty()) dlg.setDefaultSuffix(Q(DefaultExt));
  if (!FileName.empty()) dlg.selectFile(Q(FileName));
  ApplyTexts(IsSave() ? TCommonDialogCode::cdcSave : TCommonDialogCode::cdcOpen, dlg, Title);
  bool read_back = false;
  if (!RunCommonDialog(*this, dlg, read_back)) return false;
  if (read_back) {
    Files.Clear();
    for (const QString& f : dlg.selectedFiles()) Files.Add(f.toStdString());
    FileName = Files.Count() > 0 ? Files[0] : "";
    FilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
  }
  return true;
}

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner) {
  Filter = "All pictures|*.bmp;*.png;*.jpg;*.jpeg;*.ico|Bitmaps (*.bmp)|*.bmp|All files|*";
}

bool TPrintDialog::Execute() {
  QV_GUI_THREAD();
  EnsureGui();
  QPrinter printer(QPrinter::HighResolution);
  PrepareQPrinter(printer);
  printer.setCopyCount(Copies);
  if (MaxPage > 0) printer.setFromTo(FromPage, ToPage);
  QPrintDialog dlg(&printer);
  if (MaxPage > 0) {
    dlg.setMinMax(MinPage, MaxPage);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
  }
  ApplyTexts(TCommonDialogCode::cdcPrint, dlg, Title);
  bool read_back = false;
  // While a printer is chosen, printing to a file proposes the same file as without a printer,
  // not one in the working folder.
  const auto propose_file = [&dlg] {
    QLineEdit* field = PrintFileField(dlg);
    if (field && !FileEntryChosen(PrinterList(dlg))) field->setText(Q(Printer().ProposedPdfFile()));
  };
  if (!RunCommonDialog(*this, dlg, read_back, propose_file)) return false;
  if (read_back) {
    TakeQPrinter(printer);
    Copies = printer.copyCount();
    switch (dlg.printRange()) {
      case QAbstractPrintDialog::PageRange:
        PrintRange = TPrintRange::prPageNums;
        FromPage = dlg.fromPage();
        ToPage = dlg.toPage();
        break;
      case QAbstractPrintDialog::Selection: PrintRange = TPrintRange::prSelection; break;
      default: PrintRange = TPrintRange::prAllPages; break;
    }
  }
  return true;
}

bool TPrinterSetupDialog::Execute() {
  QV_GUI_THREAD();
  EnsureGui();
  QPrinter printer(QPrinter::HighResolution);
  PrepareQPrinter(printer);
  QPageSetupDialog dlg(&printer);
  ApplyTexts(TCommonDialogCode::cdcPrinterSetup, dlg, Title);
  bool read_back = false;
  if (!RunCommonDialog(*this, dlg, read_back)) return false;
  if (read_back) TakeQPrinter(printer);
  return true;
}

bool TFontDialog::Execute() {
  QV_GUI_THREAD();
  EnsureGui();
  // A font this system lacks (the older programs' "MS Sans Serif") opens as the GUI font.
  QFont initial(QFontDatabase::hasFamily(Q(Font.Name())) ? Q(Font.Name()) : QString("DejaVu Sans"));
  initial.setPointSize(Font.Size() > 0 ? Font.Size() : 8);
  initial.setBold(HasStyle(Font.Style(), TFontStyle::fsBold));
  initial.setItalic(HasStyle(Font.Style(), TFontStyle::fsItalic));
  initial.setUnderline(HasStyle(Font.Style(), TFontStyle::fsUnderline));
  initial.setStrikeOut(HasStyle(Font.Style(), TFontStyle::fsStrikeOut));
  QFontDialog dlg(initial);
  dlg.setOption(QFontDialog::DontUseNativeDialog, true);
  ApplyTexts(TCommonDialogCode::cdcFont, dlg, Title);
  bool read_back = false;
  if (!RunCommonDialog(*this, dlg, read_back)) return false;
  if (read_back) {
    const QFont f = dlg.selectedFont();
    Font.SetName(f.family().toStdString());
    if (f.pointSize() > 0) Font.SetSize(f.pointSize());
    TFontStyles style = 0;
    if (f.bold()) style |= static_cast<uint8_t>(TFontStyle::fsBold);
    if (f.italic()) style |= static_cast<uint8_t>(TFontStyle::fsItalic);
    if (f.underline()) style |= static_cast<uint8_t>(TFontStyle::fsUnderline);
    if (f.strikeOut()) style |= static_cast<uint8_t>(TFontStyle::fsStrikeOut);
    Font.SetStyle(style);
  }
  return true;
}

}  // namespace qv
