#include "archive/dy_document_file.h"

#include <cstring>

#include "base/res_string.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/text_utils.h"

namespace qv {

namespace {

// The line that ends the region the first signature digest covers.
bool IsContentEndLine(std::string_view line) { return SameText(line, "  </DocContent>"); }

void CheckValue(const std::string& tag, const std::string& value, bool multi_line, const char* element) {
  bool bad = value.find("</" + tag + ">") != std::string::npos;
  if (!multi_line) {
    bad = bad || value.find_first_of("\r\n") != std::string::npos;
  } else {
    for (const std::string& line : SplitDocumentLines(value)) bad = bad || IsContentEndLine(line);
  }
  if (bad) throw Exception(LoadResString("DY_XMLValueError") + " [" + element + "] " + tag);
}

void CheckChannels(const TDY_ChannelList& channels, const char* element) {
  for (int i = 0; i < channels.Count(); ++i) {
    const TDY_Channel& c = *channels.Get(i);
    CheckValue("DeviceName", c.Device->DeviceName, false, element);
    CheckValue("DeviceSName", c.Device->DeviceSName, false, element);
    CheckValue("ChannelName", c.ChannelName, false, element);
    CheckValue("ChannelSName", c.ChannelSName, false, element);
    CheckValue("Unit", c.Unit, false, element);
  }
}

}  // namespace

void CheckDocContentValues(const TDY_DocContent& content) {
  const TDY_DocInfo& info = content.DocInfo;
  for (const auto& [tag, value] : {std::pair<const char*, const std::string*>{"Title", &info.Title},
                                   {"Name", &info.Name},
                                   {"FileName", &info.FileName},
                                   {"CreateUser", &info.CreateUser},
                                   {"TypeName", &info.TypeName},
                                   {"User", &info.User}})
    CheckValue(tag, *value, false, "DocInfo");
  CheckChannels(content.Channels, "Channel");
  for (int i = 0; i < content.Chapters.Count(); ++i)
    CheckValue("Title", content.Chapters.Get(i)->Title, false, "Chapter");
  for (int i = 0; i < content.Comments.Count(); ++i)
    CheckValue("Text", content.Comments.Get(i)->Text, true, "Comments");
  for (int i = 0; i < content.AuditLog.Count(); ++i) {
    const TDY_AuditEvent& event = content.AuditLog.Get(i);
    CheckValue("UserName", event.EventUserName(), false, "AuditLog");
    CheckValue("Subject", event.Subject, false, "AuditLog");
    CheckValue("Comment", event.Comment, true, "AuditLog");
  }
  for (int i = 0; i < content.Tables.Count(); ++i) {
    CheckValue("Name", content.Tables.Get(i)->Name, false, "Tables");
    CheckChannels(content.Tables.Get(i)->Channels, "Tables");
  }
  for (int i = 0; i < content.Diagrams.Count(); ++i) {
    CheckValue("Name", content.Diagrams.Get(i)->Name, false, "Diagrams");
    CheckChannels(content.Diagrams.Get(i)->Channels, "Diagrams");
  }
}

TXmlLines DocumentFileLines(const TDY_DocContent& content, const TXmlLines& signature_lines) {
  TXmlLines lines;
  lines.reserve(static_cast<size_t>(content.Data.Count()) + 256 + signature_lines.size());
  lines.push_back(XmlDeclarationLine);
  lines.push_back(DocumentRootOpenLine);
  WriteDocContentXml(content, lines, 1);
  lines.insert(lines.end(), signature_lines.begin(), signature_lines.end());
  lines.push_back(DocumentRootCloseLine);
  return lines;
}

void WriteDocumentFile(const std::string& file_name, const TDY_DocContent& content, const TXmlLines& signature_lines) {
  CheckDocContentValues(content);
  std::string bytes;
  bytes.reserve(static_cast<size_t>(content.Data.Count()) * 96 + 16384);
  bytes += std::string(XmlDeclarationLine) + "\r\n" + DocumentRootOpenLine + "\r\n";
  AppendDocContentText(content, bytes, 1);
  for (const std::string& line : signature_lines) bytes += line + "\r\n";
  bytes += std::string(DocumentRootCloseLine) + "\r\n";
  WriteFileAtomic(file_name, bytes);
}

TXmlLines SplitDocumentLines(const std::string& bytes) {
  const TXmlLineViews views = SplitDocumentLineViews(bytes);
  return TXmlLines(views.begin(), views.end());
}

TXmlLineViews SplitDocumentLineViews(std::string_view bytes) {
  TXmlLineViews lines;
  lines.reserve(bytes.size() / 64 + 1);
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* limit = lf ? lf : end;
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(limit - p)));
    const char* stop = cr ? cr : limit;
    lines.emplace_back(p, stop);
    if (stop == end) break;
    p = stop + 1;
    if (cr && p < end && *p == '\n') ++p;  // CR LF is one break
  }
  return lines;
}

bool ReadDocumentFile(const std::string& file_name, TDY_DocContent& content, std::string& error,
                      TXmlLines* signature_lines) {
  error = LoadResString("KD_DocNotValid");
  std::string bytes;
  try {
    bytes = ReadFileBytes(file_name);
  } catch (const Exception& e) {
    error += " " + e.Message();
    return false;
  }
  const TXmlLineViews lines = SplitDocumentLineViews(bytes);
  if (lines.size() < 3 || lines[0] != XmlDeclarationLine) return false;
  TDY_DocContent fresh;
  int index = 2;  // the root line is not read
  try {
    if (!ReadDocContentXml(fresh, lines, index)) return false;
  } catch (const EConvertError& e) {
    error += " " + e.Message();
    return false;
  }
  // The content must have ended on its own closing line and the file on the root's: anything
  // else is a damaged or cut-off file, never a shorter document.
  if (!IsContentEndLine(XmlLineAt(lines, index - 1))) return false;
  int last = static_cast<int>(lines.size()) - 1;
  while (last >= index && Trim(lines[static_cast<size_t>(last)]).empty()) --last;
  if (last < index || Trim(lines[static_cast<size_t>(last)]) != DocumentRootCloseLine) return false;
  if (signature_lines) signature_lines->assign(lines.begin() + index, lines.begin() + last);
  content = std::move(fresh);
  error.clear();
  return true;
}

}  // namespace qv
