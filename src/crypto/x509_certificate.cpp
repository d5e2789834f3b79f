#include "crypto/x509_certificate.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "crypto/crypto_text.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {

[[noreturn]] void BadStructure() { throw EASN1Error("Error: unexpected DER structure"); }

// A time keeps the type it was read with. A new text with a four-digit year (YYYYMMDDHHMMSSZ)
// is a GeneralizedTime, any other a UTCTime.
void WriteTime(TDERNode& node, const std::string& text, const TDERTagMemory& tags) {
  auto known = tags.find(text);
  if (known != tags.end())
    node.SetTag(known->second.tag_class, known->second.tag);
  else if (text.size() >= 14 &&
           std::all_of(text.begin(), text.begin() + 14, [](char c) { return c >= '0' && c <= '9'; }))
    node.SetTag(dcUniversal, der_tag::GeneralizedTime);
  node.SetUTCTime(text);
}

std::string FlagHex(uint8_t flag) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", flag);
  return text;
}

}  // namespace

// ---- certificate ----

TAS_X509Certificate::TAS_X509Certificate(TComponent* owner) : TAS_DERComponent(owner) { SetPEMTitle("CERTIFICATE"); }

void TAS_X509Certificate::BuildBodyNode(TDERNode& tbs) const {
  tbs.SetTag(dcUniversal, der_tag::Sequence);
  if (version_ != 0) {
    TDERNode* v = tbs.AddChild();
    v->SetTag(dcContext, 0);
    v->AddChild()->SetInteger(version_ - 1);
  }
  tbs.AddChild()->SetIntegerHex(serial_number_);
  TDERNode* alg = tbs.AddChild();
  alg->AddChild()->SetOID(signature_algo_);
  alg->AddChild()->SetNull();
  WriteDERName(*tbs.AddChild(), issuer_, name_tags_);
  TDERNode* validity = tbs.AddChild();
  WriteTime(*validity->AddChild(), not_valid_before_, time_tags_);
  WriteTime(*validity->AddChild(), not_valid_after_, time_tags_);
  WriteDERName(*tbs.AddChild(), subject_, name_tags_);
  WriteDERKeyInfo(*tbs.AddChild(), PublicKeyAlgorithm(), PublicKeyBitValue());
  if (extensions_.Count() > 0) {
    TDERNode* wrap = tbs.AddChild();
    wrap->SetTag(dcContext, 3);
    TDERNode* list = wrap->AddChild();
    list->SetTag(dcUniversal, der_tag::Sequence);
    for (int i = 0; i < extensions_.Count(); ++i) {
      std::string value = extensions_.ValueFromIndex(i);
      std::string flag = value.size() >= 2 ? value.substr(value.size() - 2) : "00";
      if (value.size() >= 2) value.resize(value.size() - 2);
      TDERNode* ext = list->AddChild();
      ext->AddChild()->SetOID(extensions_.Names(i));
      if (flag != "00") {
        std::vector<uint8_t> b = HexTextToBytes(flag);
        ext->AddChild()->SetBoolean(b.empty() ? 0 : b[0]);
      }
      ext->AddChild()->SetOctetStringHex(value);
    }
  }
}

