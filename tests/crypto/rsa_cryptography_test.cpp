#include "crypto/rsa_cryptography.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "crypto/crypto_kit.h"
#include "crypto/crypto_text.h"
#include "crypto/der_node.h"
#include "crypto/openssl_rsa_key.h"
#include "platform/rtl/file_io.h"

namespace qv {
namespace {

const char kDigestInfoPrefix[] = "3024300C06082A864886F70D020705000414";

class RsaTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { RegisterCryptoAlgorithms(); }

  // The first openssl key of each size, shared by the tests of this suite.
  static test::OpensslRsaKey& Key(int bits) {
    static std::map<int, std::unique_ptr<test::OpensslRsaKey>> keys;
    auto& k = keys[bits];
    if (!k) k = std::make_unique<test::OpensslRsaKey>(bits);
    return *k;
  }

  static std::string Sha1Hex(const std::string& s) {
    TAS_DigestSHA1 sha;
    return sha.CalcStringDigest(s);
  }

  static std::string StripZeros(std::string hex) {
    while (hex.size() > 2 && hex.compare(0, 2, "00") == 0) hex.erase(0, 2);
    return hex;
  }

  static std::string ErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const Exception& e) {
      return e.ClassName() + ": " + e.Message();
    }
    return "";
  }

  TAS_RSACryptography rsa;
};

TEST_F(RsaTest, ConstructionDefaultsAndSchemes) {
  EXPECT_EQ(rsa.AlgorithmName(), "RSA");
  EXPECT_EQ(rsa.ObjectID(), "1.2.840.113549.1.1.1");
  EXPECT_EQ(rsa.SignatureAlgorithm(), "1.2.840.113549.1.1.5");
  EXPECT_EQ(rsa.SigningDigestMap().Count(), 6);
  EXPECT_EQ(rsa.DigestOIDOfSignatureAlgorithm("1.2.840.113549.1.1.5"), "1.2.840.113549.2.7");
  EXPECT_FALSE(rsa.CanSign());
  EXPECT_FALSE(rsa.CanVerify());
  EXPECT_EQ(rsa.SmallPublicExp(), 0);
  rsa.SetCipherInPlace(true);
  EXPECT_FALSE(rsa.CipherInPlace());
  EXPECT_EQ(rsa.MinKeyLength(), 12);
  EXPECT_EQ(rsa.MaxKeyLength(), 512);

  rsa.SetObjectID("1.2.3");  // not an RSA OID: ignored
  EXPECT_EQ(rsa.ObjectID(), "1.2.840.113549.1.1.1");
  rsa.SetEncryptionScheme(TRSAEncryptionScheme::esPlain);
  EXPECT_EQ(rsa.ObjectID(), "");
  EXPECT_EQ(rsa.EncryptionScheme(), TRSAEncryptionScheme::esPlain);
  rsa.SetObjectID("2.5.8.1.1");
  EXPECT_EQ(rsa.EncryptionScheme(), TRSAEncryptionScheme::esPkcs1);
  rsa.SetEncryptionScheme(TRSAEncryptionScheme::esOaep);
  EXPECT_EQ(rsa.ObjectID(), "1.2.840.113549.1.1.6");
}

TEST_F(RsaTest, SigningDigestDrivesTheSignatureAlgorithm) {
  TAS_DigestMDX md;
  md.SetVersion(TMDXVersion::dgMD5);
  rsa.SetSigningDigest(&md);
  EXPECT_EQ(rsa.SignatureAlgorithm(), "1.2.840.113549.1.1.4");
  md.SetVersion(TMDXVersion::dgMD4);
  EXPECT_EQ(rsa.SignatureAlgorithm(), "1.2.840.113549.1.1.3");
  rsa.SetSignatureAlgorithm("1.2.840.113549.1.1.2");
  EXPECT_EQ(md.ObjectID(), "1.2.840.113549.2.2");
  {
    TAS_DigestSHA1 sha;
    rsa.SetSigningDigest(&sha);
    EXPECT_EQ(rsa.SignatureAlgorithm(), "1.2.840.113549.1.1.5");
  }
  EXPECT_EQ(rsa.SigningDigest(), nullptr);  // cleared when the digest went away
}

