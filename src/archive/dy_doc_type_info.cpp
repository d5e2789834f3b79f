#include "archive/dy_doc_type_info.h"

namespace qv {

std::string DocTypeNameError(const std::string&) { return std::string(); }

TDY_DocTypeInfo::TDY_DocTypeInfo() = default;
TDY_DocTypeInfo::~TDY_DocTypeInfo() = default;

void TDY_DocTypeInfo::Save(const std::string&) {}
bool TDY_DocTypeInfo::SaveLastData(TDateTime last_data) {
  LastData = last_data;
  return false;
}
bool TDY_DocTypeInfo::Load(const std::string&) { return false; }
void TDY_DocTypeInfo::WriteXml(TXmlLines&, int) const {}
bool TDY_DocTypeInfo::ReadXml(const TXmlLineViews&, int&) { return false; }
TXmlLines TDY_DocTypeInfo::FileLines() const { return {}; }

void TDY_DocTypeList::SaveToIni() {}
void TDY_DocTypeList::LoadFromIni() {}
int32_t TDY_DocTypeList::NextId() { return ++MaxDocTypeID; }
int32_t TDY_DocTypeList::MaxId() const { return 0; }
void TDY_DocTypeList::Delete(int index) { items_.erase(items_.begin() + index); }
TDY_DocTypeInfo* TDY_DocTypeList::FindId(int32_t) const { return nullptr; }

}  // namespace qv
