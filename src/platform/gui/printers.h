#pragma once
// The printer: pages drawn on a canvas and sent to a system printer or written to a PDF file.
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/graphics.h"

namespace qv {

QV_DECLARE_EXCEPTION(EPrinter, Exception);

enum class TPrinterOrientation { poPortrait, poLandscape };

struct TPrinterImpl;

class TPrinter {
public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // The system's printers by name, and the chosen one (-1: the default printer).
  std::vector<std::string> Printers() const;
  int PrinterIndex() const { return printer_index_; }
  void SetPrinterIndex(int index);
  // A file name makes the document a PDF file instead of a print job; a name ending in ".png" or
  // ".bmp" makes each page a picture (name.png, name-2.png ...) drawn the same way.
  const std::string& OutputFile() const { return output_file_; }
  void SetOutputFile(const std::string& file) { output_file_ = file; }
  // The PDF file the next document goes to: the output file, or on a machine without printers
  // (none chosen, none there) the proposed file; "" when it goes to a printer (or is a picture).
  std::string PdfFile() const;
  // The PDF file proposed for the next document: named after what is printed (FileTitle, else
  // Title, else the program), in the folder of the last PDF file chosen, else in the user's
  // documents folder.
  std::string ProposedPdfFile() const;
  // The name of the device the next document goes to: the PDF file, the chosen printer or the
  // system's default printer; empty when there is none (the printer index lies outside the list).
  std::string DeviceName() const;
  // Whether pages print in colour; off prints them in shades of grey.
  bool Color() const { return color_; }
  void SetColor(bool color);
  TPrinterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TPrinterOrientation o) { orientation_ = o; }
  // The job's title, and the name of what is printed (a page or an object) when the file
  // proposed for it should not carry the whole job title.
  std::string Title;
  std::string FileTitle;

  void BeginDoc();
  void NewPage();
  void EndDoc();
  // Ends the document without printing what was drawn.
  void Abort();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  int PageNumber() const { return page_number_; }
  // The page's drawing area in device pixels, and the device's pixels per inch.
  int PageWidth() const;
  int PageHeight() const;
  int PixelsPerInch() const;
  // 300 unless set: tests lower it where what they check does not depend on it, as every thin
  // line is drawn pixel by pixel.
  void SetPixelsPerInch(int pixels_per_inch);
  // The page's drawing area in millimetres.
  int PageWidthMM() const;
  int PageHeightMM() const;
  // Valid between BeginDoc and EndDoc.
  TCanvas& Canvas();

private:
  void BeginImageDoc();
  void SaveImagePage();
  std::unique_ptr<TPrinterImpl> impl_;
  std::unique_ptr<TCanvas> canvas_;
  std::string output_file_;
  // The PDF file of the running document.
  std::string doc_file_;
  TPrinterOrientation orientation_ = TPrinterOrientation::poPortrait;
  int printer_index_ = -1;
  bool color_ = true;
  bool printing_ = false;
  bool aborted_ = false;
  int page_number_ = 0;
  int pixels_per_inch_;
};

// The program's printer.
TPrinter& Printer();

}  // namespace qv
