#include "platform/gui/printers.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <cstdio>

#include "platform/gui/forms.h"
#include "platform/gui/qt_private.h"

namespace qv {

// Pages print at this resolution; drawings scale by the printer's pixels per inch.
constexpr int kPrinterResolution = 300;

struct TPrinterImpl {
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<QPainter> painter;
  // A ".png" or ".bmp" output file: each page is drawn on an image of the page's size and saved.
  std::unique_ptr<QImage> image;
};

namespace {
// The picture format of an output file, null for a PDF file.
const char* ImageFormat(const std::string& file) {
  const QString ext = file.size() > 4 ? QString::fromStdString(file.substr(file.size() - 4)).toLower() : QString();
  return ext == ".png" ? "PNG" : ext == ".bmp" ? "BMP" : nullptr;
}
// Page n (from 1) of a picture output: the file itself, then name-2.ext, name-3.ext ...
std::string PageImageFile(const std::string& file, int page) {
  return page <= 1 ? file : file.substr(0, file.size() - 4) + "-" + std::to_string(page) + file.substr(file.size() - 4);
}
}  // namespace

TPrinter::TPrinter()
    : impl_(std::make_unique<TPrinterImpl>()),
      canvas_(std::make_unique<TCanvas>()),
      pixels_per_inch_(kPrinterResolution) {}
TPrinter::~TPrinter() {
  if (printing_) Abort();
}

std::vector<std::string> TPrinter::Printers() const {
  EnsureGui();
  std::vector<std::string> names;
  for (const QString& n : QPrinterInfo::availablePrinterNames()) names.push_back(n.toStdString());
  return names;
}

void TPrinter::SetPrinterIndex(int index) {
  if (printing_) throw EPrinter("Printing in progress");
  printer_index_ = index;
}

std::string TPrinter::PdfFile() const {
  if (!output_file_.empty()) return ImageFormat(output_file_) ? "" : output_file_;
  if (printer_index_ >= 0) return "";
  EnsureGui();
  if (!QPrinterInfo::defaultPrinterName().isEmpty() || !QPrinterInfo::availablePrinterNames().isEmpty()) return "";
  return ProposedPdfFile();
}

std::string TPrinter::ProposedPdfFile() const {
  EnsureGui();
  QString folder;
  if (!output_file_.empty() && !ImageFormat(output_file_))
    folder = QFileInfo(QString::fromStdString(output_file_)).absolutePath();
  // The documents folder even while it does not exist yet: it is made when the file is written.
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) folder = QDir::homePath() + "/Documents";
  std::string name = !FileTitle.empty()                             ? FileTitle
                     : !Title.empty()                               ? Title
                     : Application && !Application->Title().empty() ? Application->Title()
                                                                    : std::string("print");
  // A title may hold what a file name cannot.
  for (char& ch : name)
    if (ch == '/') ch = '-';
  return QDir(folder).filePath(QString::fromStdString(name) + ".pdf").toStdString();
}

std::string TPrinter::DeviceName() const {
  if (!output_file_.empty()) return "PDF: " + output_file_;
  if (const std::string pdf = PdfFile(); !pdf.empty()) return "PDF: " + pdf;
  if (printer_index_ < 0) {
    EnsureGui();
    return QPrinterInfo::defaultPrinterName().toStdString();
  }
  std::vector<std::string> names = Printers();
  return printer_index_ < static_cast<int>(names.size()) ? names[static_cast<size_t>(printer_index_)] : std::string();
}

void TPrinter::SetColor(bool color) {
  if (printing_) throw EPrinter("Printing in progress");
  color_ = color;
}

void TPrinter::BeginDoc() {
  EnsureGui();
  QV_GUI_THREAD();
  if (printing_) throw EPrinter("Printing in progress");
  doc_file_ = ImageFormat(output_file_) ? output_file_ : PdfFile();
  if (ImageFormat(output_file_)) {
    BeginImageDoc();
    return;
  }
  impl_->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrinter& p = *impl_->printer;
  p.setResolution(pixels_per_inch_);
  p.setDocName(QString::fromStdString(Title));
  p.setColorMode(color_ ? QPrinter::Color : QPrinter::GrayScale);
  p.setPageOrientation(orientation_ == TPrinterOrientation::poLandscape ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait);
  if (!doc_file_.empty()) {
    QDir().mkpath(QFileInfo(QString::fromStdString(doc_file_)).absolutePath());
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QString::fromStdString(doc_file_));
  } else if (printer_index_ >= 0) {
    std::vector<std::string> names = Printers();
    if (printer_index_ < static_cast<int>(names.size()))
      p.setPrinterName(QString::fromStdString(names[static_cast<size_t>(printer_index_)]));
  }
  impl_->painter = std::make_unique<QPainter>();
  if (!impl_->painter->begin(&p)) {
    impl_->painter.reset();
    impl_->printer.reset();
    throw EPrinter("Printer selected is not valid");
  }
  canvas_ = std::make_unique<TCanvas>();
  TCanvasImpl& c = canvas_->Impl();
  c.device = &p;
  c.running = impl_->painter.get();
  c.pixels_per_inch = pixels_per_inch_;
  printing_ = true;
  aborted_ = false;
  page_number_ = 1;
}

