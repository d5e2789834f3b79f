#include "crypto/as_des_cryptography.h"

#include <gtest/gtest.h>

#include <random>

#include "crypto/crypto_text.h"
#include "openssl_tool.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

const char kArchiveKey[] = "5C1E9A07D3B46F28E0A7C5193B8D6E42F1079A3C5E8B2D64";

std::string ErrorText(const std::function<void()>& f) {
  try {
    f();
  } catch (const ErrorCipher& e) {
    return e.Message();
  }
  return "(no error)";
}

std::string Hex(const std::string& s) { return BytesToHexText(s); }

TEST(Des, GivesTheStandardBlocksForOneAndThreeStages) {
  struct Case {
    uint32_t quant;
    std::string key, plain, cipher;
  };
  const Case cases[] = {
      {1, "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {3, "133457799BBCDFF1133457799BBCDFF1133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      {1, "0000000000000000", "0000000000000000", "8CA64DE9C1B123A7"},
      {1, "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "7359B2163E4EDC58"},
      {1, "0101010101010101", "95F8A5E5DD31D900", "8000000000000000"},  // parity bits ignored
      {1, "3000000000000000", "1000000000000001", "958E6E627A05557B"},
      {1, "7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
      {3, "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123", "5468652071756663", "A826FD8CE53B855F"},
  };
  for (const Case& c : cases) {
    TAS_DESCryptography des;
    des.SetCipherQuant(c.quant);
    des.SetKeyHexStr(c.key);
    EXPECT_EQ(des.EncryptString(HexTextToString(c.plain)), c.cipher) << c.key;
    EXPECT_EQ(des.DecryptString(c.cipher), c.plain) << c.key;
  }
}

TEST(Des, ArchiveStringCipherLeavesTheTailInClear) {
  TAS_DESCryptography des;
  EXPECT_EQ(des.AlgorithmName(), "3DES");
  EXPECT_EQ(des.CipherMaskText(), "EDE");
  des.SetKeyHexStr(kArchiveKey);
  for (std::string text : {"Password12", "short", "", "exactly8", "Grüße aus dem Labor, 23 °C"}) {
    std::string hex = des.EncryptString(text);
    ASSERT_EQ(hex.size(), 2 * text.size()) << text;
    size_t clear = text.size() % 8;
    EXPECT_EQ(hex.substr(hex.size() - 2 * clear), Hex(text.substr(text.size() - clear))) << text;
    if (text.size() >= 8) {
      EXPECT_NE(hex.substr(0, 16), Hex(text.substr(0, 8)));
    }
    EXPECT_EQ(HexTextToString(des.DecryptString(hex)), text);
  }
  EXPECT_EQ(des.EncryptString("short"), Hex("short"));
}

TEST(Des, ModesMatchTheOpensslToolForEveryLength) {
  if (!test::OpensslAvailable()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  std::mt19937 rng(5);
  std::string data(75, '\0');
  for (char& c : data) c = static_cast<char>(rng());
  const std::string iv = "0F1E2D3C4B5A6978";
  struct Mode {
    TCipherMode mode;
    const char* cipher;
    bool partial;
  };
  const Mode modes[] = {{TCipherMode::cmECB, "des-ede3", false},
                        {TCipherMode::cmCBC, "des-ede3-cbc", false},
                        {TCipherMode::cmCFB, "des-ede3-cfb", true},
                        {TCipherMode::cmOFB, "des-ede3-ofb", true}};
  TAS_DESCryptography des;
  des.SetKeyHexStr(kArchiveKey);
  des.SetInitVectorHexStr(iv);
  for (const Mode& m : modes) {
    des.SetCipherMode(m.mode);
    for (size_t n : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 63u, 64u, 75u}) {
      std::string plain = data.substr(0, n);
      std::string mine = des.EncryptString(plain);
      EXPECT_EQ(HexTextToString(des.DecryptString(mine)), plain) << m.cipher << " " << n;
      // OpenSSL refuses partial blocks without padding; the kit leaves them in clear.
      size_t whole = m.partial ? n : n / 8 * 8;
      if (whole == 0) continue;
      dir.Write("p.bin", plain.substr(0, whole));
      test::RunOpenssl(std::string("enc -") + m.cipher + " -nopad -K " + kArchiveKey + " -iv " + iv + " -in " +
                       dir.File("p.bin") + " -out " + dir.File("c.bin"));
      EXPECT_EQ(mine.substr(0, 2 * whole), FileToHexText(dir.File("c.bin"))) << m.cipher << " " << n;
      EXPECT_EQ(mine.substr(2 * whole), Hex(plain.substr(whole))) << m.cipher << " " << n;
    }
  }
}

TEST(Des, OtherStageCountsFollowTheMaskAsChainedSingleSteps) {
  const std::string keys = "133457799BBCDFF10123456789ABCDEF";
  TAS_DESCryptography des;
  des.SetCipherQuant(2);
  EXPECT_EQ(des.AlgorithmName(), "2DES");
  EXPECT_EQ(des.CipherMaskText(), "ED");
  des.SetKeyHexStr(keys);
  std::string block = HexTextToString("0123456789ABCDEF");
  std::string two = des.EncryptString(block);

  TAS_DESCryptography one;
  one.SetCipherQuant(1);
  std::string step = one.EncryptString(block, keys.substr(0, 16));
  step = one.DecryptString(step, keys.substr(16));
  EXPECT_EQ(two, step);  // E(K1) then D(K2)
  EXPECT_EQ(des.DecryptString(two), Hex(block));

  des.SetCipherMaskText("ee");
  std::string ee = one.EncryptString(HexTextToString(one.EncryptString(block, keys.substr(0, 16))), keys.substr(16));
  EXPECT_EQ(des.EncryptString(block), ee);
}

TEST(Des, CipherQuantAndMaskRules) {
  TAS_DESCryptography des;
  int changes = 0;
  des.OnChangeCipherQuant = [&](TComponent*) { ++changes; };
  des.SetKeyHexStr(kArchiveKey);
  des.SetCipherQuant(3);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(des.CanEncrypt());
  des.SetCipherQuant(1);
  EXPECT_EQ(des.AlgorithmName(), "DES");
  EXPECT_EQ(des.KeyHexStr(), "0000000000000000");
  EXPECT_FALSE(des.CanEncrypt());
  EXPECT_EQ(ErrorText([&] { des.SetKeyHexStr(kArchiveKey); }), "Key length must be equal to 1 * 8 = 8 bytes");
  des.SetCipherQuant(40);
  EXPECT_EQ(des.CipherQuant(), 32u);
  EXPECT_EQ(des.AlgorithmName(), "32DES");
  EXPECT_EQ(des.Key().size(), 256u);
  des.SetCipherQuant(0);
  EXPECT_EQ(des.CipherQuant(), 1u);
  EXPECT_EQ(changes, 3);

  des.SetCipherMaskText("ede");
  EXPECT_EQ(des.CipherMask(), 5u);
  EXPECT_EQ(ErrorText([&] { des.SetCipherMaskText("EDX"); }), "Invalid multiple DES cipher sequence: 'EDX'");
  EXPECT_EQ(des.CipherMask(), 5u);
  des.SetCipherMaskText("D");
  EXPECT_EQ(des.CipherMask(), 0u);
}

TEST(Des, RefusedKeysLeaveTheOldKey) {
  TAS_DESCryptography des;
  des.SetKeyHexStr(kArchiveKey);
  struct Case {
    std::function<void()> call;
    std::string message;
  };
  bool accept = true;
  des.OnPostValidateKey = [&](TComponent*, const uint8_t*, int len, bool& valid) { valid = accept || len != 24; };
  const Case cases[] = {
      {[&] { des.SetKeyHexStr("00112233445566778899AABBCCDDEEFF"); }, "Key length must be equal to 3 * 8 = 24 bytes"},
      {[&] {
         accept = false;
         des.SetKeyHexStr(std::string(48, '1'));
       },
       "Key considered invalid by application"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorText(c.call), c.message);
    EXPECT_EQ(des.KeyHexStr(), kArchiveKey);
    EXPECT_TRUE(des.CanEncrypt());
  }
  des.OnPostValidateKey = nullptr;
  EXPECT_THROW(des.SetKeyHexStr("XY" + std::string(46, '0')), EConvertError);
  EXPECT_EQ(des.KeyHexStr(), kArchiveKey);
  EXPECT_THROW(des.DecryptString("0123456789ABCDEG"), EConvertError);
  EXPECT_THROW(des.SetInitVectorHexStr("0x"), EConvertError);

  des.SetCipherQuant(32);
  EXPECT_EQ(ErrorText([&] { des.SetKeyText(std::string(257, 'k')); }),
            "Key length must be equal to 32 * 8 = 256 bytes");
  des.SetKeyText(std::string(256, 'k'));
  EXPECT_TRUE(des.CanEncrypt());
  des.SetKeyText("");
  EXPECT_FALSE(des.CanEncrypt());
  EXPECT_EQ(des.KeyHexStr(), "");
}

TEST(Des, NoUsableKeyMeansNotReadyAlsoAfterACallWithItsOwnKey) {
  TAS_DESCryptography des;
  des.SetName("ArchiveCrypt");
  int key_changes = 0;
  des.OnChangeKey = [&](TComponent*) { ++key_changes; };
  const std::string not_ready_enc = "ArchiveCrypt is not ready to encrypt, must have valid key";
  const std::string not_ready_dec = "ArchiveCrypt is not ready to decrypt, must have valid key";
  EXPECT_EQ(ErrorText([&] { des.EncryptString("12345678"); }), not_ready_enc);
  EXPECT_EQ(ErrorText([&] { des.DecryptString("00"); }), not_ready_dec);

  std::string with_key = des.EncryptString("12345678", kArchiveKey);
  EXPECT_EQ(key_changes, 2);  // the per-call key, then the restore at the end
  EXPECT_FALSE(des.CanEncrypt());
  EXPECT_EQ(des.KeyHexStr(), std::string(48, '0'));
  EXPECT_EQ(ErrorText([&] { des.EncryptString("12345678"); }), not_ready_enc);
  EXPECT_EQ(HexTextToString(des.DecryptString(with_key, kArchiveKey)), "12345678");
  EXPECT_EQ(ErrorText([&] { des.DecryptString(with_key); }), not_ready_dec);

  // A per-call key that is refused still restores the key in force.
  des.SetKeyHexStr(kArchiveKey);
  EXPECT_EQ(ErrorText([&] { des.EncryptString("12345678", "0011"); }), "Key length must be equal to 3 * 8 = 24 bytes");
  EXPECT_EQ(des.KeyHexStr(), kArchiveKey);
  EXPECT_EQ(des.EncryptString("12345678"), with_key);

  des.SetKeyText("");
  EXPECT_EQ(ErrorText([&] { des.EncryptString("x"); }), not_ready_enc);
  des.EncryptString("x", kArchiveKey);
  EXPECT_EQ(des.KeyHexStr(), "");
  EXPECT_FALSE(des.CanEncrypt());
}

TEST(Des, InPlaceWorkBlockEventsAndShortVectors) {
  TAS_DESCryptography des;
  des.SetKeyHexStr(kArchiveKey);
  des.SetCipherMode(TCipherMode::cmCBC);
  std::string plain = "0123456789abcdefXYZ";
  std::string expected = des.EncryptString(plain);  // no vector: zeros
  des.SetInitVectorHexStr("0000");
  EXPECT_EQ(des.EncryptString(plain), expected);
  EXPECT_EQ(des.InitVectorHexStr(), "0000");

  std::string events;
  des.OnBeforeEncryptBlock = [&](TComponent*, uint8_t* block, uint32_t off, uint32_t size) {
    events += std::to_string(off) + "/" + std::to_string(size) + (block[0] == uint8_t(plain[off]) ? "p " : "c ");
  };
  des.SetCipherInPlace(true);
  std::string work = plain;
  des.Encrypt(work.data(), work.size());
  EXPECT_EQ(Hex(work), expected);
  EXPECT_EQ(events, "0/8p 8/8p ");  // seen before chaining

  events.clear();
  des.SetCipherMode(TCipherMode::cmCFB);
  des.EncryptString(plain);
  EXPECT_EQ(events, "0/8p 8/8p 16/3p ");
}

TEST(Des, KeyFileAndGeneratedKeys) {
  test::TempDir dir;
  TAS_DESCryptography des;
  dir.Write("keys.txt", "unchanged");
  des.SaveKeysToFile(dir.File("keys.txt"));  // neither key nor vector
  EXPECT_EQ(dir.Read("keys.txt"), "unchanged");

  des.GenerateKeys(0);
  EXPECT_EQ(des.Key().size(), 24u);
  EXPECT_EQ(des.InitVector().size(), 8u);
  EXPECT_TRUE(des.CanEncrypt());
  des.SaveKeysToFile(dir.File("keys.txt"));

  TAS_DESCryptography other;
  other.LoadKeysFromFile(dir.File("keys.txt"));
  EXPECT_EQ(other.KeyHexStr(), des.KeyHexStr());
  EXPECT_EQ(other.InitVectorHexStr(), des.InitVectorHexStr());

  dir.Write("upper.txt", "IV=0102030405060708\r\nKEY=" + std::string(kArchiveKey) + "\r\n");
  other.LoadKeysFromFile(dir.File("upper.txt"));
  EXPECT_EQ(other.KeyHexStr(), kArchiveKey);
  EXPECT_EQ(other.InitVectorHexStr(), "0102030405060708");
  dir.Write("bad.txt", "key=ZZ\r\n");
  EXPECT_THROW(other.LoadKeysFromFile(dir.File("bad.txt")), EConvertError);

  // Generated bytes are never 255.
  TAS_DESCryptography big;
  big.SetCipherQuant(32);
  for (int i = 0; i < 20; ++i) {
    big.GenerateKeys(256);
    for (uint8_t b : big.Key()) ASSERT_NE(b, 255);
    for (uint8_t b : big.InitVector()) ASSERT_NE(b, 255);
  }
}

}  // namespace
}  // namespace qv
