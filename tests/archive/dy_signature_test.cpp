#include "archive/dy_signature.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "archive/dy_crypt.h"
#include "archive/dy_doc_content.h"
#include "archive/dy_document_file.h"
#include "archive_test_support.h"
#include "base/res_string.h"
#include "crypto/as_coding.h"
#include "crypto/crypto_text.h"
#include "crypto/openssl_rsa_key.h"
#include "crypto/openssl_tool.h"
#include "crypto/prime_generator.h"
#include "crypto/rsa_cryptography.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/text_utils.h"

namespace qv {
namespace {

// A user's key pair as the user manager makes it: GenerateKeys(64), a prime public exponent.
TDY_SignerKeys MakeUserKeys() {
  TAS_PrimeGenerator primes;
  TAS_RSACryptography rsa;
  rsa.SetPrimeGenerator(&primes);
  rsa.SetSmallPublicExp(0);
  rsa.GenerateKeys(64);
  return {rsa.PrivateKeyBitValue(), rsa.PublicKeyBitValue(), ""};
}

const TDY_SignerKeys& Keys(const std::string& user) {
  static std::map<std::string, TDY_SignerKeys> keys;
  auto it = keys.find(user);
  if (it == keys.end()) it = keys.emplace(user, MakeUserKeys()).first;
  return it->second;
}

TDY_SigInfo Entry(const std::string& user, const std::string& reason) {
  return {EncodeDate(2024, 5, 6) + EncodeTime(7, 8, 9, 10), reason, user, "Anna Berg", "Cold & Co", "a@b.c"};
}

void FillDocument(TDY_DocContent& doc) {
  doc.DocInfo.Title = "Cold store";
  doc.DocInfo.Name = "report";
  auto c = std::make_unique<TDY_Channel>();
  c->Device->LoggerID = 7;
  c->ChannelID = 1;
  c->ChannelName = "Temperature";
  doc.Channels.Add(std::move(c));
  for (int i = 0; i < 5; ++i) doc.Data.Add(TDY_Data{7, 1, EncodeDate(2024, 5, 1) + i / 24.0, 4.25 + i});
  doc.Comments.Add(std::make_unique<TDY_Comment>(TDY_Comment{"Door open\r\nchecked", 1, 10, 20, 200, 50}));
}

std::string Bytes(const TXmlLines& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

// The document file with the signature's envelope.
std::string FileBytes(const TXmlLines& content_lines, const TDY_Signature& sig) {
  TXmlLines lines{XmlDeclarationLine, DocumentRootOpenLine};
  lines.insert(lines.end(), content_lines.begin(), content_lines.end());
  sig.WriteXml(lines, 1, false);
  lines.push_back(DocumentRootCloseLine);
  return Bytes(lines);
}

// What opening a document file finds.
struct Opened {
  bool read = false, is_signed = false, valid = false;
  std::string status;
};

Opened Open(const std::string& bytes, TDY_Signature& sig) {
  Opened o;
  const TXmlLineViews lines = SplitDocumentLineViews(bytes);
  TDY_DocContent doc;
  int index = 2;
  try {
    if (!ReadDocContentXml(doc, lines, index)) return o;
  } catch (const Exception&) {
    return o;
  }
  const TXmlLineViews content(lines.begin() + 2, lines.begin() + index);
  if (!sig.ReadXml(lines, index, o.is_signed)) return o;
  o.read = true;
  o.valid = o.is_signed ? sig.VerifySignature(content) : sig.VerifyDigests(content);
  o.status = sig.Status;
  return o;
}

Opened Open(const std::string& bytes) {
  TDY_Signature sig;
  return Open(bytes, sig);
}

std::string Base64(const std::string& s) { return Base64Coder().EncodeString(s); }

// Replaces the first occurrence of from (which must be there).
std::string Replace(std::string bytes, const std::string& from, const std::string& to) {
  const size_t at = bytes.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) bytes.replace(at, from.size(), to);
  return bytes;
}

// The text of the element tag's value on its line.
std::string ValueOf(const std::string& bytes, const std::string& tag, size_t from = 0) {
  const size_t a = bytes.find("<" + tag + ">", from) + tag.size() + 2;
  return bytes.substr(a, bytes.find("</" + tag + ">", a) - a);
}

class SignatureTest : public ::testing::Test {
protected:
  void SetUp() override {
    FillDocument(doc);
    WriteDocContentXml(doc, content, 1);
    stored = {{"anna", Keys("anna").PublicKey}, {"bob", Keys("bob").PublicKey}};
    SignerStoredPublicKey = [this](const std::string& name) {
      auto it = stored.find(name);
      return it == stored.end() ? std::string() : it->second;
    };
  }
  void TearDown() override { SignerStoredPublicKey = nullptr; }

