#pragma once
// Hand-offs to the desktop: opening a file with the viewer the desktop has for its type.
#include <string>

namespace qv {

// False when no viewer could be started.
bool OpenDocumentFile(const std::string& file_name);

}  // namespace qv
