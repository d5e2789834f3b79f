#include "crypto/as_digest.h"

#include <gtest/gtest.h>

#include <random>

#include "crypto/as_des_cryptography.h"
#include "crypto/crypto_kit.h"
#include "crypto/crypto_text.h"
#include "crypto/digest_engines.h"
#include "openssl_tool.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

const std::string kAlnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string kDigits = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
const std::string kSha1Two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

std::unique_ptr<TAS_Digest> Make(const std::string& name) {
  if (name == "SHA1") return std::make_unique<TAS_DigestSHA1>();
  if (name == "RIPEMD160") return std::make_unique<TAS_DigestRIPEMD160>();
  auto mdx = std::make_unique<TAS_DigestMDX>();
  mdx->SetVersion(name == "MD2" ? TMDXVersion::dgMD2 : name == "MD4" ? TMDXVersion::dgMD4 : TMDXVersion::dgMD5);
  return mdx;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(Digests, GiveThePublishedVectors) {
  struct Case {
    const char* algo;
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"MD2", "", "8350e5a3e24c153df2275c9f80692773"},
      {"MD2", "a", "32ec01ec4a6dac72c0ab96fb34c0b5d1"},
      {"MD2", "abc", "da853b0d3f88d99b30283a69e6ded6bb"},
      {"MD2", "message digest", "ab4f496bfb2a530b219ff33031fe06b0"},
      {"MD2", "abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b"},
      {"MD2", kAlnum, "da33def2a42df13975352846c30338cd"},
      {"MD2", kDigits, "d5976f79d83d3a0dc9806c3c66f3efd8"},
      {"MD4", "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
      {"MD4", "abc", "a448017aaf21d8525fc10ae87aa6729d"},
      {"MD4", "message digest", "d9130a8164549fe818874806e1c7014b"},
      {"MD4", kAlnum, "043f8582f241db351ce627e153e7f0e4"},
      {"MD4", kDigits, "e33b4ddc9c38f2199c3e7b164fcc0536"},
      {"MD5", "", "d41d8cd98f00b204e9800998ecf8427e"},
      {"MD5", "a", "0cc175b9c0f1b6a831c399e269772661"},
      {"MD5", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"MD5", kAlnum, "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"MD5", kDigits, "57edf4a22be3c955ac49da2e2107b67a"},
      {"SHA1", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"SHA1", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"SHA1", kSha1Two, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"SHA1", std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {"RIPEMD160", "", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
      {"RIPEMD160", "abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
      {"RIPEMD160", "message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
      {"RIPEMD160", kSha1Two, "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
      {"RIPEMD160", kDigits, "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
      {"RIPEMD160", std::string(1000000, 'a'), "52783243c1697bdbe16d37f97f68f08325dc1528"},
  };
  // SHA-1 runs on the processor's SHA instructions where it has them, else on the plain code.
  for (bool sha_instructions : {true, false}) {
    bool old = digest::Sha1::UseShaInstructions(sha_instructions);
    for (const Case& c : cases) {
      auto digest = Make(c.algo);
      EXPECT_EQ(digest->CalcStringDigest(c.message), Upper(c.digest)) << c.algo << " of " << c.message.size();
    }
    digest::Sha1::UseShaInstructions(old);
  }
}

// The engines hashed in pieces give the digest of the whole message.
template <class Engine>
std::string InPieces(const std::string& data, const std::vector<size_t>& cuts) {
  Engine e;
  size_t at = 0;
  for (size_t cut : cuts) {
    cut = std::min(cut, data.size());
    e.Update(reinterpret_cast<const uint8_t*>(data.data()) + at, cut - at);
    at = cut;
  }
  e.Update(reinterpret_cast<const uint8_t*>(data.data()) + at, data.size() - at);
  uint8_t out[Engine::kSize];
  e.Final(out);
  return BytesToHexText(out, Engine::kSize);
}

TEST(Digests, PiecesGiveTheDigestOfTheWholeMessage) {
  std::mt19937 rng(3);
  std::string data(300, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  bool old = digest::Sha1::UseShaInstructions(false);
  std::string plain_sha1 = Make("SHA1")->CalcStringDigest(data);
  digest::Sha1::UseShaInstructions(true);
  EXPECT_EQ(Make("SHA1")->CalcStringDigest(data), plain_sha1);
  digest::Sha1::UseShaInstructions(old);
  for (size_t cut = 0; cut <= 200; cut += 7) {
    std::vector<size_t> cuts = {cut, cut + 1, cut + 64, cut + 65};
    for (const char* algo : {"MD2", "MD4", "MD5", "SHA1", "RIPEMD160"}) {
      std::string whole = Make(algo)->CalcStringDigest(data);
      std::string pieces = algo == std::string("MD2")    ? InPieces<digest::Md2>(data, cuts)
                           : algo == std::string("MD4")  ? InPieces<digest::Md4>(data, cuts)
                           : algo == std::string("MD5")  ? InPieces<digest::Md5>(data, cuts)
                           : algo == std::string("SHA1") ? InPieces<digest::Sha1>(data, cuts)
                                                         : InPieces<digest::Ripemd160>(data, cuts);
      EXPECT_EQ(pieces, whole) << algo << " cut " << cut;
    }
  }
}

TEST(Digests, MatchTheOpensslToolAroundTheBlockBoundaries) {
  if (!test::OpensslAvailable()) GTEST_SKIP() << "openssl not installed";
  if (test::RunOpenssl("dgst -md4 -provider legacy -provider default /dev/null").empty())
    GTEST_SKIP() << "openssl without the legacy provider";
  test::TempDir dir;
  std::mt19937 rng(11);
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (char& c : big) c = static_cast<char>(rng());
  struct Algo {
    const char* name;
    const char* option;
  };
  const Algo algos[] = {{"MD4", "-md4 -provider legacy -provider default"},
                        {"MD5", "-md5"},
                        {"SHA1", "-sha1"},
                        {"RIPEMD160", "-ripemd160 -provider legacy -provider default"}};
  for (size_t n : {0u, 1u, 3u, 55u, 56u, 63u, 64u, 119u, 120u, 128u, 1000u, 3u * 1024 * 1024 + 17}) {
    std::string data = big.substr(0, n);
    dir.Write("m.bin", data);
    for (const Algo& a : algos) {
      std::string out = test::RunOpenssl(std::string("dgst -r ") + a.option + " " + dir.File("m.bin"));
      ASSERT_FALSE(out.empty()) << a.name;
      EXPECT_EQ(Make(a.name)->CalcStringDigest(data), Upper(out.substr(0, out.find(' ')))) << a.name << " " << n;
    }
  }
}

TEST(DigestComponents, TakeOnlyTheirOwnOidsAndStartWithZeroBytes) {
  RegisterCryptoAlgorithms();
  TAS_DigestSHA1 sha;
  EXPECT_EQ(sha.ObjectID(), "1.2.840.113549.2.7");
  EXPECT_EQ(sha.AlgorithmName(), "SHA1");
  EXPECT_EQ(sha.GetDigestHex(), std::string(40, '0'));
  sha.SetObjectID("1.3.14.3.2.26");
  EXPECT_EQ(sha.ObjectID(), "1.3.14.3.2.26");
  sha.SetObjectID("1.2.840.113549.2.5");
  EXPECT_EQ(sha.ObjectID(), "1.3.14.3.2.26");
  EXPECT_EQ(sha.AlgorithmName(), "SHA1");

  TAS_DigestRIPEMD160 ripe;
  ripe.SetObjectID("1.3.14.3.2.26");
  EXPECT_EQ(ripe.ObjectID(), "1.3.36.3.2.1");
  EXPECT_EQ(ripe.DigestSize(), 20);

  TAS_DigestMDX mdx;
  EXPECT_EQ(mdx.Version(), TMDXVersion::dgMD5);
  EXPECT_EQ(mdx.DigestSize(), 16);
  EXPECT_EQ(mdx.GetDigestHex(), std::string(32, '0'));
  mdx.SetVersion(TMDXVersion::dgMD2);
  EXPECT_EQ(mdx.ObjectID(), "1.2.840.113549.2.2");
  EXPECT_EQ(mdx.AlgorithmName(), "MD2");
  EXPECT_EQ(mdx.CalcStringDigest(""), "8350E5A3E24C153DF2275C9F80692773");
  mdx.SetObjectID("1.3.36.3.2.1");
  EXPECT_EQ(mdx.Version(), TMDXVersion::dgMD2);
}

TEST(DigestComponents, FireTheirEventsAroundEachCalculation) {
  TAS_DigestMDX mdx;
  std::string log;
  mdx.OnBeforeCalcDigest = [&](TComponent*) { log += "before " + mdx.GetDigestHex().substr(0, 2) + " "; };
  mdx.OnAfterCalcDigest = [&](TComponent*) { log += "after " + mdx.GetDigestHex().substr(0, 2); };
  mdx.CalcDigest(nullptr, 0);
  EXPECT_EQ(log, "before 00 after D4");
}

TEST(DigestComponents, AreCreatedByOidOnlyForDigests) {
  RegisterCryptoAlgorithms();
  struct Case {
    const char* oid;
    const char* name;
    const char* abc_digest;
  };
  const Case cases[] = {
      {"1.2.840.113549.2.4", "MD4", "A448017AAF21D8525FC10AE87AA6729D"},
      {"1.2.840.113549.2.2", "MD2", "DA853B0D3F88D99B30283A69E6DED6BB"},
      {"1.3.14.3.2.26", "SHA1", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
      {"1.3.36.3.2.1", "RIPEMD160", "8EB208F7E05D987A9B044A8E98C6B087F15A0BFC"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TAS_Digest> d = CreateDigestByOID(c.oid);
    ASSERT_NE(d, nullptr) << c.oid;
    EXPECT_EQ(d->ObjectID(), c.oid);
    EXPECT_EQ(d->AlgorithmName(), c.name);
    EXPECT_EQ(d->Owner(), nullptr);
    EXPECT_EQ(d->CalcStringDigest("abc"), c.abc_digest);
  }
  RegisterAlgorithm("TestCipherByOid", "1.9.77", &TAS_DESCryptography::kClass);
  EXPECT_EQ(CreateDigestByOID("1.9.77"), nullptr);  // a registered class that is no digest
  EXPECT_EQ(CreateDigestByOID("1.2.840.113549.1.1.1"), nullptr);
  EXPECT_EQ(CreateDigestByOID("1.9.999"), nullptr);
  EXPECT_EQ(FindAlgorithmClass("3des"), &TAS_DESCryptography::kClass);
  EXPECT_EQ(AlgorithmNameOfOID("1.2.840.113549.2.7"), "SHA1");
}

}  // namespace
}  // namespace qv