// Kit signatures equal openssl's PKCS #1 v1.5 signatures of the same DigestInfo, with and
// without the primes (the CRT path), for every key size.
TEST_F(RsaTest, SignaturesMatchOpensslByteForByte) {
  QV_REQUIRE_TOOL("openssl");
  const std::string text = "Signed document text \xE4\xF6\xFC";
  for (int bits : {512, 1024, 2048}) {
    test::OpensslRsaKey& key = Key(bits);
    test::TempDir dir;
    dir.Write("t.bin", HexTextToString(kDigestInfoPrefix + Sha1Hex(text)));
    test::RunTool("openssl pkeyutl -sign -inkey " + key.pem + " -in " + dir.File("t.bin") +
                  " -out " + dir.File("s.bin"));
    std::string want = StripZeros(BytesToHexText(ReadFileBytes(dir.File("s.bin"))));

    TAS_RSACryptography signer;
    signer.SetPrivateKeyParts("00" + key.n, key.d);
    signer.SignString(text);
    EXPECT_EQ(signer.GetSignatureHex(), want) << bits;
    signer.SetPrimes(key.p, key.q);
    signer.SignString(text);
    EXPECT_EQ(signer.GetSignatureHex(), want) << bits << " with primes";

    TAS_RSACryptography verifier;
    verifier.SetPublicKeyParts(key.n, key.e);
    verifier.SetVerifySignatureHex(signer.GetSignatureHex());
    EXPECT_NO_THROW(verifier.VerifyString(text));
    EXPECT_EQ(verifier.FoundDigestOID(), "1.2.840.113549.2.7");
    EXPECT_EQ(verifier.FoundDigestHex(), Sha1Hex(text));

    dir.Write("k.sig", HexTextToString(signer.GetSignatureHex()));
    std::string recovered = test::RunTool("openssl pkeyutl -verifyrecover -pubin -inkey " + key.pub_pem +
                                          " -in " + dir.File("k.sig"));
    EXPECT_EQ(BytesToHexText(recovered), kDigestInfoPrefix + Sha1Hex(text));
  }
}

TEST_F(RsaTest, OpensslSignaturesWithOtherDigestsVerify) {
  QV_REQUIRE_TOOL("openssl");
  test::OpensslRsaKey& key = Key(1024);
  test::TempDir dir;
  const std::string text = "lenient verification";
  dir.Write("m.txt", text);
  rsa.SetPublicKeyParts(key.n, key.e);
  const std::pair<const char*, const char*> digests[] = {{"sha1", "1.3.14.3.2.26"},
                                                         {"md5", "1.2.840.113549.2.5"}};
  for (auto [name, oid] : digests) {
    test::RunTool(std::string("openssl dgst -") + name + " -sign " + key.pem + " -out " +
                  dir.File("s.bin") + " " + dir.File("m.txt"));
    rsa.SetVerifySignatureHex(BytesToHexText(ReadFileBytes(dir.File("s.bin"))));
    EXPECT_NO_THROW(rsa.VerifyString(text)) << name;
    EXPECT_EQ(rsa.FoundDigestOID(), oid);
    EXPECT_EQ(ErrorOf([&] { rsa.VerifyString(text + "."); }), "ErrorCipher: RSA verify error: ''");
  }
}

// The archive's key: GenerateKeys(64) with a prime public exponent as long as the modulus.
TEST_F(RsaTest, GeneratedKeysSignVerifyAndHoldPrimes) {
  QV_REQUIRE_TOOL("openssl");
  TAS_PrimeGenerator primes;
  rsa.SetName("UserRsa");
  rsa.SetPrimeGenerator(&primes);
  rsa.GenerateKeys(64);
  std::string n, e;
  rsa.GetPublicKeyParts(n, e);
  EXPECT_EQ(n.substr(0, 2), "00");
  EXPECT_TRUE(rsa.PublicKeyByteLength() == 64 || rsa.PublicKeyByteLength() == 63);
  GiantPtr ge = MakeGiant();
  HexToGiant(e, ge.get());
  EXPECT_EQ(GiantBitLength(ge.get()), 512);
  std::string out = test::RunTool("openssl prime -hex " + rsa.PrimePHexStr() + " " + rsa.PrimeQHexStr() + " " + e);
  EXPECT_EQ(out.find("not prime"), std::string::npos) << out;

  rsa.SignString("document");
  EXPECT_LE(rsa.GetSignatureHex().size(), 128u);
  TAS_RSACryptography verifier;
  verifier.SetPublicKeyParts(n, e);
  verifier.SetVerifySignatureHex(rsa.GetSignatureHex());
  verifier.VerifyString("document");
  // 01, 23 x FF, 00 and the 38-byte DigestInfo.
  const auto& block = verifier.DecryptedBlock();
  ASSERT_EQ(block.size(), 63u);
  EXPECT_EQ(BytesToHexText(block.data(), 27), "01" + std::string(46, 'F') + "00" + "3024");

  // The key DER is readable as an RSA public key; the exponent reads back unsigned.
  test::TempDir dir;
  rsa.SavePublicKeyToFile(dir.File("pub.der"));
  std::string text = test::RunTool("openssl rsa -RSAPublicKey_in -inform DER -in " + dir.File("pub.der") +
                                   " -noout -text 2>&1");
  EXPECT_NE(text.find("Public-Key: (51"), std::string::npos) << text;

  rsa.SetSmallPublicExp(65537);
  rsa.GenerateKeys(64);
  EXPECT_EQ(rsa.KeyEHexStr(), "010001");
  GiantPtr gp = MakeGiant(), gq = MakeGiant();
  HexToGiant(rsa.PrimePHexStr(), gp.get());
  HexToGiant(rsa.PrimeQHexStr(), gq.get());
  EXPECT_NE(GiantCompare(gp.get(), gq.get()), 0);
}

