#include "crypto/rsa_cryptography.h"

#include <algorithm>

#include "crypto/crypto_text.h"
#include "crypto/der_node.h"
#include "platform/os/os_random.h"
#include "platform/rtl/store_changed.h"

namespace qv {

namespace {

const char kOidPkcs1[] = "1.2.840.113549.1.1.1";
const char kOidX500Rsa[] = "2.5.8.1.1";
const char kOidOaep[] = "1.2.840.113549.1.1.6";
const char kDefaultSignature[] = "1.2.840.113549.1.1.5";
constexpr int kPkcs1MinBits = 89;
// FF bytes a signature block needs at least, as PKCS #1 v1.5 lays it out.
constexpr int kMinPadding = 8;

std::string StripZeroPairs(std::string hex) {
  size_t i = 0;
  while (i + 2 <= hex.size() && hex[i] == '0' && hex[i + 1] == '0') i += 2;
  return hex.substr(i);
}

// Big-endian bytes of x without leading zeros.
std::vector<uint8_t> GiantBytes(GiantInt x) {
  std::vector<uint8_t> out(static_cast<size_t>(GiantByteLength(x)));
  GiantToBytes(x, out.data(), static_cast<int>(out.size()), true);
  return out;
}

// One random byte within [low, high] from the operating system.
uint8_t RandomByteIn(uint8_t low, uint8_t high) {
  for (;;) {
    uint8_t b;
    FillOsRandom(&b, 1);
    if (b >= low && b <= high) return b;
  }
}

TComponent* CreateRsa(TComponent* owner) { return new TAS_RSACryptography(owner); }

}  // namespace

const TComponentClass TAS_RSACryptography::kClass{"TAS_RSACryptography", &CreateRsa};

// Puts a per-call key text in place for one operation and the stored one back afterwards,
// also when the operation fails.
class RsaKeySwap {
public:
  RsaKeySwap(TAS_RSACryptography& rsa, const std::string& key_hex, bool is_private)
      : rsa_(rsa), is_private_(is_private), active_(!key_hex.empty()) {
    if (!active_) return;
    saved_ = is_private ? rsa.PrivateKeyBitValue() : rsa.PublicKeyBitValue();
    Set(key_hex);
  }
  ~RsaKeySwap() {
    if (!active_) return;
    try {
      Set(saved_);
    } catch (...) {
      // The saved text was in force before the call, so it parses again.
    }
  }
  RsaKeySwap(const RsaKeySwap&) = delete;
  RsaKeySwap& operator=(const RsaKeySwap&) = delete;

private:
  void Set(const std::string& text) {
    if (is_private_)
      rsa_.SetPrivateKeyBitValue(text);
    else
      rsa_.SetPublicKeyBitValue(text);
  }
  TAS_RSACryptography& rsa_;
  bool is_private_;
  bool active_;
  std::string saved_;
};

TAS_RSACryptography::TAS_RSACryptography(TComponent* owner)
    : TAS_AsymCryptography(owner),
      n_pub_(MakeGiant()),
      e_(MakeGiant()),
      n_priv_(MakeGiant()),
      d_(MakeGiant()),
      p_(MakeGiant()),
      q_(MakeGiant()),
      dp_(MakeGiant()),
      dq_(MakeGiant()),
      qinv_(MakeGiant()) {
  SetAlgorithmName("RSA");
  InitObjectID(kOidPkcs1);
  TStringList map;
  map.Add("1.3.36.3.2.1=1.3.36.3.3.1.2");
  map.Add("1.3.14.3.2.26=1.3.14.3.2.29");
  map.Add("1.2.840.113549.2.7=1.2.840.113549.1.1.5");
  map.Add("1.2.840.113549.2.2=1.2.840.113549.1.1.2");
  map.Add("1.2.840.113549.2.4=1.2.840.113549.1.1.3");
  map.Add("1.2.840.113549.2.5=1.2.840.113549.1.1.4");
  SetSigningDigestMap(map);
  SetSignatureAlgorithm(kDefaultSignature);
}

TAS_RSACryptography::~TAS_RSACryptography() { ClearKeys(); }

void TAS_RSACryptography::SetObjectID(const std::string& value) {
  if (!value.empty() && value != kOidPkcs1 && value != kOidX500Rsa && value != kOidOaep) return;
  TAS_AsymCryptography::SetObjectID(value);
}

TRSAEncryptionScheme TAS_RSACryptography::EncryptionScheme() const {
  if (ObjectID() == kOidOaep) return TRSAEncryptionScheme::esOaep;
  if (ObjectID() == kOidPkcs1 || ObjectID() == kOidX500Rsa) return TRSAEncryptionScheme::esPkcs1;
  return TRSAEncryptionScheme::esPlain;
}

void TAS_RSACryptography::SetEncryptionScheme(TRSAEncryptionScheme scheme) {
  switch (scheme) {
    case TRSAEncryptionScheme::esPkcs1: SetObjectID(kOidPkcs1); break;
    case TRSAEncryptionScheme::esOaep: SetObjectID(kOidOaep); break;
    case TRSAEncryptionScheme::esPlain: SetObjectID(""); break;
  }
  if (OnChangeScheme) OnChangeScheme(this);
}

void TAS_RSACryptography::SetEncodingParam(const std::string& value) {
  if (!StoreChanged(encoding_param_, value)) return;
  if (OnChangeEncodingParam) OnChangeEncodingParam(this);
}

void TAS_RSACryptography::SetSmallPublicExp(int value) {
  if (!StoreChanged(small_public_exp_, value)) return;
  if (OnChangeSmallPubExp) OnChangeSmallPubExp(this);
}

void TAS_RSACryptography::SetPrimeGenerator(TAS_PrimeGenerator* value) {
  if (!StoreChanged(prime_generator_, value)) return;
  if (value) FreeNotification(value);
}

void TAS_RSACryptography::Notification(TComponent* component, TOperation operation) {
  TAS_AsymCryptography::Notification(component, operation);
  if (operation == TOperation::opRemove && static_cast<TComponent*>(prime_generator_) == component)
    prime_generator_ = nullptr;
}

int TAS_RSACryptography::MinKeyLength() const {
  switch (EncryptionScheme()) {
    case TRSAEncryptionScheme::esPkcs1: return 12;
    case TRSAEncryptionScheme::esOaep: {
      int h = EncryptingDigest() ? EncryptingDigest()->DigestSize() : 0;
      return (16 * h + 17) / 8 + 1;
    }
    case TRSAEncryptionScheme::esPlain: break;
  }
  return 0;
}

int TAS_RSACryptography::PublicKeyByteLength() const {
  return static_cast<int>(StripZeroPairs(KeyNPubHexStr()).size() / 2);
}

int TAS_RSACryptography::PrivateKeyByteLength() const {
  return static_cast<int>(StripZeroPairs(KeyNPrivHexStr()).size() / 2);
}

void TAS_RSACryptography::ClearKeys() {
  TAS_AsymCryptography::ClearKeys();
  for (GiantPtr* g : {&n_pub_, &e_, &n_priv_, &d_, &p_, &q_, &dp_, &dq_, &qinv_}) GiantClear(g->get());
  crt_state_ = 0;
}

// ---- key texts ----

std::string TAS_RSACryptography::BuildKeyDER(const std::string& a_hex, const std::string& b_hex) {
  if (a_hex.empty() && b_hex.empty()) return "";
  TDERNode seq;
  seq.AddChild()->SetIntegerHex(a_hex);
  seq.AddChild()->SetIntegerHex(b_hex);
  return seq.ToHex();
}

void TAS_RSACryptography::ParseKeyDER(const std::string& hex, std::string& a_hex, std::string& b_hex) {
  a_hex.clear();
  b_hex.clear();
  if (hex.empty()) return;
  TDERNode seq;
  seq.ParseHex(hex);
  if (seq.TagClass() != dcUniversal || seq.Tag() != der_tag::Sequence)
    throw EASN1Error("Error: unexpected DER structure");
  std::string a = seq.Expect(0, dcUniversal, der_tag::Integer).ContentHex();
  std::string b = seq.Expect(1, dcUniversal, der_tag::Integer).ContentHex();
  a_hex = a;
  b_hex = b;
}

void TAS_RSACryptography::PublicKeyChanged() {
  std::string n, e;
  ParseKeyDER(PublicKeyBitValue(), n, e);
  GiantPtr gn = MakeGiant(), ge = MakeGiant();
  HexToGiant(n, gn.get());
  HexToGiant(e, ge.get());
  n_pub_.swap(gn);
  e_.swap(ge);
  TAS_AsymCryptography::PublicKeyChanged();
}

void TAS_RSACryptography::PrivateKeyChanged() {
  std::string n, d;
  ParseKeyDER(PrivateKeyBitValue(), n, d);
  GiantPtr gn = MakeGiant(), gd = MakeGiant();
  HexToGiant(n, gn.get());
  HexToGiant(d, gd.get());
  n_priv_.swap(gn);
  d_.swap(gd);
  GiantClear(gd.get());
  crt_state_ = 0;
  TAS_AsymCryptography::PrivateKeyChanged();
}

std::string TAS_RSACryptography::KeyEHexStr() const {
  std::string n, e;
  ParseKeyDER(PublicKeyBitValue(), n, e);
  return e;
}

std::string TAS_RSACryptography::KeyNPubHexStr() const {
  std::string n, e;
  ParseKeyDER(PublicKeyBitValue(), n, e);
  return n;
}

std::string TAS_RSACryptography::KeyDHexStr() const {
  std::string n, d;
  ParseKeyDER(PrivateKeyBitValue(), n, d);
  return d;
}

std::string TAS_RSACryptography::KeyNPrivHexStr() const {
  std::string n, d;
  ParseKeyDER(PrivateKeyBitValue(), n, d);
  return n;
}

void TAS_RSACryptography::SetKeyEHexStr(const std::string& hex) {
  std::string n, e;
  ParseKeyDER(PublicKeyBitValue(), n, e);
  if (!SameText(hex, e)) SetPublicKeyBitValue(BuildKeyDER(n, hex));
}

void TAS_RSACryptography::SetKeyNPubHexStr(const std::string& hex) {
  std::string n, e;
  ParseKeyDER(PublicKeyBitValue(), n, e);
  if (!SameText(hex, n)) SetPublicKeyBitValue(BuildKeyDER(hex, e));
}

void TAS_RSACryptography::SetKeyDHexStr(const std::string& hex) {
  std::string n, d;
  ParseKeyDER(PrivateKeyBitValue(), n, d);
  if (!SameText(hex, d)) SetPrivateKeyBitValue(BuildKeyDER(n, hex));
}

void TAS_RSACryptography::SetKeyNPrivHexStr(const std::string& hex) {
  std::string n, d;
  ParseKeyDER(PrivateKeyBitValue(), n, d);
  if (!SameText(hex, n)) SetPrivateKeyBitValue(BuildKeyDER(hex, d));
}

void TAS_RSACryptography::SetPrimePHexStr(const std::string& hex) {
  HexToGiant(hex, p_.get());
  crt_state_ = 0;
}

void TAS_RSACryptography::SetPrimeQHexStr(const std::string& hex) {
  HexToGiant(hex, q_.get());
  crt_state_ = 0;
}

void TAS_RSACryptography::SetPublicKeyParts(const std::string& n_hex, const std::string& e_hex) {
  SetPublicKeyBitValue(BuildKeyDER(n_hex, e_hex));
}

void TAS_RSACryptography::SetPrivateKeyParts(const std::string& n_hex, const std::string& d_hex) {
  SetPrivateKeyBitValue(BuildKeyDER(n_hex, d_hex));
}

void TAS_RSACryptography::GetPublicKeyParts(std::string& n_hex, std::string& e_hex) const {
  ParseKeyDER(PublicKeyBitValue(), n_hex, e_hex);
}

void TAS_RSACryptography::GetPrivateKeyParts(std::string& n_hex, std::string& d_hex) const {
  ParseKeyDER(PrivateKeyBitValue(), n_hex, d_hex);
}

void TAS_RSACryptography::SetPrimes(const std::string& p_hex, const std::string& q_hex) {
  SetPrimePHexStr(p_hex);
  SetPrimeQHexStr(q_hex);
}

void TAS_RSACryptography::GetPrimes(std::string& p_hex, std::string& q_hex) const {
  p_hex = PrimePHexStr();
  q_hex = PrimeQHexStr();
}

void TAS_RSACryptography::LoadKeysFromFile(const std::string& file_name) {
  if (OnBeforeLoadKeys) OnBeforeLoadKeys(this);
  TStringList lines;
  lines.LoadFromFile(file_name);
  std::string npub = lines.Values("n"), npriv = npub;
  if (lines.IndexOfName("n") < 0) {
    npub = lines.Values("npub");
    npriv = lines.Values("npriv");
  }
  SetPublicKeyParts(npub, lines.Values("e"));
  SetPrivateKeyParts(npriv, lines.Values("d"));
  SetPrimes(lines.Values("p"), lines.Values("q"));
  if (OnAfterLoadKeys) OnAfterLoadKeys(this);
}

void TAS_RSACryptography::SaveKeysToFile(const std::string& file_name) {
  if (OnBeforeSaveKeys) OnBeforeSaveKeys(this);
  TStringList lines;
  AddNameValue(lines, "npub", KeyNPubHexStr());
  AddNameValue(lines, "npriv", KeyNPrivHexStr());
  AddNameValue(lines, "d", KeyDHexStr());
  AddNameValue(lines, "e", KeyEHexStr());
  AddNameValue(lines, "p", PrimePHexStr());
  AddNameValue(lines, "q", PrimeQHexStr());
  lines.SaveToFile(file_name);
  if (OnAfterSaveKeys) OnAfterSaveKeys(this);
}

// ---- arithmetic ----

void TAS_RSACryptography::CheckModulus(GiantInt n, const char* scheme_text, int min_bits) const {
  int bytes = GiantByteLength(n);
  if (bytes > MaxKeyLength())
    Error(KitFormat("Key too long: %d bytes, must not exceed %d bytes", bytes, MaxKeyLength()));
  int bits = GiantBitLength(n);
  if (bits < min_bits)
    Error(KitFormat("RSA key too short (%d bits). %s encryption scheme needs at least %d bits", bits, scheme_text,
                    min_bits));
}

bool TAS_RSACryptography::CrtUsable() {
  if (crt_state_ != 0) return crt_state_ > 0;
  crt_state_ = -1;
  GiantInt p = p_.get(), q = q_.get();
  if (GiantSign(p) <= 0 || GiantSign(q) <= 0 || GiantCompare(p, q) == 0 || GiantIsZero(d_.get())) return false;
  try {
    GiantPtr t = MakeGiant();
    GiantCopy(p, t.get());
    GiantMul(q, t.get());
    if (GiantCompare(t.get(), n_priv_.get()) != 0) return false;
    if (!GiantIsProbablePrime(p, 3) || !GiantIsProbablePrime(q, 3)) return false;
    // d mod (p-1), kept positive so that x^dp = x^d mod p also for x = 0 mod p.
    for (auto [prime, out] : {std::pair{p, dp_.get()}, std::pair{q, dq_.get()}}) {
      GiantCopy(prime, t.get());
      GiantAddInt(-1, t.get());
      GiantCopy(d_.get(), out);
      modg(t.get(), out);
      if (GiantIsZero(out)) GiantCopy(t.get(), out);
    }
    GiantCopy(q, qinv_.get());
    if (!GiantInverseMod(p, qinv_.get())) return false;
  } catch (const EGiantIntError&) {
    return false;
  }
  crt_state_ = 1;
  return true;
}

void TAS_RSACryptography::PrivatePower(GiantInt x) {
  if (!CrtUsable()) {
    GiantPowerMod(x, d_.get(), n_priv_.get());
    return;
  }
  // The same value as x^d mod n, from two half-size exponentiations.
  GiantPtr m1 = MakeGiant(), m2 = MakeGiant();
  GiantCopy(x, m1.get());
  GiantPowerMod(m1.get(), dp_.get(), p_.get());
  GiantCopy(x, m2.get());
  GiantPowerMod(m2.get(), dq_.get(), q_.get());
  GiantSub(m2.get(), m1.get());  // m1 - m2
  GiantMul(qinv_.get(), m1.get());
  modg(p_.get(), m1.get());
  if (GiantSign(m1.get()) < 0) GiantAdd(p_.get(), m1.get());
  GiantMul(q_.get(), m1.get());
  GiantAdd(m2.get(), m1.get());
  GiantCopy(m1.get(), x);
}

std::vector<uint8_t> TAS_RSACryptography::Hash(TAS_Digest& digest, const uint8_t* data, size_t size) const {
  digest.CalcDigest(data, size);
  return std::vector<uint8_t>(digest.DigestBytes(), digest.DigestBytes() + digest.DigestSize());
}

std::vector<uint8_t> TAS_RSACryptography::Mgf1(TAS_Digest& digest, const uint8_t* seed, size_t seed_len,
                                               size_t len) const {
  std::vector<uint8_t> out, input(seed, seed + seed_len);
  input.resize(seed_len + 4);
  for (uint32_t counter = 0; out.size() < len; ++counter) {
    for (int i = 0; i < 4; ++i)
      input[seed_len + static_cast<size_t>(i)] = static_cast<uint8_t>(counter >> (24 - 8 * i));
    std::vector<uint8_t> h = Hash(digest, input.data(), input.size());
    out.insert(out.end(), h.begin(), h.end());
  }
  out.resize(len);
  return out;
}

// ---- signatures ----

void TAS_RSACryptography::DoSign(const uint8_t* data, size_t size, const std::string& key_hex) {
  RsaKeySwap swap(*this, key_hex, true);
  CheckModulus(n_priv_.get(), "Pkcs1", kPkcs1MinBits);
  const int k = GiantBitLength(n_priv_.get());

  std::unique_ptr<TAS_Digest> temporary;
  TAS_Digest* digest = SigningDigest();
  if (digest) {
    if (digest->ObjectID().empty())
      Error(KitFormat("Signing digest '%s' must have valid object ID", digest->Name().c_str()));
  } else {
    std::string oid = DigestOIDOfSignatureAlgorithm(SignatureAlgorithm());
    if (oid.empty()) Error(KitFormat("Trying to sign by unknown algorithm: '%s'", SignatureAlgorithm().c_str()));
    temporary = CreateDigestByOID(oid);
    if (!temporary) Error(KitFormat("Unknown digest algorithm OID: %s", oid.c_str()));
    digest = temporary.get();
  }
  std::vector<uint8_t> h = Hash(*digest, data, size);

  TDERNode info;
  TDERNode* alg = info.AddChild();
  alg->AddChild()->SetOID(digest->ObjectID());
  alg->AddChild()->SetNull();
  info.AddChild()->SetOctetStringHex(BytesToHexText(h.data(), static_cast<std::ptrdiff_t>(h.size())));
  const std::vector<uint8_t> t = info.Encode();

  const int block_len = (k - 1) / 8;
  const int pad = block_len - static_cast<int>(t.size()) - 2;
  // Verification takes no block with fewer FF bytes, so neither does signing.
  if (pad < kMinPadding)
    Error(KitFormat("Signing key length of %d bits is too short. Must be at least %d bits", k,
                    static_cast<int>(t.size() + 3 + kMinPadding) * 8));
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(block_len));
  block.push_back(0x01);
  block.insert(block.end(), static_cast<size_t>(pad), 0xFF);
  block.push_back(0x00);
  block.insert(block.end(), t.begin(), t.end());

