#include "crypto/der_node.h"

#include <gtest/gtest.h>

#include "crypto/crypto_text.h"
#include "crypto/external_tool.h"
#include "platform/os/os_random.h"
#include "platform/rtl/file_io.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::string ParseError(const std::string& hex) {
  TDERNode n;
  try {
    n.ParseHex(hex);
  } catch (const EASN1Error& e) {
    return e.Message();
  }
  return "";
}

TEST(DERNode, WritesDefiniteLengthsAndTags) {
  TDERNode a;
  a.SetInteger(2);
  EXPECT_EQ(a.ToHex(), "020102");
  TDERNode b;
  b.SetInteger(291);
  EXPECT_EQ(b.ToHex(), "02020123");

  TDERNode seq;
  seq.AddChild()->SetOctetStringHex(std::string(256, 'A'));  // 128 content bytes
  std::string hex = seq.ToHex();
  EXPECT_EQ(hex.substr(0, 12),
            "30818304818"
            "0");
  EXPECT_EQ(hex.size(), 2u * (3 + 3 + 128));

  // Tags above 30 take the base-128 form; a preset tag survives the setter.
  TDERNode t;
  t.SetTag(dcContext, 200);
  t.SetPrintableString("x");
  EXPECT_EQ(t.ToHex(),
            "9F814801"
            "78");
  TDERNode ia5;
  ia5.SetTag(dcUniversal, der_tag::IA5String);
  ia5.SetPrintableString("a@b");
  EXPECT_EQ(ia5.ToHex(), "1603614062");

  // Empty containers stay constructed.
  TDERNode empty_seq;
  empty_seq.SetTag(dcUniversal, der_tag::Sequence);
  EXPECT_EQ(empty_seq.ToHex(), "3000");
  TDERNode attrs;
  attrs.SetTag(dcContext, 0);
  attrs.SetContainer(true);
  EXPECT_EQ(attrs.ToHex(), "A000");
}

TEST(DERNode, ParsesBerFormsAndKeepsThemWhenWritten) {
  TDERNode n;
  EXPECT_EQ(n.ParseHex("30800201050000"), 7u);
  ASSERT_EQ(n.ChildCount(), 1);
  EXPECT_EQ(n.Child(0)->Tag(), der_tag::Integer);
  EXPECT_EQ(n.Child(0)->ContentHex(), "05");
  EXPECT_TRUE(n.Indefinite());
  EXPECT_EQ(n.ToHex(), "30800201050000");

  EXPECT_EQ(n.ParseHex("048001020000"), 6u);  // indefinite primitive ends at 00 00
  EXPECT_EQ(n.ContentHex(), "0102");

  EXPECT_EQ(n.ParseHex("02840000000105"), 7u);  // non-minimal length accepted
  EXPECT_EQ(n.ContentInteger(), 5);
  EXPECT_EQ(n.ToHex(), "020105");

  EXPECT_EQ(n.ParseHex("3000"), 2u);
  EXPECT_EQ(n.ToHex(), "3000");
  EXPECT_EQ(n.ParseHex("A000"), 2u);
  EXPECT_EQ(n.ToHex(), "A000");

  EXPECT_EQ(n.ParseHex("06062A864886F70D"), 8u);
  EXPECT_EQ(n.OidText(), "1.2.840.113549");
  EXPECT_EQ(n.ParseHex("0303000102"), 5u);
  EXPECT_EQ(n.BitStringHex(), "0102");

  // Parse reads one element from a longer buffer when asked to.
  const std::vector<uint8_t> two = {0x02, 0x01, 0x05, 0xFF};
  EXPECT_EQ(n.Parse(two, false), 3u);
}

// Tag 31, the least in the long form, and tags that need the fifth base-128 group are written
// back as they were read.
TEST(DERNode, LongFormTagsRoundTrip) {
  for (std::string hex : {"1F1F00", "1F818080800000", "9F8FFFFFFF7F00", "3F8FFFFFFF7F00"}) {
    TDERNode n;
    ASSERT_EQ(n.ParseHex(hex), hex.size() / 2) << hex;
    EXPECT_EQ(n.ToHex(), hex);
  }
}