TEST_F(RsaTest, KeyGenerationArgumentsAreChecked) {
  EXPECT_EQ(ErrorOf([&] { rsa.GenerateKeys(64); }),
            "ErrorCipher: RSA must have PrimeGenerator component property assigned to generate keys");
  TAS_PrimeGenerator primes;
  rsa.SetPrimeGenerator(&primes);
  EXPECT_EQ(ErrorOf([&] { rsa.GenerateKeys(11); }),
            "ErrorCipher: Key too short: 11 bytes, must be at least 12 bytes");
  EXPECT_EQ(ErrorOf([&] { rsa.GenerateKeys(513); }),
            "ErrorCipher: Key too long: 513 bytes, must not exceed 512 bytes");
  rsa.SetSmallPublicExp(4);
  EXPECT_EQ(ErrorOf([&] { rsa.GenerateKeys(16); }), "ErrorCipher: Public exponent 4 must be odd");
  EXPECT_EQ(rsa.PublicKeyBitValue(), "");
  {
    TAS_PrimeGenerator gone;
    rsa.SetPrimeGenerator(&gone);
  }
  EXPECT_EQ(rsa.PrimeGenerator(), nullptr);
}

TEST_F(RsaTest, PerCallKeysLeaveTheStoredKeys) {
  QV_REQUIRE_TOOL("openssl");
  test::OpensslRsaKey& a = Key(512);
  test::OpensslRsaKey& b = Key(1024);
  rsa.SetName("Rsa");
  EXPECT_EQ(ErrorOf([&] { rsa.SignString("x"); }),
            "ErrorCipher: Rsa is not ready to sign, must have valid private key");
  rsa.SetPrivateKeyParts(a.n, a.d);
  rsa.SetPublicKeyParts(a.n, a.e);
  EXPECT_EQ(ErrorOf([&] { rsa.VerifyString("x"); }), "ErrorCipher: Rsa: Signature to Verify is not assigned");
  const std::string stored_private = rsa.PrivateKeyBitValue();
  const std::string b_private = TAS_RSACryptography::BuildKeyDER(b.n, b.d);
  rsa.SignString("per call", b_private);
  EXPECT_EQ(rsa.PrivateKeyBitValue(), stored_private);
  rsa.SetVerifySignatureHex(rsa.GetSignatureHex());
  EXPECT_NO_THROW(rsa.VerifyString("per call", TAS_RSACryptography::BuildKeyDER(b.n, b.e)));
  EXPECT_EQ(ErrorOf([&] { rsa.VerifyString("per call"); }), "ErrorCipher: RSA verify error: 'Rsa'");
  // A per-call key that fails to parse also leaves the stored key.
  EXPECT_THROW(rsa.SignString("x", "3003020101"), EASN1Error);
  EXPECT_EQ(rsa.PrivateKeyBitValue(), stored_private);
}

