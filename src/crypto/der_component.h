#pragma once
// A component holding one signed DER structure (body, signature algorithm, signature value)
// as hexadecimal text and mapping it to and from its fields. Members build and read the body.
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "crypto/as_component.h"
#include "crypto/der_node.h"
#include "platform/rtl/string_list.h"

namespace qv {

class TAS_AsymCryptography;

// The tag a name value or a time was read with, by its line "OID=value" or its text, so that a
// structure rebuilt from its fields keeps each string and time type.
struct TDERTag {
  uint8_t tag_class = dcUniversal;
  uint32_t tag = 0;
};
using TDERTagMemory = std::map<std::string, TDERTag>;

class TAS_DERComponent : public TAS_Component {
public:
  explicit TAS_DERComponent(TComponent* owner = nullptr);
  ~TAS_DERComponent() override;
  std::string ClassName() const override { return "TAS_DERComponent"; }

  // Setting a non-empty text parses it into the fields; a text that does not parse raises
  // and changes nothing. An empty text keeps the fields.
  const std::string& DERCodeDesignate() const { return der_code_; }
  void SetDERCodeDesignate(const std::string& hex);
  // DERCodeDesignate when set, else the structure built from the fields.
  std::string GetDERCode() const;

  bool IsRoot() const { return is_root_; }
  virtual void SetIsRoot(bool value);
  TAS_DERComponent* Parent() const { return parent_; }
  virtual void SetParent(TAS_DERComponent* value);
  const std::vector<TAS_DERComponent*>& ChildComponents() const { return children_; }
  virtual void AddChildComponent(TAS_DERComponent* child);
  virtual void RemoveChildComponent(TAS_DERComponent* child);

  const std::string& PEMTitle() const { return pem_title_; }
  void SetPEMTitle(const std::string& value) { pem_title_ = value; }
  bool ShouldBeSigned() const { return should_be_signed_; }
  void SetShouldBeSigned(bool value) { should_be_signed_ = value; }

  const std::string& PublicKeyAlgorithm() const { return public_key_algorithm_; }
  virtual void SetPublicKeyAlgorithm(const std::string& value);
  const std::string& PublicKeyBitValue() const { return public_key_bit_value_; }
  virtual void SetPublicKeyBitValue(const std::string& value);
  const std::string& SignatureAlgorithm() const { return signature_algorithm_; }
  virtual void SetSignatureAlgorithm(const std::string& value);
  const std::string& SignatureValue() const { return signature_value_; }
  virtual void SetSignatureValue(const std::string& value);

  TAS_AsymCryptography* SigningHelper() const { return signing_helper_; }
  void SetSigningHelper(TAS_AsymCryptography* value);

  // The body's DER as hex text.
  std::string BuildBody() const;
  virtual void ParseBody(const TDERNode& body) = 0;
  virtual void ClearFields();
  virtual std::string BuildDER() const;

  // Hexadecimal DER text lines (only 0-9, A-Z, a-z count) into DERCodeDesignate.
  void LoadFromStream(std::istream& stream);
  // GetDERCode as lines of 16 space-separated byte pairs, each ended by CR LF.
  void SaveToStream(std::ostream& stream) const;
  // Binary DER file.
  void LoadFromFile(const std::string& file_name);
  // PEM file; PEMTitle receives the label found (empty without a matching pair).
  bool LoadFromPEMFile(const std::string& file_name);
  // From a component of the same class: its DER code.
  void Assign(const TAS_DERComponent& source);

  void LinkedChanged(TAS_Component* sender, const std::string& prop_name) override;

  // Tags of the name values read by the last parse, and of names copied from other components.
  const TDERTagMemory& NameTags() const { return name_tags_; }
  // Takes the source's name tags over, for name lines copied from it.
  void TakeNameTags(const TAS_DERComponent& source);

  TNotifyEvent OnChangeDERCode, OnChangeParent, OnChangePublicKeyAlgorithm, OnChangePublicKeyBitValue,
      OnChangeSigningHelper, OnChangeSignatureAlgorithm, OnChangeSignatureValue;

protected:
  virtual void BuildBodyNode(TDERNode& body) const = 0;
  void Notification(TComponent* component, TOperation operation) override;
  static void Fire(const TNotifyEvent& event, TComponent* sender) {
    if (event) event(sender);
  }

  bool is_root_ = true;
  TDERTagMemory name_tags_;

private:
  std::string der_code_;
  TAS_DERComponent* parent_ = nullptr;
  std::vector<TAS_DERComponent*> children_;
  std::string pem_title_;
  bool should_be_signed_ = true;
  std::string public_key_algorithm_, public_key_bit_value_;
  std::string signature_algorithm_, signature_value_;
  TAS_AsymCryptography* signing_helper_ = nullptr;
};

// Names: one line OID=value per attribute. A value is written with the tag remembered for its
// line, else as PrintableString (IA5String for the e-mail address).
void ReadDERName(const TDERNode& name, TStringList& lines, TDERTagMemory& tags);
void WriteDERName(TDERNode& name, const TStringList& lines, const TDERTagMemory& tags);
// SEQUENCE { SEQUENCE { OID algorithm, NULL }, BIT STRING key }
void WriteDERKeyInfo(TDERNode& info, const std::string& algorithm, const std::string& key_hex);
void ReadDERKeyInfo(const TDERNode& info, std::string& algorithm, std::string& key_hex);

}  // namespace qv
