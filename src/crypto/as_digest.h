#pragma once
// Digest components: one whole message in, the digest out as bytes or upper-case hex text.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "crypto/as_component.h"

namespace qv {

class TAS_Digest : public TAS_Component {
public:
  using TAS_Component::TAS_Component;
  std::string ClassName() const override { return "TAS_Digest"; }

  int DigestSize() const { return digest_size_; }

  void CalcDigest(const void* data, size_t size);
  // The digest of exactly the string's bytes, as hex text.
  std::string CalcStringDigest(const std::string& s);
  std::string GetDigestHex() const;

  virtual void DoCalcDigest(const uint8_t* data, size_t size) = 0;
  virtual const uint8_t* DigestBytes() const { return digest_; }

  TNotifyEvent OnBeforeCalcDigest, OnAfterCalcDigest;

protected:
  int digest_size_ = 0;
  uint8_t digest_[20] = {};
};

class TAS_DigestSHA1 : public TAS_Digest {
public:
  static const TComponentClass kClass;
  explicit TAS_DigestSHA1(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_DigestSHA1"; }
  void SetObjectID(const std::string& value) override;
  void DoCalcDigest(const uint8_t* data, size_t size) override;
};

enum class TMDXVersion { dgMD2, dgMD4, dgMD5 };

class TAS_DigestMDX : public TAS_Digest {
public:
  static const TComponentClass kClass;
  explicit TAS_DigestMDX(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_DigestMDX"; }
  void SetObjectID(const std::string& value) override;
  void DoCalcDigest(const uint8_t* data, size_t size) override;
  // Derived from ObjectID (MD5 for any other OID).
  TMDXVersion Version() const;
  void SetVersion(TMDXVersion version);
};

class TAS_DigestRIPEMD160 : public TAS_Digest {
public:
  static const TComponentClass kClass;
  explicit TAS_DigestRIPEMD160(TComponent* owner = nullptr);
  std::string ClassName() const override { return "TAS_DigestRIPEMD160"; }
  void SetObjectID(const std::string& value) override;
  void DoCalcDigest(const uint8_t* data, size_t size) override;
};

// A digest component for a registered digest OID; null for other OIDs. No owner.
std::unique_ptr<TAS_Digest> CreateDigestByOID(const std::string& oid);

}  // namespace qv
