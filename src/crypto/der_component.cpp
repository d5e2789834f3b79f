#include "crypto/der_component.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "crypto/asym_cryptography.h"
#include "crypto/crypto_text.h"
#include "platform/rtl/file_io.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {

const char kEmailOid[] = "1.2.840.113549.1.9.1";

}  // namespace

void ReadDERName(const TDERNode& name, TStringList& lines, TDERTagMemory& tags) {
  TStringList out;
  for (int i = 0; i < name.ChildCount(); ++i) {
    const TDERNode& set = name.Expect(i, dcUniversal, der_tag::Set);
    for (int j = 0; j < set.ChildCount(); ++j) {
      const TDERNode& attr = set.Expect(j, dcUniversal, der_tag::Sequence);
      std::string oid = attr.Expect(0, dcUniversal, der_tag::Oid).OidText();
      const TDERNode* value = attr.Child(1);
      if (!value || value->ChildCount() > 0) throw EASN1Error("Error: unexpected DER structure");
      const std::string line = oid + "=" + value->ContentText();
      tags[line] = TDERTag{value->TagClass(), value->Tag()};
      out.Add(line);
    }
  }
  lines.Assign(out);
}

void WriteDERName(TDERNode& name, const TStringList& lines, const TDERTagMemory& tags) {
  name.SetTag(dcUniversal, der_tag::Sequence);
  for (int i = 0; i < lines.Count(); ++i) {
    std::string value = Trim(lines.ValueFromIndex(i));
    if (value.empty()) continue;
    std::string oid = lines.Names(i);
    TDERNode* set = name.AddChild();
    set->SetTag(dcUniversal, der_tag::Set);
    TDERNode* attr = set->AddChild();
    attr->AddChild()->SetOID(oid);
    TDERNode* text = attr->AddChild();
    auto known = tags.find(lines[i]);
    if (known != tags.end())
      text->SetTag(known->second.tag_class, known->second.tag);
    else if (oid == kEmailOid)
      text->SetTag(dcUniversal, der_tag::IA5String);
    text->SetPrintableString(value);
  }
}

void WriteDERKeyInfo(TDERNode& info, const std::string& algorithm, const std::string& key_hex) {
  TDERNode* alg = info.AddChild();
  alg->AddChild()->SetOID(algorithm);
  alg->AddChild()->SetNull();
  info.AddChild()->SetBitStringHex(key_hex);
}

void ReadDERKeyInfo(const TDERNode& info, std::string& algorithm, std::string& key_hex) {
  algorithm = info.Expect(0, dcUniversal, der_tag::Sequence).Expect(0, dcUniversal, der_tag::Oid).OidText();
  key_hex = info.Expect(1, dcUniversal, der_tag::BitString).BitStringHex();
}

TAS_DERComponent::TAS_DERComponent(TComponent* owner) : TAS_Component(owner) {}

TAS_DERComponent::~TAS_DERComponent() {
  if (signing_helper_) UnlinkFrom(signing_helper_);
}

void TAS_DERComponent::SetDERCodeDesignate(const std::string& hex) {
  if (hex == der_code_) return;
  if (hex.empty()) {
    der_code_.clear();
    Fire(OnChangeDERCode, this);
    return;
  }
  // Everything is read and checked before any field changes.
  TDERNode root;
  root.ParseHex(hex);
  if (root.TagClass() != dcUniversal || root.Tag() != der_tag::Sequence)
    throw EASN1Error("Error: unexpected DER structure");
  const TDERNode& body = root.Expect(0, dcUniversal, der_tag::Sequence);
  std::string sig_alg, sig_value;
  if (should_be_signed_) {
    sig_alg = root.Expect(1, dcUniversal, der_tag::Sequence).Expect(0, dcUniversal, der_tag::Oid).OidText();
    sig_value = root.Expect(2, dcUniversal, der_tag::BitString).BitStringHex();
  }
  ParseBody(body);
  der_code_ = hex;
  if (should_be_signed_) {
    SetSignatureAlgorithm(sig_alg);
    SetSignatureValue(sig_value);
  }
  Fire(OnChangeDERCode, this);
}

std::string TAS_DERComponent::GetDERCode() const { return der_code_.empty() ? BuildDER() : der_code_; }

std::string TAS_DERComponent::BuildBody() const {
  TDERNode body;
  BuildBodyNode(body);
  return body.ToHex();
}

std::string TAS_DERComponent::BuildDER() const {
  TDERNode root;
  root.SetTag(dcUniversal, der_tag::Sequence);
  BuildBodyNode(*root.AddChild());
  if (should_be_signed_) {
    TDERNode* alg = root.AddChild();
    alg->AddChild()->SetOID(signature_algorithm_);
    alg->AddChild()->SetNull();
    root.AddChild()->SetBitStringHex(signature_value_);
  }
  return root.ToHex();
}