  // Signs the document as user and gives the file.
  std::string SignedFile(const std::string& user = "anna") {
    sig.SigInfos.Add(Entry(user, LoadResString("D66_ReasonAuthorship")));
    EXPECT_TRUE(sig.Sign(content, Keys(user)));
    return FileBytes(content, sig);
  }

  TArchiveTestFolder folder;
  TCapturedBoxes boxes;
  TDY_DocContent doc;
  TXmlLines content;
  TDY_Signature sig;
  std::map<std::string, std::string> stored;
};

TEST_F(SignatureTest, SignedDocumentVerifiesOnOpenAndEnvelopeHasItsLayout) {
  EXPECT_EQ(sig.Status, LoadResString("DY_SignatureNotChecked"));
  EXPECT_TRUE(sig.Unsigned);
  const std::string bytes = SignedFile();
  EXPECT_EQ(sig.Status, LoadResString("DY_SignatureCreated"));
  EXPECT_FALSE(sig.Unsigned);

  const Opened o = Open(bytes);
  EXPECT_TRUE(o.read && o.is_signed && o.valid);
  EXPECT_EQ(o.status, LoadResString("DY_SigValid"));
  EXPECT_TRUE(boxes.Texts.empty());

  // Values are Base64 of upper-case hex text; the envelope's fixed lines are as written.
  const std::string digest = ValueOf(bytes, "DigestValue");
  EXPECT_EQ(digest.size(), 56u);
  EXPECT_EQ(Base64Coder().DecodeString(digest), sig.ContentDigest);
  EXPECT_EQ(sig.ContentDigest, UpperCase(sig.ContentDigest));
  EXPECT_EQ(HexTextByteCount(sig.ContentDigest), 20u);
  EXPECT_EQ(Base64Coder().DecodeString(ValueOf(bytes, "Modulus")).substr(0, 2), "00");
  const std::string expected_head =
      "  <Signature Id=\"DossalySignature\" xmlns=\"http://www.w3.org/2000/09/xmldsig#\">\r\n"
      "    <SignedInfo>\r\n"
      "      <CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\" />\r\n"
      "      <SignatureMethod Algorithm=\"http://www.w3.org/2000/09/xmldsig#rsa-sha1\" />\r\n"
      "      <Reference URI=\"#DocContent\">\r\n"
      "        <DigestMethod Algorithm=\"http://www.w3.org/2000/09/xmldsig#sha1\" />\r\n";
  EXPECT_NE(bytes.find("  </DocContent>\r\n" + expected_head), std::string::npos);
  const std::string expected_tail =
      "    <Object Id=\"SignatureInfo\">\r\n"
      "      <DossalySignatureData>\r\n"
      "        <DossalySignature ID=\"Signature0\" Target=\"#DossalySignature\">\r\n"
      "          <TimeStamp>2024-05-06T07:08:09.010Z</TimeStamp>\r\n"
      "          <Reason>" +
      LoadResString("D66_ReasonAuthorship") +
      "</Reason>\r\n"
      "          <UserID>anna</UserID>\r\n"
      "          <UserName>Anna Berg</UserName>\r\n"
      "          <Company>Cold & Co</Company>\r\n"
      "          <Email>a@b.c</Email>\r\n"
      "        </DossalySignature>\r\n"
      "      </DossalySignatureData>\r\n"
      "    </Object>\r\n"
      "  </Signature>\r\n"
      "</KiroDocument>\r\n";
  ASSERT_GE(bytes.size(), expected_tail.size());
  EXPECT_EQ(bytes.substr(bytes.size() - expected_tail.size()), expected_tail);
  for (const char* line : {"    <SignatureValue>", "    <KeyInfo>\r\n      <KeyValue>\r\n        <RSAKeyValue>\r\n",
                           "          <Modulus>", "          <Exponent>"})
    EXPECT_NE(bytes.find(line), std::string::npos) << line;
}

TEST_F(SignatureTest, UnsignedSaveCarriesDigestsOnlyAndNoEnvelopeReadsAsUnsigned) {
  sig.CalcDigests(content);
  const std::string bytes = FileBytes(content, sig);
  EXPECT_EQ(bytes.find("SignatureValue"), std::string::npos);
  EXPECT_EQ(bytes.find("KeyInfo"), std::string::npos);
  Opened o = Open(bytes);
  EXPECT_TRUE(o.read && o.valid);
  EXPECT_FALSE(o.is_signed);
  EXPECT_FALSE(Open(Replace(bytes, "Cold store", "Cold stork")).valid);

  // No envelope, or one whose namespace differs: not signed, nothing consumed.
  for (const std::string& first :
       {std::string("  </DocContent>"), std::string("  <Signature Id=\"DossalySignature\" xmlns=\"http://x/\">")}) {
    const TXmlLines lines{first, "</KiroDocument>"};
    const TXmlLineViews views = XmlLineViews(lines);
    TDY_Signature s;
    int index = 0;
    bool is_signed = true;
    EXPECT_TRUE(s.ReadXml(views, index, is_signed));
    EXPECT_FALSE(is_signed);
    EXPECT_EQ(index, 0);
  }
}

TEST_F(SignatureTest, TwoSignaturesNumberTheirEntriesAndBothVerify) {
  SignedFile("anna");
  sig.SigInfos.Add(Entry("bob", LoadResString("D66_ReasonReview")));
  ASSERT_TRUE(sig.Sign(content, Keys("bob")));
  const std::string bytes = FileBytes(content, sig);
  EXPECT_NE(bytes.find("<DossalySignature ID=\"Signature0\">\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("<DossalySignature ID=\"Signature1\" Target=\"#DossalySignature\">\r\n"), std::string::npos);
  TDY_Signature read;
  const Opened o = Open(bytes, read);
  EXPECT_TRUE(o.valid) << o.status;
  ASSERT_EQ(read.SigInfos.Count(), 2);
  EXPECT_EQ(read.SigInfos.Get(0).UserID, "anna");
  EXPECT_EQ(read.SigInfos.Get(1).UserID, "bob");
  EXPECT_EQ(read.SigInfos.Get(1).Company, "Cold & Co");
  // The second signing digested both entries: dropping the first is a change.
  const size_t a = bytes.find("        <DossalySignature ID=\"Signature0\">");
  const size_t b = bytes.find("        <DossalySignature ID=\"Signature1\"");
  std::string dropped = bytes;
  dropped.erase(a, b - a);
  EXPECT_EQ(Open(dropped).status, LoadResString("DY_DigestMismatch"));
}

// Every change to a signed file is found; none shows as valid.
TEST_F(SignatureTest, EveryKindOfChangeIsReportedNeverValid) {
  const std::string bytes = SignedFile();
  const std::string mismatch = LoadResString("DY_DigestMismatch");
  const std::string invalid = LoadResString("DY_SigInvalid") + " [";
  // A different signature value that is still well-formed hex.
  std::string sig_hex = Base64Coder().DecodeString(ValueOf(bytes, "SignatureValue"));
  sig_hex[sig_hex.size() - 1] = sig_hex.back() == '0' ? '1' : '0';
  // A content digest that matches changed content, but a SignedInfo that no longer matches the
  // signature.
  const std::string title_changed = Replace(bytes, "Cold store", "Cold stork");
  std::string forged_digest;
  {
    const TXmlLineViews lines = SplitDocumentLineViews(title_changed);
    int index = 2;
    TDY_DocContent d;
    ASSERT_TRUE(ReadDocContentXml(d, lines, index));
    forged_digest = LinesSha1Hex(TXmlLineViews(lines.begin() + 2, lines.begin() + index));
  }
  struct Case {
    const char* name;
    std::string bytes;
    std::string status_prefix;  // empty: the read fails
  };
  const std::vector<Case> cases = {
      {"one data byte", Replace(bytes, "Value=\"4.25", "Value=\"4.26"), mismatch},
      {"document header", title_changed, mismatch},
      {"indentation of a content line", Replace(bytes, "    <Title>", "   <Title>"), mismatch},
      {"letter case of a content value", Replace(bytes, "<Title>Cold store<", "<Title>Cold Store<"), mismatch},
      {"letter case of a content tag", Replace(bytes, "<Title>Cold store</Title>", "<title>Cold store</title>"), ""},
      {"object element", Replace(bytes, "<Company>Cold & Co<", "<Company>Cold & Cp<"), mismatch},
      {"signer in the object element", Replace(bytes, "<UserID>anna<", "<UserID>bob<"), mismatch},
      {"content digest in lower case",
       Replace(bytes, ValueOf(bytes, "DigestValue"), Base64(LowerCase(sig.ContentDigest))), mismatch},
      {"signed header digest re-made", Replace(title_changed, ValueOf(bytes, "DigestValue"), Base64(forged_digest)),
       invalid},
      {"signature value", Replace(bytes, ValueOf(bytes, "SignatureValue"), Base64(sig_hex)), invalid},
      {"signature identifier", Replace(bytes, "xmldsig#rsa-sha1", "xmldsig#rsa-sha2"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.Texts.clear();
    const Opened o = Open(c.bytes);
    EXPECT_FALSE(o.valid);
    if (c.status_prefix.empty()) {
      EXPECT_FALSE(o.read);
      continue;
    }
    EXPECT_TRUE(o.read && o.is_signed);
    EXPECT_EQ(o.status.substr(0, c.status_prefix.size()), c.status_prefix) << o.status;
    // A bad signature is shown in an error box; a digest mismatch only in the status.
    EXPECT_EQ(boxes.Texts.size(), c.status_prefix == invalid ? 1u : 0u);
  }
}

// A file changed and re-signed with a key of one's own does not pass as the stored signer's.
TEST_F(SignatureTest, SignatureByAKeyOtherThanTheSignersStoredKeyIsInvalid) {
  sig.SigInfos.Add(Entry("anna", "x"));
  ASSERT_TRUE(sig.Sign(content, Keys("mallory")));
  const std::string forged = FileBytes(content, sig);
  const Opened o = Open(forged);
  EXPECT_FALSE(o.valid);
  EXPECT_EQ(o.status, LoadResString("DY_SigInvalid") + " [" + SignerKeyMismatchMessage("anna") + "]");
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0], o.status);

  // Swapping the stored key after signing: the signature no longer belongs to the user.
  boxes.Texts.clear();
  sig.SigInfos.Clear();
  const std::string genuine = SignedFile("anna");
  EXPECT_TRUE(Open(genuine).valid);
  stored["anna"] = Keys("bob").PublicKey;
  EXPECT_FALSE(Open(genuine).valid);

  // A signer unknown here, or without a stored key, is checked with the envelope's key.
  stored.erase("anna");
  EXPECT_TRUE(Open(genuine).valid);
  stored["anna"] = "";
  EXPECT_TRUE(Open(genuine).valid);
  SignerStoredPublicKey = nullptr;
  EXPECT_TRUE(Open(genuine).valid);
}

// Damaged envelopes fail the read or the check, never read past the lines, never pass.
TEST_F(SignatureTest, MalformedEnvelopesAreRefused) {
  const std::string bytes = SignedFile();
  const std::string invalid = LoadResString("DY_SigInvalid") + " [";
  struct Case {
    const char* name;
    std::string bytes;
    bool read;  // false: the read fails; true: read, and the check fails
    bool is_signed = true;
  };
  const std::string modulus = ValueOf(bytes, "Modulus");
  std::vector<Case> cases = {
      {"bad Base64 in a digest", Replace(bytes, ValueOf(bytes, "DigestValue"), "AB*D"), false},
      {"'=' inside Base64", Replace(bytes, ValueOf(bytes, "SignatureValue"), "QU=FC"), false},
      {"bad Base64 in the modulus", Replace(bytes, modulus, modulus.substr(0, 8) + "*"), false},
      {"bad hex in the signature", Replace(bytes, ValueOf(bytes, "SignatureValue"), Base64("0G12")), true},
      {"odd hex in the exponent", Replace(bytes, ValueOf(bytes, "Exponent"), Base64("ABC")), true},
      // An emptied signature value leaves a document that is not signed, never a valid signature.
      {"empty signature value", Replace(bytes, ValueOf(bytes, "SignatureValue"), ""), true, false},
      {"empty modulus", Replace(bytes, modulus, ""), true, false},
      {"bad date in an entry", Replace(bytes, "2024-05-06T07", "2024-15-06T07"), false},
      {"key block without its closing", Replace(bytes, "    </KeyInfo>\r\n", ""), false},
      {"no signature end", Replace(bytes, "  </Signature>\r\n", ""), false},
  };
  // Every cut of the envelope, at each line, without the closing lines behind.
  const size_t env = bytes.find("  <Signature ");
  for (size_t at = bytes.find("\r\n", env) + 2; at < bytes.size() - 20; at = bytes.find("\r\n", at) + 2)
    cases.push_back({"cut", bytes.substr(0, at), false});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.bytes.substr(c.bytes.size() > 60 ? c.bytes.size() - 60 : 0));
    const Opened o = Open(c.bytes);
    EXPECT_EQ(o.read, c.read);
    EXPECT_NE(o.status, LoadResString("DY_SigValid"));
    if (!c.is_signed) {
      EXPECT_FALSE(o.is_signed);
      continue;
    }
    EXPECT_FALSE(o.valid);
    if (o.read) {
      EXPECT_EQ(o.status.substr(0, invalid.size()), invalid) << o.status;
    }
  }