TEST(DERNode, MalformedInputRaisesAndLeavesTheNodeUnchanged) {
  std::string nested;
  for (int i = 0; i < kDERMaxDepth + 1; ++i) nested += "3080";
  std::string deep_ok;
  for (int i = 0; i < kDERMaxDepth - 1; ++i) deep_ok += "3080";
  deep_ok += "0500";
  for (int i = 0; i < kDERMaxDepth - 1; ++i) deep_ok += "0000";
  struct Case {
    std::string hex, error;
  } cases[] = {
      {"", "Error: unexpected end of data"},
      {"02", "Error: unexpected end of data"},
      {"0201", "Error: unexpected end of data"},
      {"0205010203", "Error: unexpected end of data"},
      {"0281", "Error: unexpected end of data"},
      {"028400000001", "Error: unexpected end of data"},
      {"020105FF", "Error: parsed 3 of 4 bytes"},
      {"028501000000000005", "Value too long"},
      {"1FFFFFFFFF7F0100", "Value too long"},
      {"1F0000", "Error: tag 0 given in the long form"},  // would be written as 00 00
      {"3F1E00", "Error: tag 30 given in the long form"},
      {"300302020506", "Error: parsed 4 of 3 bytes"},         // child runs past its parent
      {"3007020105020105", "Error: unexpected end of data"},  // parent longer than the buffer
      {"3080020105", "Error: unexpected end of data"},        // no end-of-contents
      {"04800102", "Error: unexpected end of data"},
      {"3080", "Error: unexpected end of data"},
      {nested, "Error: nesting too deep"},
      {deep_ok, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseError(c.hex), c.error) << c.hex;

  TDERNode n;
  n.SetInteger(7);
  EXPECT_THROW(n.ParseHex("3003020105FF"), EASN1Error);
  EXPECT_EQ(n.ToHex(), "020107");
}

// Every prefix of a valid structure, and random bytes, fail cleanly or parse within bounds.
TEST(DERNode, TruncationsAndGarbageNeverReadOutOfBounds) {
  const std::vector<uint8_t> good = HexTextToBytes(
      "308201090201010609"
      "2A864886F70D010105"
      "0500"
      "30800402AABB0000"
      "A0030101FF"
      "1F81480100"
      "0481E4" +
      std::string(2 * 0xE4, 'C'));
  ASSERT_EQ(good.size(), 0x10Du);
  TDERNode full;
  EXPECT_EQ(full.Parse(good), good.size());
  for (size_t cut = 0; cut < good.size(); ++cut) {
    std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    TDERNode n;
    EXPECT_THROW(n.Parse(prefix), EASN1Error) << cut;
  }
  for (int i = 0; i < 3000; ++i) {
    uint8_t buf[24];
    FillOsRandom(buf, sizeof buf);
    size_t len = buf[0] % sizeof buf;
    if (i % 2) buf[1] = 0x30;  // favour constructed elements
    TDERNode n;
    try {
      size_t used = n.Parse(buf + 1, len, false);
      EXPECT_LE(used, len);
    } catch (const EASN1Error&) {
    }
  }
}

TEST(DERNode, MatchesOpensslGeneratedStructures) {
  QV_REQUIRE_TOOL("openssl");
  test::TempDir dir;
  dir.Write("conf.txt",
            "asn1=SEQUENCE:top\n"
            "[top]\n"
            "a=INTEGER:291\n"
            "b=OID:1.2.840.113549.1.1.5\n"
            "c=NULL\n"
            "d=FORMAT:HEX,OCTETSTRING:" +
                std::string(300, 'A') +
                "\n"
                "e=PRINTABLESTRING:Test User\n"
                "f=UTCTIME:040101120000Z\n"
                "g=BOOLEAN:TRUE\n"
                "h=SET:inner\n"
                "i=OID:2.999.3\n"
                "[inner]\n"
                "x=FORMAT:HEX,BITSTRING:0102\n");
  test::RunTool("openssl asn1parse -genconf " + dir.File("conf.txt") + " -out " + dir.File("o.der") + " >/dev/null");
  const std::string want = ReadFileBytes(dir.File("o.der"));

  TDERNode top;
  top.AddChild()->SetInteger(291);
  top.AddChild()->SetOID("1.2.840.113549.1.1.5");
  top.AddChild()->SetNull();
  top.AddChild()->SetOctetStringHex(std::string(300, 'A'));
  top.AddChild()->SetPrintableString("Test User");
  top.AddChild()->SetUTCTime("040101120000Z");
  top.AddChild()->SetBoolean(0xFF);
  TDERNode* set = top.AddChild();
  set->SetTag(dcUniversal, der_tag::Set);
  set->AddChild()->SetBitStringHex("0102");
  top.AddChild()->SetOID("2.999.3");
  EXPECT_EQ(top.ToHex(), BytesToHexText(want));

  TDERNode back;
  back.Parse(reinterpret_cast<const uint8_t*>(want.data()), want.size());
  EXPECT_EQ(back.ToHex(), BytesToHexText(want));
  EXPECT_EQ(back.Child(8)->OidText(), "2.999.3");
}

}  // namespace
}  // namespace qv