// Signatures and keys from a document file may be anything: each is refused with a message.
TEST_F(RsaTest, MalformedSignaturesAndKeysAreRefused) {
  QV_REQUIRE_TOOL("openssl");
  test::OpensslRsaKey& key = Key(512);
  TAS_RSACryptography signer;
  signer.SetPrivateKeyParts(key.n, key.d);
  signer.SignString("text");
  const std::string good = signer.GetSignatureHex();
  GiantPtr n = MakeGiant();
  HexToGiant(key.n, n.get());
  GiantAddInt(1, n.get());
  const std::string n_plus_1 = GiantToHex(n.get());
  std::string flipped = good;
  flipped[10] = flipped[10] == '0' ? '1' : '0';
  const std::string format = "ErrorCipher: Invalid signature format: 'V'. Must be 01<$FF>00<DER>";
  const std::string mismatch = "ErrorCipher: RSA verify error: 'V'";
  struct Case {
    std::string n, e, sig, error;
  } cases[] = {
      {key.n, key.e, good, ""},
      {key.n, key.e, "00" + good, ""},                      // leading zero bytes are no value
      {key.n, key.e, "00", format},                         // s = 0
      {key.n, key.e, "01", format},                         // s = 1
      {key.n, key.e, key.n, mismatch},                      // s = n
      {key.n, key.e, n_plus_1, mismatch},                   // s > n
      {key.n, key.e, std::string(1200, 'F'), mismatch},     // longer than any modulus
      {key.n, "00", good, format},                          // e = 0
      {key.n, "01", good, format},                          // e = 1 gives the signature back
      {"00", key.e, good, "ErrorCipher: RSA key too short (0 bits). Pkcs1 encryption scheme needs at least 89 bits"},
      {"01", key.e, good, "ErrorCipher: RSA key too short (1 bits). Pkcs1 encryption scheme needs at least 89 bits"},
      {"FFFFFFFFFFFFFFFFFFFF", key.e, good,
       "ErrorCipher: RSA key too short (80 bits). Pkcs1 encryption scheme needs at least 89 bits"},
      {std::string(1026, 'F'), key.e, good, "ErrorCipher: Key too long: 513 bytes, must not exceed 512 bytes"},
  };
  for (const Case& c : cases) {
    TAS_RSACryptography v;
    v.SetName("V");
    v.SetPublicKeyParts(c.n, c.e);
    v.SetVerifySignatureHex(c.sig);
    EXPECT_EQ(ErrorOf([&] { v.VerifyString("text"); }), c.error) << c.n.size() << " " << c.e << " " << c.sig;
  }
  // A changed signature byte gives one of the two messages, never a crash or a pass.
  for (size_t i = 0; i < good.size(); i += 7) {
    std::string sig = good;
    sig[i] = sig[i] == 'A' ? 'B' : 'A';
    TAS_RSACryptography v;
    v.SetName("V");
    v.SetPublicKeyParts(key.n, key.e);
    v.SetVerifySignatureHex(sig);
    std::string error = ErrorOf([&] { v.VerifyString("text"); });
    EXPECT_TRUE(error == format || error == mismatch || error.rfind("EASN1Error", 0) == 0) << error;
  }
  // A key text that is no key is not taken.
  TAS_RSACryptography v;
  EXPECT_THROW(v.SetPublicKeyBitValue("3003020101"), EASN1Error);
  EXPECT_EQ(v.PublicKeyBitValue(), "");
  EXPECT_THROW(v.SetPublicKeyBitValue("30"), EASN1Error);
  EXPECT_EQ(v.PublicKeyBitValue(), "");
}

TEST_F(RsaTest, SigningChecksKeyLengthAndAlgorithm) {
  rsa.SetPrivateKeyParts("01" + std::string(20, 'F') + "01", "03");  // 89 bits: too short for SHA-1
  EXPECT_EQ(ErrorOf([&] { rsa.SignString("x"); }),
            "ErrorCipher: Signing key length of 89 bits is too short. Must be at least 328 bits");
  rsa.SetSignatureAlgorithm("1.2.3.4");
  EXPECT_EQ(ErrorOf([&] { rsa.SignString("x"); }), "ErrorCipher: Trying to sign by unknown algorithm: '1.2.3.4'");
}