  // A stored key that is no DER key fails the check.
  stored["anna"] = "3003020101";
  const Opened o = Open(bytes);
  EXPECT_FALSE(o.valid);
  EXPECT_EQ(o.status.substr(0, invalid.size()), invalid);

  // A signed envelope naming no signer is not valid.
  TDY_Signature nobody;
  ASSERT_TRUE(nobody.Sign(content, Keys("anna")));
  EXPECT_EQ(Open(FileBytes(content, nobody)).status.substr(0, invalid.size()), invalid);
}

TEST_F(SignatureTest, SigningWithoutKeysOrWithABadKeyFailsWithABox) {
  sig.SigInfos.Add(Entry("anna", "x"));
  EXPECT_FALSE(sig.Sign(content, {"", Keys("anna").PublicKey, ""}));
  ASSERT_EQ(boxes.Texts.size(), 1u);
  EXPECT_EQ(boxes.Texts[0], LoadResString("DY_NoRSAKeys"));
  for (const TDY_SignerKeys& keys : {TDY_SignerKeys{"30", Keys("anna").PublicKey, ""},
                                     TDY_SignerKeys{Keys("anna").PrivateKey, Keys("anna").PublicKey, "3082FFFF"}}) {
    boxes.Texts.clear();
    EXPECT_FALSE(sig.Sign(content, keys));
    EXPECT_EQ(boxes.Texts.size(), 1u);
    EXPECT_TRUE(sig.Unsigned);
  }
}