void TAS_DERComponent::SetIsRoot(bool value) {
  if (!StoreChanged(is_root_, value)) return;
  if (value) SetParent(nullptr);
}

void TAS_DERComponent::SetParent(TAS_DERComponent* value) {
  if (value == parent_ || value == this) return;
  if (parent_) parent_->RemoveChildComponent(this);
  parent_ = value;
  if (value) {
    FreeNotification(value);
    is_root_ = false;
    value->AddChildComponent(this);
    if (signature_algorithm_.empty()) SetSignatureAlgorithm(value->SignatureAlgorithm());
  }
  Fire(OnChangeParent, this);
}

void TAS_DERComponent::AddChildComponent(TAS_DERComponent* child) {
  if (!child || std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  children_.push_back(child);
  FreeNotification(child);
}

void TAS_DERComponent::RemoveChildComponent(TAS_DERComponent* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
}

void TAS_DERComponent::SetPublicKeyAlgorithm(const std::string& value) {
  if (!StoreChanged(public_key_algorithm_, value)) return;
  Fire(OnChangePublicKeyAlgorithm, this);
}

void TAS_DERComponent::SetPublicKeyBitValue(const std::string& value) {
  if (!StoreChanged(public_key_bit_value_, value)) return;
  Fire(OnChangePublicKeyBitValue, this);
}

void TAS_DERComponent::SetSignatureAlgorithm(const std::string& value) {
  if (!StoreChanged(signature_algorithm_, value)) return;
  if (is_root_ && signing_helper_) signing_helper_->SetSignatureAlgorithm(value);
  NotifyLinked("SignatureAlgorithm");
  Fire(OnChangeSignatureAlgorithm, this);
}

void TAS_DERComponent::SetSignatureValue(const std::string& value) {
  if (!StoreChanged(signature_value_, value)) return;
  Fire(OnChangeSignatureValue, this);
}

void TAS_DERComponent::SetSigningHelper(TAS_AsymCryptography* value) {
  if (value == signing_helper_) return;
  if (signing_helper_) UnlinkFrom(signing_helper_);
  signing_helper_ = value;
  if (value) {
    SetPublicKeyAlgorithm(value->ObjectID());
    SetPublicKeyBitValue(value->PublicKeyBitValue());
    if (is_root_) SetSignatureAlgorithm(value->SignatureAlgorithm());
    LinkTo(value);
  }
  Fire(OnChangeSigningHelper, this);
}

void TAS_DERComponent::LinkedChanged(TAS_Component* sender, const std::string& prop_name) {
  if (!signing_helper_ || sender != signing_helper_) return;
  if (prop_name == "ObjectID")
    SetPublicKeyAlgorithm(signing_helper_->ObjectID());
  else if (prop_name == "PublicKey")
    SetPublicKeyBitValue(signing_helper_->PublicKeyBitValue());
  else if (prop_name == "SignatureAlgorithm" && is_root_)
    SetSignatureAlgorithm(signing_helper_->SignatureAlgorithm());
}

void TAS_DERComponent::Notification(TComponent* component, TOperation operation) {
  TAS_Component::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == parent_) parent_ = nullptr;
  if (component == signing_helper_) signing_helper_ = nullptr;
  // Compared as a plain component: the one going away is no longer a DER component.
  auto it = std::find_if(children_.begin(), children_.end(),
                         [&](TAS_DERComponent* c) { return static_cast<TComponent*>(c) == component; });
  if (it != children_.end()) children_.erase(it);
}

void TAS_DERComponent::TakeNameTags(const TAS_DERComponent& source) {
  for (const auto& [line, tag] : source.name_tags_) name_tags_[line] = tag;
}

void TAS_DERComponent::ClearFields() {
  name_tags_.clear();
  SetPublicKeyAlgorithm("");
  SetPublicKeyBitValue("");
  SetSignatureAlgorithm("");
  SetSignatureValue("");
}

void TAS_DERComponent::LoadFromStream(std::istream& stream) { SetDERCodeDesignate(HexLinesStreamToHexText(stream)); }

void TAS_DERComponent::SaveToStream(std::ostream& stream) const {
  TStringList lines;
  HexTextToLines(GetDERCode(), lines, 16);
  for (int i = 0; i < lines.Count(); ++i) stream << lines[i] << "\r\n";
}

void TAS_DERComponent::LoadFromFile(const std::string& file_name) { SetDERCodeDesignate(FileToHexText(file_name)); }

bool TAS_DERComponent::LoadFromPEMFile(const std::string& file_name) {
  std::string title, der_hex;
  bool ok = ReadPEMFile(file_name, title, der_hex);
  if (ok) SetDERCodeDesignate(der_hex);
  pem_title_ = title;
  return ok;
}

void TAS_DERComponent::Assign(const TAS_DERComponent& source) {
  if (source.ClassName() != ClassName()) return;
  SetDERCodeDesignate(source.GetDERCode());
}

}  // namespace qv
