#include "crypto/crypto_text.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "crypto/as_coding.h"

#include "crypto/as_component.h"
#include "openssl_tool.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::string Hex(const std::vector<uint8_t>& v) {
  return BytesToHexText(v.data(), static_cast<std::ptrdiff_t>(v.size()));
}

TEST(HexText, ConvertsBothWaysWithOddTextsAndReversal) {
  const uint8_t bytes[] = {0x0A, 0xFF};
  EXPECT_EQ(BytesToHexText(bytes, 2), "0AFF");
  EXPECT_EQ(BytesToHexText(bytes, 2, true), "FF0A");
  EXPECT_EQ(BytesToHexText(nullptr, 2), "");
  EXPECT_EQ(BytesToHexText(bytes, 0), "");
  struct Case {
    std::string hex;
    bool reversed;
    std::string bytes_hex;
  };
  const Case cases[] = {{"ABC", false, "ABC0"}, {"ABC", true, "BC0A"}, {"abcd", false, "ABCD"},
                        {"0102", true, "0201"}, {"", false, ""},       {"7", false, "70"}};
  for (const Case& c : cases) EXPECT_EQ(Hex(HexTextToBytes(c.hex, c.reversed)), c.bytes_hex) << c.hex;
  EXPECT_EQ(HexTextByteCount("ABC"), 2u);
  EXPECT_EQ(HexTextToString("4142"), "AB");
  EXPECT_EQ(BytesToString("abc", 3, true), "cba");
}

TEST(HexText, NonHexPairsRaiseTheConversionError) {
  for (const char* bad : {"GG", "0x12", "12 34", "1-", "A\xc3"}) {
    EXPECT_THROW(HexTextToBytes(bad), EConvertError) << bad;
  }
}

TEST(HexText, ByteHelpers) {
  uint8_t a[] = {1, 2, 3}, b[] = {1, 2, 4}, r[3];
  EXPECT_EQ(CompareBytes(a, b, 3), -1);
  EXPECT_EQ(CompareBytes(b, a, 3), 1);
  EXPECT_EQ(CompareBytes(a, b, 2), 0);
  EXPECT_EQ(CompareBytes(nullptr, b, 3), 0);
  const uint8_t hi[] = {0x80}, lo[] = {0x7F};
  EXPECT_EQ(CompareBytes(hi, lo, 1), 1);  // unsigned
  ReverseBytes(a, r, 3);
  EXPECT_EQ(BytesToHexText(r, 3), "030201");
  EXPECT_EQ(RotateLeft32(0x80000001u, 1), 0x00000003u);
  EXPECT_EQ(RotateLeft32(0x12345678u, 32), 0x12345678u);
  EXPECT_EQ(RotateLeft32(0x12345678u, 36), 0x23456781u);
}

TEST(HexText, LinesStreamsFilesAndNameValues) {
  std::string hex;
  for (int i = 0; i < 18; ++i) hex += BytesToHexText(&i, 1);
  TStringList lines;
  HexTextToLines(hex, lines, 0);
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[1], "10 11");
  HexTextToLines("ABCDE", lines, 2);
  EXPECT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[1], "E");
  EXPECT_EQ(LinesToHexText(lines), "ABCDE");

  std::stringstream s;
  HexTextToHexLinesStream(s, hex);
  EXPECT_EQ(s.str().substr(s.str().size() - 7), "10 11\r\n");
  EXPECT_EQ(HexLinesStreamToHexText(s), hex);
  std::stringstream raw;
  HexTextToStream(raw, "00FF41");
  EXPECT_EQ(raw.str(), std::string("\0\xff"
                                   "A",
                                   3));
  EXPECT_EQ(StreamToHexText(raw), "00FF41");

  test::TempDir dir;
  HexTextToFile(dir.File("f.bin"), "DEADBEEF");
  EXPECT_EQ(FileToHexText(dir.File("f.bin")), "DEADBEEF");

  TStringList nv;
  AddNameValue(nv, "1.3.14.3.2.26", "SHA1");
  AddNameValue(nv, "x", "a=b");
  EXPECT_EQ(ValueOfLine("x=a=b"), "a=b");
  EXPECT_EQ(ValueOfLine("novalue"), "");
  EXPECT_EQ(IndexOfValue(nv, "sha1"), 0);
  EXPECT_EQ(IndexOfValue(nv, "A=B"), 1);
  EXPECT_EQ(IndexOfValue(nv, "MD5"), -1);
}

TEST(OidText, ConvertsBothWaysAndRefusesMalformedText) {
  struct Case {
    std::string text, hex;
  };
  const Case good[] = {{"1.2.840.113549", "2A864886F70D"}, {"1.2.840.113549.1.1.1", "2A864886F70D010101"},
                       {"1.3.14.3.2.26", "2B0E03021A"},    {"2.999.3", "883703"},
                       {"2.5.8.1.1", "55080101"},          {"0.0.0", "0000"},
                       {"1.2.4294967295", "2A8FFFFFFF7F"}};
  for (const Case& c : good) {
    EXPECT_EQ(OidTextToHex(c.text), c.hex) << c.text;
    std::vector<uint8_t> bytes = HexTextToBytes(c.hex);
    EXPECT_EQ(OidBytesToText(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())), c.text) << c.hex;
  }
  EXPECT_EQ(OidTextToHex("1.3.36.3.2.1."), "2B24030201");  // a trailing "." is accepted
  for (const char* bad :
       {"1.2", "", "1..2.3", "1.2.x", "3.1.1", "1.40.1", "0.99.1", "1.2.4294967296", ".1.2.3", "1.2.3 ", "1,2,3"}) {
    EXPECT_EQ(OidTextToHex(bad), "") << bad;
  }
  for (const char* bad : {"2A86", "2A8FFFFFFFFF7F", "2A81808080807F"}) {  // truncated, above 32 bits
    std::vector<uint8_t> bytes = HexTextToBytes(bad);
    EXPECT_EQ(OidBytesToText(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())), "") << bad;
  }
  EXPECT_EQ(OidBytesToText(nullptr, 3), "");
}

