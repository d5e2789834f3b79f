#include "crypto/as_digest.h"

#include "crypto/crypto_text.h"
#include "crypto/digest_engines.h"

namespace qv {

namespace {
const char kOidSha1Kit[] = "1.2.840.113549.2.7";
const char kOidSha1[] = "1.3.14.3.2.26";
const char* const kOidMdx[] = {"1.2.840.113549.2.2", "1.2.840.113549.2.4", "1.2.840.113549.2.5"};
const char* const kNameMdx[] = {"MD2", "MD4", "MD5"};
const char kOidRipemd160[] = "1.3.36.3.2.1";

template <class Engine>
void Digest(const uint8_t* data, size_t size, uint8_t* out) {
  Engine engine;
  engine.Update(data, size);
  engine.Final(out);
}
}  // namespace

void TAS_Digest::CalcDigest(const void* data, size_t size) {
  if (OnBeforeCalcDigest) OnBeforeCalcDigest(this);
  static const uint8_t kNothing = 0;
  DoCalcDigest(size ? static_cast<const uint8_t*>(data) : &kNothing, size);
  if (OnAfterCalcDigest) OnAfterCalcDigest(this);
}

std::string TAS_Digest::CalcStringDigest(const std::string& s) {
  CalcDigest(s.data(), s.size());
  return GetDigestHex();
}

std::string TAS_Digest::GetDigestHex() const { return BytesToHexText(DigestBytes(), digest_size_); }

// ---- SHA-1 ----

const TComponentClass TAS_DigestSHA1::kClass{"TAS_DigestSHA1",
                                             [](TComponent* o) -> TComponent* { return new TAS_DigestSHA1(o); }};

TAS_DigestSHA1::TAS_DigestSHA1(TComponent* owner) : TAS_Digest(owner) {
  digest_size_ = 20;
  InitObjectID(kOidSha1Kit);
  SetAlgorithmName("SHA1");
}

void TAS_DigestSHA1::SetObjectID(const std::string& value) {
  if (value == kOidSha1Kit || value == kOidSha1) TAS_Digest::SetObjectID(value);
}

void TAS_DigestSHA1::DoCalcDigest(const uint8_t* data, size_t size) { Digest<digest::Sha1>(data, size, digest_); }

// ---- MD2, MD4, MD5 ----

const TComponentClass TAS_DigestMDX::kClass{"TAS_DigestMDX",
                                            [](TComponent* o) -> TComponent* { return new TAS_DigestMDX(o); }};

TAS_DigestMDX::TAS_DigestMDX(TComponent* owner) : TAS_Digest(owner) {
  digest_size_ = 16;
  InitObjectID(kOidMdx[2]);
  SetAlgorithmName("MD5");
}

void TAS_DigestMDX::SetObjectID(const std::string& value) {
  for (const char* oid : kOidMdx)
    if (value == oid) TAS_Digest::SetObjectID(value);
}

TMDXVersion TAS_DigestMDX::Version() const {
  for (int i = 0; i < 3; ++i)
    if (ObjectID() == kOidMdx[i]) return static_cast<TMDXVersion>(i);
  return TMDXVersion::dgMD5;
}

void TAS_DigestMDX::SetVersion(TMDXVersion version) {
  int i = static_cast<int>(version);
  SetObjectID(kOidMdx[i]);
  SetAlgorithmName(kNameMdx[i]);
}

void TAS_DigestMDX::DoCalcDigest(const uint8_t* data, size_t size) {
  switch (Version()) {
    case TMDXVersion::dgMD2: Digest<digest::Md2>(data, size, digest_); break;
    case TMDXVersion::dgMD4: Digest<digest::Md4>(data, size, digest_); break;
    case TMDXVersion::dgMD5: Digest<digest::Md5>(data, size, digest_); break;
  }
}

// ---- RIPEMD-160 ----

const TComponentClass TAS_DigestRIPEMD160::kClass{
    "TAS_DigestRIPEMD160", [](TComponent* o) -> TComponent* { return new TAS_DigestRIPEMD160(o); }};

TAS_DigestRIPEMD160::TAS_DigestRIPEMD160(TComponent* owner) : TAS_Digest(owner) {
  digest_size_ = 20;
  InitObjectID(kOidRipemd160);
  SetAlgorithmName("RIPEMD160");
}

void TAS_DigestRIPEMD160::SetObjectID(const std::string& value) {
  if (value == kOidRipemd160) TAS_Digest::SetObjectID(value);
}

void TAS_DigestRIPEMD160::DoCalcDigest(const uint8_t* data, size_t size) {
  Digest<digest::Ripemd160>(data, size, digest_);
}

std::unique_ptr<TAS_Digest> CreateDigestByOID(const std::string& oid) {
  std::unique_ptr<TComponent> created = CreateAlgorithmByOID(oid);
  auto* digest = dynamic_cast<TAS_Digest*>(created.get());
  if (!digest) return nullptr;  // unregistered, or not a digest: freed here
  created.release();
  return std::unique_ptr<TAS_Digest>(digest);
}

}  // namespace qv