void TAS_X509Certificate::ParseBody(const TDERNode& tbs) {
  int version = 0;
  int at = 0;
  const TDERNode* first = tbs.Child(0);
  if (first && first->TagClass() == dcContext && first->Tag() == 0 &&
      (first->ChildCount() > 0 || !first->Content().empty())) {
    int64_t v = first->Expect(0, dcUniversal, der_tag::Integer).ContentInteger();
    if (v < 0 || v >= INT_MAX) BadStructure();
    version = static_cast<int>(v) + 1;
    at = 1;
  }
  std::string serial = tbs.Expect(at, dcUniversal, der_tag::Integer).ContentHex();
  std::string sig_algo =
      tbs.Expect(at + 1, dcUniversal, der_tag::Sequence).Expect(0, dcUniversal, der_tag::Oid).OidText();
  TStringList issuer, subject, extensions;
  TDERTagMemory name_tags, time_tags;
  ReadDERName(tbs.Expect(at + 2, dcUniversal, der_tag::Sequence), issuer, name_tags);
  const TDERNode& validity = tbs.Expect(at + 3, dcUniversal, der_tag::Sequence);
  const TDERNode* before = validity.Child(0);
  const TDERNode* after = validity.Child(1);
  if (!before || !after || before->Constructed() || after->Constructed()) BadStructure();
  for (const TDERNode* time : {before, after}) time_tags[time->ContentText()] = TDERTag{time->TagClass(), time->Tag()};
  ReadDERName(tbs.Expect(at + 4, dcUniversal, der_tag::Sequence), subject, name_tags);
  std::string key_alg, key_hex;
  ReadDERKeyInfo(tbs.Expect(at + 5, dcUniversal, der_tag::Sequence), key_alg, key_hex);
  for (int i = at + 6; i < tbs.ChildCount(); ++i) {
    const TDERNode& wrap = *tbs.Child(i);
    if (wrap.TagClass() != dcContext || wrap.Tag() != 3) continue;
    const TDERNode& list = wrap.Expect(0, dcUniversal, der_tag::Sequence);
    for (int j = 0; j < list.ChildCount(); ++j) {
      const TDERNode& ext = list.Expect(j, dcUniversal, der_tag::Sequence);
      std::string oid = ext.Expect(0, dcUniversal, der_tag::Oid).OidText();
      uint8_t flag = 0;
      int value_at = 1;
      const TDERNode* second = ext.Child(1);
      if (second && second->TagClass() == dcUniversal && second->Tag() == der_tag::Boolean) {
        if (second->Content().empty()) BadStructure();
        flag = second->Content()[0];
        value_at = 2;
      }
      extensions.Add(oid + "=" + ext.Expect(value_at, dcUniversal, der_tag::OctetString).ContentHex() + FlagHex(flag));
    }
    break;
  }
  // Everything read: now the fields change, in the order the setters expect.
  name_tags_ = std::move(name_tags);
  time_tags_ = std::move(time_tags);
  version_ = version;
  serial_number_ = serial;
  signature_algo_ = sig_algo;
  SetIssuer(issuer);
  not_valid_before_ = before->ContentText();
  not_valid_after_ = after->ContentText();
  SetSubject(subject);
  SetPublicKeyAlgorithm(key_alg);
  SetPublicKeyBitValue(key_hex);
  extensions_.Assign(extensions);
}

void TAS_X509Certificate::ClearFields() {
  TAS_DERComponent::ClearFields();
  version_ = 3;
  serial_number_.clear();
  not_valid_before_.clear();
  not_valid_after_.clear();
  time_tags_.clear();
  issuer_.Clear();
  subject_.Clear();
  extensions_.Clear();
  signature_algo_.clear();
}

void TAS_X509Certificate::SetSignatureAlgorithm(const std::string& value) {
  TAS_DERComponent::SetSignatureAlgorithm(value);
  signature_algo_ = value;
}

void TAS_X509Certificate::SetIsRoot(bool value) {
  bool changed = value != is_root_;
  TAS_DERComponent::SetIsRoot(value);
  if (changed && value) SetSubject(TStringList(issuer_));
}

void TAS_X509Certificate::SetParent(TAS_DERComponent* value) {
  bool changed = value != Parent() && value != this;
  TAS_DERComponent::SetParent(value);
  if (changed)
    if (auto* cert = dynamic_cast<TAS_X509Certificate*>(value)) {
      issuer_.Assign(cert->Subject());
      TakeNameTags(*cert);
    }
}

void TAS_X509Certificate::SetIssuer(const TStringList& lines) {
  issuer_.Assign(lines);
  if (is_root_) SetSubject(lines);
}