TEST(OidText, MatchesTheOpensslTool) {
  if (!test::OpensslAvailable()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  for (const char* oid : {"1.2.840.113549.1.9.1", "2.999.3", "2.100.16383.128"}) {
    test::RunOpenssl(std::string("asn1parse -genstr OID:") + oid + " -out " + dir.File("o.der") + " -noout");
    std::string der = FileToHexText(dir.File("o.der"));
    ASSERT_GE(der.size(), 4u) << oid;
    EXPECT_EQ(OidTextToHex(oid), der.substr(4)) << oid;
  }
}

const char kCertBody[] = "MAMCAQE=";  // 30 03 02 01 01

TEST(Pem, ReadsArmouredTextWithLabelsComparedIgnoringCase) {
  std::istringstream in(
      std::string("\r\n-----BEGIN CERTIFICATE-----\r\nMAMC\r\n  \r\nAQE=\r\n-----END certificate-----\r\n\r\n"));
  std::string title, der;
  EXPECT_TRUE(ReadPEM(in, title, der));
  EXPECT_EQ(title, "CERTIFICATE");
  EXPECT_EQ(der, "3003020101");
  EXPECT_EQ(PEMLabel("-----BEGIN   NEW CERTIFICATE REQUEST-----", "BEGIN"), "NEW CERTIFICATE REQUEST");
  EXPECT_EQ(PEMLabel("-----begin X-----", "BEGIN"), "");
}

TEST(Pem, RefusesTextWithoutArmourOrWithDifferentLabels) {
  struct Case {
    std::string text;
    std::string title;
  };
  const Case cases[] = {
      {std::string("MAMC\nAQE=\n") + kCertBody + "\n", ""},         // no armour at all
      {std::string("-----BEGIN X-----\n") + kCertBody + "\n", ""},  // no END line
      {std::string(kCertBody) + "\n-----END X-----\n", ""},
      {std::string("-----BEGIN X-----\n") + kCertBody + "\n-----END Y-----\n", ""},
      {std::string("-----BEGIN -----\n") + kCertBody + "\n-----END -----\n", ""},
      {"-----BEGIN X-----\n-----END X-----\n", "X"},  // empty body keeps the title
      {"-----BEGIN X-----\n", ""},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    std::string title = "old", der = "old";
    EXPECT_FALSE(ReadPEM(in, title, der)) << c.text;
    EXPECT_EQ(title, c.title) << c.text;
    EXPECT_EQ(der, "");
  }
  std::istringstream header("-----BEGIN X-----\nProc-Type: 4,ENCRYPTED\n\nMAMC\n-----END X-----\n");
  std::string title, der;
  EXPECT_THROW(ReadPEM(header, title, der), ErrorBase64);
}

TEST(Pem, GivesTheDerOfACertificateFromTheOpensslTool) {
  if (!test::OpensslAvailable()) GTEST_SKIP() << "openssl not installed";
  test::TempDir dir;
  std::string key = dir.File("k.pem"), pem = dir.File("c.pem"), der = dir.File("c.der");
  test::RunOpenssl("req -x509 -newkey rsa:1024 -nodes -keyout " + key + " -out " + pem + " -subj /CN=Test -days 1");
  test::RunOpenssl("x509 -in " + pem + " -outform DER -out " + der);
  std::string title, hex;
  ASSERT_TRUE(ReadPEMFile(pem, title, hex));
  EXPECT_EQ(title, "CERTIFICATE");
  EXPECT_EQ(hex, FileToHexText(der));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Garbage never crashes or reads past the input: it decodes, or it is refused.
TEST(TextParsers, SurviveGarbage) {
  std::mt19937 rng(17);
  const std::string alphabet = "AZaz09+/=- \r\n:\x80\xff";
  for (int round = 0; round < 3000; ++round) {
    size_t n = rng() % 40;
    std::string text, bytes;
    for (size_t i = 0; i < n; ++i) {
      text += alphabet[rng() % alphabet.size()];
      bytes += static_cast<char>(rng() % 4 == 0 ? 0x80 | rng() : rng());
    }
    TAS_Base64Coding coder;
    try {
      std::string out = coder.DecodeString(text);
      EXPECT_LE(out.size(), coder.DecodedLength(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    } catch (const ErrorBase64&) {
    }
    std::string oid = OidBytesToText(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()));
    // Minimal encodings (no leading 0x80 group) come back unchanged.
    bool minimal = !bytes.empty() && static_cast<uint8_t>(bytes[0]) != 0x80;
    for (size_t i = 1; i < bytes.size(); ++i)
      if (static_cast<uint8_t>(bytes[i]) == 0x80 && !(static_cast<uint8_t>(bytes[i - 1]) & 0x80)) minimal = false;
    if (!oid.empty() && minimal && oid.find('.', oid.find('.') + 1) != std::string::npos) {
      EXPECT_EQ(OidTextToHex(oid), BytesToHexText(bytes)) << oid;
    }
    std::istringstream pem("-----BEGIN X-----\n" + text + "\n-----END X-----\n");
    std::string title, der;
    try {
      ReadPEM(pem, title, der);
    } catch (const ErrorBase64&) {
    }
  }
}

}  // namespace
}  // namespace qv
