#pragma once
// X.509 certificates and PKCS #10 certificate requests as DER components. Names are lines
// OID=value, extensions lines OID=value hex followed by the critical flag byte.
#include <string>

#include "crypto/der_component.h"
#include "platform/rtl/string_list.h"

namespace qv {

class TAS_X509CertRequest;

class TAS_X509Certificate : public TAS_DERComponent {
public:
  explicit TAS_X509Certificate(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_X509Certificate"; }

  // 0: the version element is absent.
  int Version() const { return version_; }
  void SetVersion(int value) { version_ = value; }
  const std::string& SerialNumber() const { return serial_number_; }
  void SetSerialNumber(const std::string& hex) { serial_number_ = hex; }
  const std::string& SignatureAlgo() const { return signature_algo_; }
  void SetSignatureAlgo(const std::string& oid) { signature_algo_ = oid; }
  const TStringList& Issuer() const { return issuer_; }
  void SetIssuer(const TStringList& lines);
  const TStringList& Subject() const { return subject_; }
  void SetSubject(const TStringList& lines);
  const std::string& NotValidBefore() const { return not_valid_before_; }
  void SetNotValidBefore(const std::string& text) { not_valid_before_ = text; }
  const std::string& NotValidAfter() const { return not_valid_after_; }
  void SetNotValidAfter(const std::string& text) { not_valid_after_ = text; }
  const TStringList& Extensions() const { return extensions_; }
  void SetExtensions(const TStringList& lines) { extensions_.Assign(lines); }
  TAS_X509CertRequest* Request() const { return request_; }
  void SetRequest(TAS_X509CertRequest* value);

  void ParseBody(const TDERNode& body) override;
  void ClearFields() override;
  void SetSignatureAlgorithm(const std::string& value) override;
  void SetIsRoot(bool value) override;
  void SetParent(TAS_DERComponent* value) override;

protected:
  void BuildBodyNode(TDERNode& body) const override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  int version_ = 3;
  std::string serial_number_, signature_algo_;
  TStringList issuer_, subject_, extensions_;
  std::string not_valid_before_, not_valid_after_;
  TDERTagMemory time_tags_;  // the validity times' tags as read, by text
  TAS_X509CertRequest* request_ = nullptr;
};

class TAS_X509CertRequest : public TAS_DERComponent {
public:
  explicit TAS_X509CertRequest(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_X509CertRequest"; }

  int Version() const { return version_; }
  void SetVersion(int value) { version_ = value; }
  const TStringList& Subject() const { return subject_; }
  void SetSubject(const TStringList& lines);
  TAS_X509Certificate* Certificate() const { return certificate_; }
  void SetCertificate(TAS_X509Certificate* value);

  void ParseBody(const TDERNode& body) override;
  void ClearFields() override;
  void SetPublicKeyAlgorithm(const std::string& value) override;
  void SetPublicKeyBitValue(const std::string& value) override;

protected:
  void BuildBodyNode(TDERNode& body) const override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  int version_ = 0;
  TStringList subject_;
  TAS_X509Certificate* certificate_ = nullptr;
};

}  // namespace qv