  GiantPtr x = MakeGiant();
  pbtog(block.data(), static_cast<int>(block.size()), x.get(), true);
  PrivatePower(x.get());
  signature_ = GiantBytes(x.get());
}

void TAS_RSACryptography::DoVerify(const uint8_t* data, size_t size, const std::string& key_hex) {
  RsaKeySwap swap(*this, key_hex, false);
  CheckModulus(n_pub_.get(), "Pkcs1", kPkcs1MinBits);
  const std::string verify_error = KitFormat("RSA verify error: '%s'", Name().c_str());
  const std::string format_error = KitFormat("Invalid signature format: '%s'. Must be 01<$FF>00<DER>", Name().c_str());

  // No genuine signature is as large as the modulus: refuse before any arithmetic.
  auto first = std::find_if(verify_signature_.begin(), verify_signature_.end(), [](uint8_t b) { return b != 0; });
  size_t sig_len = static_cast<size_t>(verify_signature_.end() - first);
  if (sig_len > static_cast<size_t>(GiantByteLength(n_pub_.get()))) Error(verify_error);
  GiantPtr s = MakeGiant();
  pbtog(sig_len ? &*first : nullptr, static_cast<int>(sig_len), s.get(), true);
  if (GiantCompare(s.get(), n_pub_.get()) >= 0) Error(verify_error);

  GiantPowerMod(s.get(), e_.get(), n_pub_.get());
  decrypted_block_ = GiantBytes(s.get());
  const std::vector<uint8_t>& block = decrypted_block_;
  // The block fills the modulus: 00 01, at least eight FF, 00, the DigestInfo. Its leading 00
  // is no byte of the number, so it is one byte shorter than the modulus. Leaving any of this
  // open lets a signature for a small public exponent be made from the public key alone.
  if (block.size() + 1 != static_cast<size_t>(GiantByteLength(n_pub_.get())) || block[0] != 0x01) Error(format_error);
  size_t i = 1;
  while (i < block.size() && block[i] == 0xFF) ++i;
  if (i - 1 < static_cast<size_t>(kMinPadding) || i >= block.size() || block[i] != 0x00) Error(format_error);
  ++i;

  // DigestInfo: SEQUENCE { SEQUENCE { OID, NULL or nothing }, OCTET STRING }.
  TDERNode info;
  info.Parse(block.data() + i, block.size() - i);
  const TDERNode* alg = info.Child(0);
  const TDERNode* oid = alg ? alg->Child(0) : nullptr;
  const TDERNode* hash = info.Child(1);
  if (!oid || !hash) Error(format_error);
  const std::string oid_text = oid->OidText(), digest_hex = hash->ContentHex();
  // The block must hold exactly the DER form of what was read: no other tag, parameter,
  // element, length form or byte is taken, so nothing in the block is free to choose.
  TDERNode der;
  TDERNode* der_alg = der.AddChild();
  der_alg->AddChild()->SetOID(oid_text);
  if (alg->ChildCount() > 1) der_alg->AddChild()->SetNull();
  der.AddChild()->SetOctetStringHex(digest_hex);
  if (der.Encode() != std::vector<uint8_t>(block.begin() + static_cast<std::ptrdiff_t>(i), block.end()))
    Error(format_error);
  found_digest_oid_ = oid_text;
  found_digest_hex_ = digest_hex;

  std::unique_ptr<TAS_Digest> digest = CreateDigestByOID(found_digest_oid_);
  if (!digest) Error(KitFormat("Unknown digest algorithm OID: %s", found_digest_oid_.c_str()));
  digest->CalcDigest(data, size);
  if (!SameText(digest->GetDigestHex(), found_digest_hex_)) Error(verify_error);
}

