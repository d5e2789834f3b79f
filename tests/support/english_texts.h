#pragma once
// The shipped English texts, loaded for the lifetime of the object.
#include <memory>
#include <string>

#include "base/language_file.h"
#include "base/res_string.h"

namespace qv::test {

class EnglishTexts {
public:
  EnglishTexts() {
    auto texts = TLanguageTexts::Load(std::string(QV_SOURCE_DIR) + "/res/quarvel.ENU");
    if (texts) SetLanguageTexts(std::make_shared<const TLanguageTexts>(std::move(*texts)));
  }
  ~EnglishTexts() { SetLanguageTexts(nullptr); }
};

}  // namespace qv::test