// Each save digests the entries it writes, also after a failed signing left its entry behind.
TEST_F(SignatureTest, SaveDigestsTheEntriesItWrites) {
  sig.CalcDigests(content);
  sig.SigInfos.Add(Entry("anna", "x"));
  EXPECT_FALSE(sig.Sign(content, {"", "", ""}));
  sig.CalcDigests(content);
  const Opened o = Open(FileBytes(content, sig));
  EXPECT_TRUE(o.read && o.valid) << o.status;
}

// Lines read from a file are hashed in place where CR LF joins them, line by line elsewhere: the
// digest is that of the lines, whatever the breaks in the file and wherever the list starts or ends.
TEST(LinesSha1, DigestOfLinesDoesNotDependOnTheFilesLineBreaks) {
  const TXmlLines lines{"a", "", "bc", "d", "ef"};
  const std::string expected = LinesSha1Hex(lines);
  for (const std::string& text : {std::string("a\r\n\r\nbc\r\nd\r\nef\r\n"), std::string("a\n\nbc\rd\r\nef"),
                                  std::string("a\r\n\nbc\r\nd\ref\n")}) {
    const TXmlLineViews views = SplitDocumentLineViews(text);
    EXPECT_EQ(LinesSha1Hex(views), expected) << text;
    EXPECT_EQ(LinesSha1Hex(TXmlLineViews(views.begin() + 1, views.end() - 1)),
              LinesSha1Hex(TXmlLines(lines.begin() + 1, lines.end() - 1)));
  }
  EXPECT_EQ(LinesSha1Hex(XmlLineViews(lines)), expected);
  EXPECT_EQ(LinesSha1Hex(TXmlLineViews{}), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

// openssl agrees on the SHA-1 digests and on the PKCS #1 v1.5 block with the kit's digest OID.
TEST_F(SignatureTest, OpensslAgreesOnDigestsAndSignature) {
  QV_REQUIRE_TOOL("openssl");
  test::OpensslRsaKey key(512);
  const std::string pub = TAS_RSACryptography::BuildKeyDER("00" + key.n, key.e);
  const std::string priv = TAS_RSACryptography::BuildKeyDER("00" + key.n, key.d);
  stored["anna"] = pub;
  sig.SigInfos.Add(Entry("anna", "x"));
  ASSERT_TRUE(sig.Sign(content, {priv, pub, ""}));
  EXPECT_TRUE(Open(FileBytes(content, sig)).valid);

  test::TempDir dir;
  auto sha1 = [&](const TXmlLines& lines) {
    dir.Write("t.bin", Bytes(lines));
    const std::string out = test::RunOpenssl("dgst -sha1 -r " + dir.File("t.bin"));
    return UpperCase(out.substr(0, 40));
  };
  EXPECT_EQ(sha1(content), sig.ContentDigest);
  EXPECT_EQ(sha1(sig.SigInfoLines), sig.SigInfoDigest);
  std::string sig_bytes = HexTextToString(sig.SignatureValue);
  sig_bytes.insert(0, 64 - sig_bytes.size(), '\0');
  dir.Write("s.bin", sig_bytes);
  const std::string block =
      test::RunOpenssl("pkeyutl -verifyrecover -pubin -inkey " + key.pub_pem + " -in " + dir.File("s.bin"));
  EXPECT_EQ(BytesToHexText(block), "3024300C06082A864886F70D020705000414" + sha1(sig.SignedInfoLines));
  EXPECT_NE(sig.SignatureValue.substr(0, 2), "00");
}

}  // namespace
}  // namespace qv