// ---- key generation ----

void TAS_RSACryptography::DoGenerateKeys(int key_len) {
  if (!prime_generator_) Error("RSA must have PrimeGenerator component property assigned to generate keys");
  if (key_len < 12) Error(KitFormat("Key too short: %d bytes, must be at least %d bytes", key_len, 12));
  if (key_len > MaxKeyLength())
    Error(KitFormat("Key too long: %d bytes, must not exceed %d bytes", key_len, MaxKeyLength()));
  // An even exponent never has an inverse modulo (p-1)(q-1): the search would not end. With 1
  // the signature is the padded block itself, which anyone can write.
  if (small_public_exp_ > 0 && (small_public_exp_ % 2 == 0 || small_public_exp_ == 1))
    Error(KitFormat("Public exponent %d must be odd and greater than 1", small_public_exp_));
  const int bits = 8 * key_len;
  const int p_bits = (bits + 1) / 2;
  const int q_bits = bits - p_bits;

  GiantPtr e = MakeGiant(), p = MakeGiant(), q = MakeGiant(), n = MakeGiant(), phi = MakeGiant(), t = MakeGiant(),
           d = MakeGiant();
  if (small_public_exp_ > 0)
    GiantFromInt(small_public_exp_, e.get());
  else
    prime_generator_->Generate(e.get(), bits);
  if (GiantIsZero(e.get())) return;  // the search was stopped
  for (;;) {
    prime_generator_->Generate(p.get(), p_bits);
    if (GiantIsZero(p.get())) return;
    do {
      prime_generator_->Generate(q.get(), q_bits);
      if (GiantIsZero(q.get())) return;
    } while (GiantCompare(p.get(), q.get()) == 0);
    GiantCopy(p.get(), n.get());
    GiantMul(q.get(), n.get());
    GiantCopy(p.get(), phi.get());
    GiantAddInt(-1, phi.get());
    GiantCopy(q.get(), t.get());
    GiantAddInt(-1, t.get());
    GiantMul(t.get(), phi.get());
    GiantCopy(e.get(), d.get());
    modg(phi.get(), d.get());
    if (GiantInverseMod(phi.get(), d.get())) break;
  }
  const std::string n_hex = "00" + GiantToHex(n.get());
  SetPublicKeyBitValue(BuildKeyDER(n_hex, GiantToHex(e.get())));
  SetPrivateKeyBitValue(BuildKeyDER(n_hex, GiantToHex(d.get())));
  GiantCopy(p.get(), p_.get());
  GiantCopy(q.get(), q_.get());
  crt_state_ = 0;
  GiantClear(d.get());
  GiantClear(phi.get());
}

