#include "crypto/as_coding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "support/temp_dir.h"
#include "openssl_tool.h"

namespace qv {
namespace {

TEST(Base64, EncodesAndDecodesTheRfcVectors) {
  struct Case {
    std::string plain, coded;
  };
  const Case cases[] = {{"", ""},
                        {"f", "Zg=="},
                        {"fo", "Zm8="},
                        {"foo", "Zm9v"},
                        {"foob", "Zm9vYg=="},
                        {"fooba", "Zm9vYmE="},
                        {"foobar", "Zm9vYmFy"},
                        {std::string("\xff\xfe\x00", 3), "//4A"}};
  TAS_Base64Coding coder;
  EXPECT_EQ(coder.AlgorithmName(), "Base64");
  for (const Case& c : cases) {
    EXPECT_EQ(coder.EncodeString(c.plain), c.coded) << c.plain;
    EXPECT_EQ(coder.DecodeString(c.coded), c.plain) << c.coded;
  }
}

TEST(Base64, EmptyTextFiresNoEventAndOtherTextsFireBoth) {
  TAS_Base64Coding coder;
  std::string log;
  coder.OnBeforeEncode = [&](TComponent*) { log += "be "; };
  coder.OnAfterEncode = [&](TComponent*) { log += "ae "; };
  coder.OnBeforeDecode = [&](TComponent*) { log += "bd "; };
  coder.OnAfterDecode = [&](TComponent*) { log += "ad "; };
  coder.EncodeString("");
  coder.DecodeString("");
  EXPECT_EQ(log, "");
  coder.DecodeString(coder.EncodeString("x"));
  EXPECT_EQ(log, "be ae bd ad ");
  coder.SetCodeInPlace(true);
  EXPECT_FALSE(coder.CodeInPlace());
}

TEST(Base64, SkipsBlanksAnywhereAndIgnoresATrailingSingleCharacter) {
  TAS_Base64Coding coder;
  EXPECT_EQ(coder.DecodeString("Zm9v\r\nYm\tE =\n"), "fooba");
  EXPECT_EQ(coder.DecodeString(" Z g = = "), "f");
  EXPECT_EQ(coder.DecodeString("Zm9vY"), "foo");  // a lone final character carries no byte
  EXPECT_EQ(coder.DecodeString("===="), "");
}

TEST(Base64, RefusesForeignCharactersWithTheirCode) {
  TAS_Base64Coding coder;
  struct Case {
    std::string text, message;
  };
  const Case cases[] = {
      {"-----BEGIN", "Invalid base64 character code: 0x2D"},
      {"Proc-Type: 4", "Invalid base64 character code: 0x2D"},
      {"ab:c", "Invalid base64 character code: 0x3A"},
      {"Zg==Zg==", "Invalid base64 character code: 0x3D"},  // pad inside the data
      {"Zm\xc3\xa4", "Invalid base64 character code: 0xC3"},
  };
  for (const Case& c : cases) {
    try {
      coder.DecodeString(c.text);
      ADD_FAILURE() << c.text;
    } catch (const ErrorBase64& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(Base64, BlockCallsReportLengthsAndRefuseSmallBuffers) {
  TAS_Base64Coding coder;
  const uint8_t src[] = {1, 2, 3, 4};
  uint8_t buf[8];
  size_t out = 0;
  EXPECT_FALSE(coder.EncodeBlock(src, 4, out, 7, buf));
  EXPECT_EQ(out, 8u);
  EXPECT_TRUE(coder.EncodeBlock(src, 4, out, 8, buf));
  const uint8_t text[] = "AQIDBA==  ";
  EXPECT_EQ(coder.DecodedLength(text, 10), 6u);  // (10 - 2) * 6 / 8
  EXPECT_FALSE(coder.DecodeBlock(text, 10, out, 5, buf));
  EXPECT_TRUE(coder.DecodeBlock(text, 10, out, 6, buf));
  EXPECT_EQ(out, 4u);
  EXPECT_EQ(std::string(buf, buf + 4), std::string("\1\2\3\4"));
}

TEST(Base64, MatchesTheOpensslToolAtEveryLengthUpTo100) {
  if (!test::OpensslAvailable()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  std::mt19937 rng(7);
  std::string data;
  for (int i = 0; i < 100; ++i) data += static_cast<char>(rng());
  TAS_Base64Coding coder;
  for (size_t n : {1u, 2u, 3u, 55u, 56u, 64u, 100u}) {
    dir.Write("in.bin", data.substr(0, n));
    std::string ref = test::RunOpenssl("base64 -A -in " + dir.File("in.bin"));
    while (!ref.empty() && ref.back() == '\n') ref.pop_back();
    EXPECT_EQ(coder.EncodeString(data.substr(0, n)), ref) << n;
    EXPECT_EQ(coder.DecodeString(ref), data.substr(0, n)) << n;
  }
}

}  // namespace
}  // namespace qv
