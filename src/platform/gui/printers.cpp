#include "platform/gui/printers.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstdio>

#include "platform/gui/qt_private.h"

namespace qv {

// Pages print at this resolution; drawings scale by the printer's pixels per inch.
constexpr int kPrinterResolution = 300;

struct TPrinterImpl {
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<QPainter> painter;
};

TPrinter::TPrinter() : impl_(std::make_unique<TPrinterImpl>()), canvas_(std::make_unique<TCanvas>()) {}
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

void TPrinter::BeginDoc() {
  EnsureGui();
  QV_GUI_THREAD();
  if (printing_) throw EPrinter("Printing in progress");
  impl_->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrinter& p = *impl_->printer;
  p.setResolution(kPrinterResolution);
  p.setDocName(QString::fromStdString(Title));
  p.setPageOrientation(orientation_ == TPrinterOrientation::poLandscape ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait);
  if (!output_file_.empty()) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QString::fromStdString(output_file_));
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
  c.pixels_per_inch = kPrinterResolution;
  printing_ = true;
  aborted_ = false;
  page_number_ = 1;
}

void TPrinter::NewPage() {
  if (!printing_) throw EPrinter("Printer is not currently printing");
  impl_->printer->newPage();
  ++page_number_;
}

void TPrinter::EndDoc() {
  if (!printing_) throw EPrinter("Printer is not currently printing");
  impl_->painter->end();
  impl_->painter.reset();
  impl_->printer.reset();
  canvas_ = std::make_unique<TCanvas>();
  printing_ = false;
}

void TPrinter::Abort() {
  if (!printing_) return;
  impl_->printer->abort();
  impl_->painter->end();
  impl_->painter.reset();
  impl_->printer.reset();
  canvas_ = std::make_unique<TCanvas>();
  if (!output_file_.empty()) std::remove(output_file_.c_str());
  printing_ = false;
  aborted_ = true;
}

namespace {
// The drawing area of a page at the printing resolution.
QSize PageSize(const QPrinter* running, TPrinterOrientation orientation) {
  if (running) return QSize(running->width(), running->height());
  EnsureGui();
  QPrinter p(QPrinter::HighResolution);
  p.setResolution(kPrinterResolution);
  p.setPageOrientation(orientation == TPrinterOrientation::poLandscape ? QPageLayout::Landscape
                                                                       : QPageLayout::Portrait);
  return QSize(p.width(), p.height());
}
}  // namespace

int TPrinter::PageWidth() const { return PageSize(impl_->printer.get(), orientation_).width(); }
int TPrinter::PageHeight() const { return PageSize(impl_->printer.get(), orientation_).height(); }

int TPrinter::PixelsPerInch() const { return kPrinterResolution; }

TCanvas& TPrinter::Canvas() { return *canvas_; }

TPrinter& Printer() {
  static TPrinter printer;
  return printer;
}

}  // namespace qv