// ---- encryption ----

size_t TAS_RSACryptography::CheckScheme(GiantInt n, TRSAEncryptionScheme scheme, TAS_Digest* digest) const {
  if (scheme == TRSAEncryptionScheme::esPkcs1) {
    CheckModulus(n, "Pkcs1", kPkcs1MinBits);
    return 0;
  }
  if (scheme == TRSAEncryptionScheme::esOaep) {
    if (!digest)
      Error(KitFormat("%s must have EncryptionDigest component property assigned to operate on OAEP scheme",
                      Name().c_str()));
    const size_t h_len = static_cast<size_t>(digest->DigestSize());
    CheckModulus(n, "OAEP", static_cast<int>(16 * h_len + 17));
    return h_len;
  }
  // Plain RSA needs at least one byte per block.
  CheckModulus(n, "Plain", 9);
  return 0;
}

void TAS_RSACryptography::DoEncrypt(uint8_t* data, size_t size, const std::string& key_hex) {
  RsaKeySwap swap(*this, key_hex, false);
  const TRSAEncryptionScheme scheme = EncryptionScheme();
  TAS_Digest* digest = EncryptingDigest();
  const size_t h_len = CheckScheme(n_pub_.get(), scheme, digest);
  const int k = GiantBitLength(n_pub_.get());
  const size_t b = static_cast<size_t>((k - 1) / 8), c = static_cast<size_t>((k + 7) / 8);
  size_t chunk_max = scheme == TRSAEncryptionScheme::esPkcs1  ? b - 10
                     : scheme == TRSAEncryptionScheme::esOaep ? b - 2 * h_len - 1
                                                              : b;
  const std::string encode_error = KitFormat("RSA encode error: '%s'", Name().c_str());
  std::vector<uint8_t> p_hash;
  if (scheme == TRSAEncryptionScheme::esOaep)
    p_hash = Hash(*digest, reinterpret_cast<const uint8_t*>(encoding_param_.data()), encoding_param_.size());

  std::vector<uint8_t> out;
  GiantPtr x = MakeGiant();
  for (size_t offset = 0; offset < size; offset += chunk_max) {
    size_t len = std::min(chunk_max, size - offset);
    std::vector<uint8_t> chunk(data + offset, data + offset + len);
    if (OnBeforeEncryptBlock)
      OnBeforeEncryptBlock(this, chunk.data(), static_cast<uint32_t>(offset), static_cast<uint32_t>(len));
    std::vector<uint8_t> block;
    if (scheme == TRSAEncryptionScheme::esPkcs1) {
      block.push_back(0x02);
      for (size_t i = 0; i < b - len - 2; ++i) block.push_back(RandomByteIn(1, 254));
      block.push_back(0x00);
      block.insert(block.end(), chunk.begin(), chunk.end());
    } else if (scheme == TRSAEncryptionScheme::esOaep) {
      if (seed_.size() != h_len) {
        seed_.resize(h_len);
        for (uint8_t& s : seed_) s = RandomByteIn(0, 254);
      }
      std::vector<uint8_t> db = p_hash;
      db.insert(db.end(), b - h_len - h_len - 1 - len, 0x00);
      db.push_back(0x01);
      db.insert(db.end(), chunk.begin(), chunk.end());
      std::vector<uint8_t> db_mask = Mgf1(*digest, seed_.data(), h_len, db.size());
      for (size_t i = 0; i < db.size(); ++i) db[i] ^= db_mask[i];
      std::vector<uint8_t> seed_mask = Mgf1(*digest, db.data(), db.size(), h_len);
      block = seed_;
      for (size_t i = 0; i < h_len; ++i) block[i] ^= seed_mask[i];
      block.insert(block.end(), db.begin(), db.end());
    } else {
      block = chunk;
    }
    if (block.size() > b) Error(encode_error);
    pbtog(block.data(), static_cast<int>(block.size()), x.get(), true);
    GiantPowerMod(x.get(), e_.get(), n_pub_.get());
    size_t at = out.size();
    out.resize(at + c);
    GiantToBytes(x.get(), out.data() + at, static_cast<int>(c), true);
    if (OnAfterEncryptBlock)
      OnAfterEncryptBlock(this, chunk.data(), static_cast<uint32_t>(offset), static_cast<uint32_t>(len));
  }
  cipher_output_ = std::move(out);
}