void TAS_X509Certificate::SetSubject(const TStringList& lines) {
  subject_.Assign(lines);
  for (TAS_DERComponent* child : ChildComponents())
    if (auto* cert = dynamic_cast<TAS_X509Certificate*>(child)) {
      cert->issuer_.Assign(lines);
      cert->TakeNameTags(*this);
    }
}

void TAS_X509Certificate::SetRequest(TAS_X509CertRequest* value) {
  if (!StoreChanged(request_, value)) return;
  if (value) {
    FreeNotification(value);
    value->SetCertificate(this);
  }
}

void TAS_X509Certificate::Notification(TComponent* component, TOperation operation) {
  TAS_DERComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && static_cast<TComponent*>(request_) == component) request_ = nullptr;
}

// ---- request ----

TAS_X509CertRequest::TAS_X509CertRequest(TComponent* owner) : TAS_DERComponent(owner) {
  SetPEMTitle("NEW CERTIFICATE REQUEST");
}

void TAS_X509CertRequest::BuildBodyNode(TDERNode& info) const {
  info.SetTag(dcUniversal, der_tag::Sequence);
  info.AddChild()->SetInteger(version_);
  WriteDERName(*info.AddChild(), subject_, name_tags_);
  WriteDERKeyInfo(*info.AddChild(), PublicKeyAlgorithm(), PublicKeyBitValue());
  TDERNode* attributes = info.AddChild();
  attributes->SetTag(dcContext, 0);
  attributes->SetContainer(true);
}

void TAS_X509CertRequest::ParseBody(const TDERNode& info) {
  int version = 0;
  const TDERNode* first = info.Child(0);
  if (first && first->TagClass() == dcUniversal && first->Tag() == der_tag::Integer) {
    int64_t v = first->ContentInteger();
    if (v < INT_MIN || v > INT_MAX) BadStructure();
    version = static_cast<int>(v);
  }
  TStringList subject;
  TDERTagMemory name_tags;
  ReadDERName(info.Expect(1, dcUniversal, der_tag::Sequence), subject, name_tags);
  std::string key_alg, key_hex;
  ReadDERKeyInfo(info.Expect(2, dcUniversal, der_tag::Sequence), key_alg, key_hex);
  name_tags_ = std::move(name_tags);
  version_ = version;
  SetSubject(subject);
  SetPublicKeyAlgorithm(key_alg);
  SetPublicKeyBitValue(key_hex);
}

void TAS_X509CertRequest::ClearFields() {
  TAS_DERComponent::ClearFields();
  version_ = 0;
  SetSubject(TStringList());
}

void TAS_X509CertRequest::SetSubject(const TStringList& lines) {
  subject_.Assign(lines);
  if (certificate_) {
    certificate_->TakeNameTags(*this);
    certificate_->SetSubject(lines);
  }
}

void TAS_X509CertRequest::SetPublicKeyAlgorithm(const std::string& value) {
  TAS_DERComponent::SetPublicKeyAlgorithm(value);
  if (certificate_) certificate_->SetPublicKeyAlgorithm(value);
}

void TAS_X509CertRequest::SetPublicKeyBitValue(const std::string& value) {
  TAS_DERComponent::SetPublicKeyBitValue(value);
  if (certificate_) certificate_->SetPublicKeyBitValue(value);
}

void TAS_X509CertRequest::SetCertificate(TAS_X509Certificate* value) {
  if (!StoreChanged(certificate_, value)) return;
  if (!value) return;
  FreeNotification(value);
  value->SetRequest(this);
  value->TakeNameTags(*this);
  value->SetSubject(subject_);
  value->SetPublicKeyAlgorithm(PublicKeyAlgorithm());
  value->SetPublicKeyBitValue(PublicKeyBitValue());
}

void TAS_X509CertRequest::Notification(TComponent* component, TOperation operation) {
  TAS_DERComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && static_cast<TComponent*>(certificate_) == component) certificate_ = nullptr;
}

}  // namespace qv
