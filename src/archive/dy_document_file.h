#pragma once
// The document file: the XML declaration, the root element, the content, the signature element
// and the closing root line, CR LF after every line, no byte-order mark. It is rewritten
// atomically, and read into a fresh content that replaces the caller's only when the whole file
// was read.
#include <string>

#include "archive/dy_doc_content.h"

namespace qv {

inline constexpr const char* XmlDeclarationLine = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
inline constexpr const char* DocumentRootOpenLine = "<KiroDocument version=\"1.0\">";
inline constexpr const char* DocumentRootCloseLine = "</KiroDocument>";

// Raises Exception naming the element when a value cannot be stored so that it reads back
// unchanged: a value holding its own closing tag, a line break in a one-line value, or a line of a
// comment that would end the content early.
void CheckDocContentValues(const TDY_DocContent& content);

// The file's lines; signature_lines (at level 1) follow the content.
TXmlLines DocumentFileLines(const TDY_DocContent& content, const TXmlLines& signature_lines = {});
// Checks the values, then writes the file atomically; raises with the file name and reason.
void WriteDocumentFile(const std::string& file_name, const TDY_DocContent& content,
                       const TXmlLines& signature_lines = {});

// Splits at CR LF, CR or LF, keeping each line's bytes.
TXmlLines SplitDocumentLines(const std::string& bytes);
// The same as views into bytes.
TXmlLineViews SplitDocumentLineViews(std::string_view bytes);

// Reads the file into content; false (content untouched, error set) when it cannot be read, is
// no document, is damaged or truncated. The lines between the content and the closing root line
// go to signature_lines when given.
bool ReadDocumentFile(const std::string& file_name, TDY_DocContent& content, std::string& error,
                      TXmlLines* signature_lines = nullptr);

}  // namespace qv