void TPrinter::BeginImageDoc() {
  impl_->image = std::make_unique<QImage>(PageWidth(), PageHeight(), QImage::Format_RGB32);
  impl_->image->fill(Qt::white);
  impl_->painter = std::make_unique<QPainter>(impl_->image.get());
  canvas_ = std::make_unique<TCanvas>();
  TCanvasImpl& c = canvas_->Impl();
  c.device = impl_->image.get();
  c.running = impl_->painter.get();
  c.pixels_per_inch = pixels_per_inch_;
  printing_ = true;
  aborted_ = false;
  page_number_ = 1;
}

void TPrinter::SaveImagePage() {
  QImage page = color_ ? *impl_->image : impl_->image->convertToFormat(QImage::Format_Grayscale8);
  const std::string file = PageImageFile(output_file_, page_number_);
  if (!page.save(QString::fromStdString(file), ImageFormat(output_file_))) throw EPrinter("Cannot write " + file);
}

void TPrinter::NewPage() {
  if (!printing_) throw EPrinter("Printer is not currently printing");
  if (impl_->image) {
    SaveImagePage();
    impl_->image->fill(Qt::white);
    ++page_number_;
    return;
  }
  // The next page takes the orientation set since the last one.
  impl_->printer->setPageOrientation(orientation_ == TPrinterOrientation::poLandscape ? QPageLayout::Landscape
                                                                                      : QPageLayout::Portrait);
  impl_->printer->newPage();
  ++page_number_;
}

void TPrinter::EndDoc() {
  if (!printing_) throw EPrinter("Printer is not currently printing");
  impl_->painter->end();
  impl_->painter.reset();
  if (impl_->image) {
    // The document ends whether or not its last page could be written.
    struct Done {
      TPrinter& p;
      ~Done() {
        p.impl_->image.reset();
        p.canvas_ = std::make_unique<TCanvas>();
        p.printing_ = false;
      }
    } done{*this};
    SaveImagePage();
    return;
  }
  impl_->printer.reset();
  canvas_ = std::make_unique<TCanvas>();
  printing_ = false;
}

void TPrinter::Abort() {
  if (!printing_) return;
  if (impl_->printer) impl_->printer->abort();
  impl_->painter->end();
  impl_->painter.reset();
  impl_->printer.reset();
  impl_->image.reset();
  canvas_ = std::make_unique<TCanvas>();
  if (!doc_file_.empty()) std::remove(doc_file_.c_str());
  printing_ = false;
  aborted_ = true;
}

namespace {
// The drawing area of a page at the printing resolution, or in millimetres.
QSize PageSize(const QPrinter* running, TPrinterOrientation orientation, int pixels_per_inch, bool mm) {
  const auto size = [mm](const QPrinter& p) {
    return mm ? QSize(p.widthMM(), p.heightMM()) : QSize(p.width(), p.height());
  };
  if (running) return size(*running);
  EnsureGui();
  QPrinter p(QPrinter::HighResolution);
  p.setResolution(pixels_per_inch);
  p.setPageOrientation(orientation == TPrinterOrientation::poLandscape ? QPageLayout::Landscape
                                                                       : QPageLayout::Portrait);
  return size(p);
}
}  // namespace

int TPrinter::PageWidth() const {
  return PageSize(impl_->printer.get(), orientation_, pixels_per_inch_, false).width();
}
int TPrinter::PageHeight() const {
  return PageSize(impl_->printer.get(), orientation_, pixels_per_inch_, false).height();
}
int TPrinter::PageWidthMM() const {
  return PageSize(impl_->printer.get(), orientation_, pixels_per_inch_, true).width();
}
int TPrinter::PageHeightMM() const {
  return PageSize(impl_->printer.get(), orientation_, pixels_per_inch_, true).height();
}

int TPrinter::PixelsPerInch() const { return pixels_per_inch_; }

void TPrinter::SetPixelsPerInch(int pixels_per_inch) {
  if (printing_) throw EPrinter("Printing in progress");
  pixels_per_inch_ = pixels_per_inch;
}

TCanvas& TPrinter::Canvas() { return *canvas_; }

TPrinter& Printer() {
  static TPrinter printer;
  return printer;
}

}  // namespace qv