TEST_F(RsaTest, KeyFilesAndTransfers) {
  QV_REQUIRE_TOOL("openssl");
  test::OpensslRsaKey& key = Key(512);
  test::TempDir dir;
  rsa.SetPublicKeyParts(key.n, key.e);
  rsa.SetPrivateKeyParts(key.n, key.d);
  rsa.SetPrimes(key.p, key.q);
  rsa.SaveKeysToFile(dir.File("keys.txt"));
  std::string text = ReadFileBytes(dir.File("keys.txt"));
  EXPECT_EQ(text.substr(0, 5), "npub=");
  EXPECT_LT(text.find("npriv="), text.find("\nd="));
  TAS_RSACryptography back;
  back.LoadKeysFromFile(dir.File("keys.txt"));
  EXPECT_EQ(back.PublicKeyBitValue(), rsa.PublicKeyBitValue());
  EXPECT_EQ(back.PrivateKeyBitValue(), rsa.PrivateKeyBitValue());
  EXPECT_EQ(back.PrimeQHexStr(), key.q);
  dir.Write("n.txt", "n=" + key.n + "\ne=" + key.e + "\nd=" + key.d + "\n");
  TAS_RSACryptography single;
  single.LoadKeysFromFile(dir.File("n.txt"));
  EXPECT_EQ(single.KeyNPrivHexStr(), key.n);

  rsa.SavePrivateKeyToFile(dir.File("priv.der"));
  TAS_RSACryptography loaded;
  loaded.LoadPrivateKeyFromFile(dir.File("priv.der"));
  EXPECT_EQ(loaded.KeyDHexStr(), key.d);
  loaded.SetKeyDHexStr("03");
  EXPECT_EQ(loaded.KeyNPrivHexStr(), key.n);
  EXPECT_EQ(loaded.KeyDHexStr(), "03");

  // An exponent with its top bit set is stored without a sign byte and read back unsigned.
  rsa.SetPublicKeyParts("00" + key.n, "C1");
  EXPECT_EQ(rsa.PublicKeyBitValue().substr(rsa.PublicKeyBitValue().size() - 6), "0201C1");
  rsa.SavePublicKeyToFile(dir.File("pub.der"));
  std::string out = test::RunTool("openssl rsa -RSAPublicKey_in -inform DER -in " + dir.File("pub.der") +
                                  " -noout -text 2>&1");
  EXPECT_NE(out.find("Exponent: 193"), std::string::npos) << out;
}

TEST_F(RsaTest, EncryptionSchemesMatchOpenssl) {
  QV_REQUIRE_TOOL("openssl");
  test::OpensslRsaKey& key = Key(1024);
  TAS_DigestSHA1 sha;
  rsa.SetEncryptingDigest(&sha);
  rsa.SetPublicKeyParts(key.n, key.e);
  rsa.SetPrivateKeyParts(key.n, key.d);
  test::TempDir dir;
  const std::string plain = std::string("plain text for the cipher ") + std::string(40, 'x');
  struct Scheme {
    TRSAEncryptionScheme scheme;
    std::string option;
  } schemes[] = {{TRSAEncryptionScheme::esPkcs1, ""},
                 {TRSAEncryptionScheme::esOaep, " -pkeyopt rsa_padding_mode:oaep"}};
  for (const Scheme& s : schemes) {
    rsa.SetEncryptionScheme(s.scheme);
    std::string cipher = rsa.EncryptString(plain);
    EXPECT_EQ(cipher.size(), 256u);
    dir.Write("c.bin", HexTextToString(cipher));
    std::string out = test::RunTool("openssl pkeyutl -decrypt -inkey " + key.pem + s.option + " -in " +
                                    dir.File("c.bin"));
    EXPECT_EQ(out, plain) << s.option;
    dir.Write("p.bin", plain);
    test::RunTool("openssl pkeyutl -encrypt -pubin -inkey " + key.pub_pem + s.option + " -in " +
                  dir.File("p.bin") + " -out " + dir.File("c2.bin"));
    EXPECT_EQ(HexTextToString(rsa.DecryptString(BytesToHexText(ReadFileBytes(dir.File("c2.bin"))))), plain);
    std::string bad = BytesToHexText(ReadFileBytes(dir.File("c2.bin")));
    bad[5] = bad[5] == '1' ? '2' : '1';
    EXPECT_EQ(ErrorOf([&] { rsa.DecryptString(bad); }), "ErrorCipher: RSA decode error: ''");
  }
  // Plain RSA on one block left-padded to the modulus length.
  rsa.SetEncryptionScheme(TRSAEncryptionScheme::esPlain);
  std::string block(127, '\0');
  block.replace(100, 5, "hello");
  std::string cipher = rsa.EncryptString(block);
  dir.Write("c.bin", HexTextToString(cipher));
  std::string out = test::RunTool("openssl pkeyutl -decrypt -inkey " + key.pem +
                                  " -pkeyopt rsa_padding_mode:none -in " + dir.File("c.bin"));
  EXPECT_EQ(out, std::string(1, '\0') + block);
  EXPECT_EQ(HexTextToString(rsa.DecryptString(cipher)), block);
  rsa.SetEncryptingDigest(nullptr);
  rsa.SetEncryptionScheme(TRSAEncryptionScheme::esOaep);
  EXPECT_EQ(ErrorOf([&] { rsa.EncryptString("x"); }),
            "ErrorCipher:  must have EncryptionDigest component property assigned to operate on OAEP scheme");
}

}  // namespace
}  // namespace qv