void TAS_RSACryptography::DoDecrypt(uint8_t* data, size_t size, const std::string& key_hex) {
  RsaKeySwap swap(*this, key_hex, true);
  const TRSAEncryptionScheme scheme = EncryptionScheme();
  TAS_Digest* digest = EncryptingDigest();
  const size_t h_len = CheckScheme(n_priv_.get(), scheme, digest);
  const int k = GiantBitLength(n_priv_.get());
  const size_t b = static_cast<size_t>((k - 1) / 8), c = static_cast<size_t>((k + 7) / 8);
  const std::string decode_error = KitFormat("RSA decode error: '%s'", Name().c_str());
  if (size % c != 0) Error(decode_error);
  std::vector<uint8_t> p_hash;
  if (scheme == TRSAEncryptionScheme::esOaep)
    p_hash = Hash(*digest, reinterpret_cast<const uint8_t*>(encoding_param_.data()), encoding_param_.size());

  std::vector<uint8_t> out;
  GiantPtr x = MakeGiant();
  for (size_t offset = 0; offset < size; offset += c) {
    if (OnBeforeDecryptBlock)
      OnBeforeDecryptBlock(this, data + offset, static_cast<uint32_t>(offset), static_cast<uint32_t>(c));
    pbtog(data + offset, static_cast<int>(c), x.get(), true);
    if (GiantCompare(x.get(), n_priv_.get()) >= 0) Error(decode_error);
    PrivatePower(x.get());
    if (GiantByteLength(x.get()) > static_cast<int>(b)) Error(decode_error);
    std::vector<uint8_t> block(b);
    GiantToBytes(x.get(), block.data(), static_cast<int>(b), true);
    if (scheme == TRSAEncryptionScheme::esPkcs1) {
      if (block.empty() || block[0] != 0x02) Error(decode_error);
      auto zero = std::find(block.begin() + 1, block.end(), 0x00);
      if (zero == block.end()) Error(decode_error);
      out.insert(out.end(), zero + 1, block.end());
    } else if (scheme == TRSAEncryptionScheme::esOaep) {
      if (b < 2 * h_len + 1) Error(decode_error);
      std::vector<uint8_t> seed(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(h_len));
      std::vector<uint8_t> db(block.begin() + static_cast<std::ptrdiff_t>(h_len), block.end());
      std::vector<uint8_t> seed_mask = Mgf1(*digest, db.data(), db.size(), h_len);
      for (size_t i = 0; i < h_len; ++i) seed[i] ^= seed_mask[i];
      std::vector<uint8_t> db_mask = Mgf1(*digest, seed.data(), h_len, db.size());
      for (size_t i = 0; i < db.size(); ++i) db[i] ^= db_mask[i];
      if (!std::equal(p_hash.begin(), p_hash.end(), db.begin())) Error(decode_error);
      size_t i = h_len;
      while (i < db.size() && db[i] == 0x00) ++i;
      if (i >= db.size() || db[i] != 0x01) Error(decode_error);
      out.insert(out.end(), db.begin() + static_cast<std::ptrdiff_t>(i + 1), db.end());
    } else {
      out.insert(out.end(), block.begin(), block.end());
    }
    if (OnAfterDecryptBlock)
      OnAfterDecryptBlock(this, data + offset, static_cast<uint32_t>(offset), static_cast<uint32_t>(c));
  }
  plain_output_ = std::move(out);
}

}  // namespace qv
