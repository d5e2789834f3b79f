#include "crypto/x509_certificate.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "crypto/crypto_kit.h"
#include "crypto/crypto_text.h"
#include "crypto/external_tool.h"
#include "crypto/rsa_cryptography.h"
#include "platform/os/os_random.h"
#include "platform/rtl/file_io.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TStringList Lines(std::initializer_list<const char*> items) {
  TStringList l;
  for (const char* s : items) l.Add(s);
  return l;
}

std::vector<std::string> Items(const TStringList& l) { return l.Strings(); }

// A self-signed certificate and a request made by openssl with printable names.
struct OpensslCertificate {
  test::TempDir dir;
  std::string pem, der, key_der, req_pem, asn1;

  OpensslCertificate() {
    dir.Write("req.cnf", "[req]\ndistinguished_name = dn\nstring_mask = default\n[dn]\n");
    pem = dir.File("c.pem");
    test::RunTool("openssl req -x509 -config " + dir.File("req.cnf") + " -newkey rsa:1024 -nodes -keyout " +
                  dir.File("key.pem") + " -out " + pem +
                  " -subj \"/C=DE/CN=Test User/emailAddress=t@x.org\" -set_serial 0x8123 -days 30"
                  " -addext \"basicConstraints=critical,CA:TRUE\" 2>/dev/null");
    test::RunTool("openssl x509 -in " + pem + " -outform DER -out " + dir.File("c.der"));
    der = ReadFileBytes(dir.File("c.der"));
    test::RunTool("openssl rsa -in " + dir.File("key.pem") + " -RSAPublicKey_out -outform DER -out " +
                  dir.File("pub.der") + " 2>/dev/null");
    key_der = ReadFileBytes(dir.File("pub.der"));
    req_pem = dir.File("r.pem");
    test::RunTool("openssl req -new -config " + dir.File("req.cnf") + " -key " + dir.File("key.pem") +
                  " -subj \"/CN=Requester/O=Lab\" -out " + req_pem);
    asn1 = test::RunTool("openssl asn1parse -in " + pem);
  }

  // The UTCTime texts in certificate order.
  std::vector<std::string> Times() const {
    std::vector<std::string> out;
    std::istringstream in(asn1);
    std::string line;
    while (std::getline(in, line))
      if (line.find("UTCTIME") != std::string::npos) out.push_back(line.substr(line.rfind(':') + 1));
    return out;
  }
};

class X509Test : public ::testing::Test {
protected:
  static void SetUpTestSuite() { RegisterCryptoAlgorithms(); }
  static OpensslCertificate& Fixture() {
    static std::unique_ptr<OpensslCertificate> f = std::make_unique<OpensslCertificate>();
    return *f;
  }
};

TEST_F(X509Test, ReadsOpensslCertificateAndWritesItBackUnchanged) {
  QV_REQUIRE_TOOL("openssl");
  OpensslCertificate& f = Fixture();
  TAS_X509Certificate cert;
  ASSERT_TRUE(cert.LoadFromPEMFile(f.pem));
  EXPECT_EQ(cert.PEMTitle(), "CERTIFICATE");
  EXPECT_EQ(cert.Version(), 3);
  EXPECT_EQ(cert.SerialNumber(), "008123");  // sign byte kept, as read
  EXPECT_EQ(cert.SignatureAlgo(), "1.2.840.113549.1.1.11");
  EXPECT_EQ(cert.SignatureAlgorithm(), "1.2.840.113549.1.1.11");
  const std::vector<std::string> name = {"2.5.4.6=DE", "2.5.4.3=Test User", "1.2.840.113549.1.9.1=t@x.org"};
  EXPECT_EQ(Items(cert.Subject()), name);
  EXPECT_EQ(Items(cert.Issuer()), name);
  const std::vector<std::string> times = f.Times();
  ASSERT_EQ(times.size(), 2u);
  EXPECT_EQ(cert.NotValidBefore(), times[0]);
  EXPECT_EQ(cert.NotValidAfter(), times[1]);
  EXPECT_EQ(cert.PublicKeyAlgorithm(), "1.2.840.113549.1.1.1");
  EXPECT_EQ(cert.PublicKeyBitValue(), BytesToHexText(f.key_der));
  EXPECT_NE(cert.Extensions().IndexOf("2.5.29.19=30030101FFFF"), -1) << cert.Extensions().Text();
  for (const std::string& line : Items(cert.Extensions()))
    if (line.rfind("2.5.29.19=", 0) != 0) {
      EXPECT_EQ(line.substr(line.size() - 2), "00") << line;
    }

  const std::string der_hex = BytesToHexText(f.der);
  EXPECT_EQ(cert.DERCodeDesignate(), der_hex);
  EXPECT_EQ(cert.BuildDER(), der_hex);  // the fields rebuild the very same bytes

  TAS_X509Certificate binary;
  binary.LoadFromFile(f.dir.File("c.der"));
  EXPECT_EQ(binary.SerialNumber(), "008123");
  EXPECT_EQ(test::RunTool("openssl x509 -in " + f.pem + " -noout -serial"), "serial=8123\n");
}

// UTF-8 names and a date from 2050 on (GeneralizedTime), as openssl writes them by default:
// the fields rebuild the very same bytes, and a certificate whose issuer is copied from this
// one's subject writes it with the same string types.
TEST_F(X509Test, KeepsStringAndTimeTypes) {
  QV_REQUIRE_TOOL("openssl");
  test::TempDir dir;
  dir.Write("req.cnf", "[req]\ndistinguished_name = dn\nstring_mask = utf8only\n[dn]\n");
  test::RunTool(
      "openssl req -x509 -utf8 -config " + dir.File("req.cnf") + " -newkey rsa:1024 -nodes -keyout " +
      dir.File("key.pem") + " -out " + dir.File("c.pem") +
      " -subj \"/C=DE/O=M\xC3\xBCller & S\xC3\xB6hne/CN=Zo\xC3\xAB/emailAddress=z@x.org\" -days 12000 2>/dev/null");
  test::RunTool("openssl x509 -in " + dir.File("c.pem") + " -outform DER -out " + dir.File("c.der"));
  const std::string der_hex = BytesToHexText(ReadFileBytes(dir.File("c.der")));
  const std::string asn1 = test::RunTool("openssl asn1parse -inform DER -in " + dir.File("c.der"));
  ASSERT_NE(asn1.find("UTF8STRING"), std::string::npos) << asn1;
  ASSERT_NE(asn1.find("GENERALIZEDTIME"), std::string::npos) << asn1;

  TAS_X509Certificate cert;
  cert.LoadFromFile(dir.File("c.der"));
  EXPECT_EQ(cert.Subject()[2], "2.5.4.3=Zo\xC3\xAB");
  EXPECT_EQ(cert.NotValidAfter().size(), 15u);  // YYYYMMDDHHMMSSZ
  EXPECT_EQ(cert.BuildDER(), der_hex);
  dir.Write("back.der", HexTextToString(cert.BuildDER()));
  const std::string text = test::RunTool("openssl x509 -inform DER -in " + dir.File("back.der") +
                                         " -noout -subject -enddate -nameopt utf8,sep_comma_plus_space");
  EXPECT_NE(text.find("CN=Zo\xC3\xAB"), std::string::npos) << text;
  EXPECT_EQ(text.find("Bad time"), std::string::npos) << text;
  EXPECT_NE(text.find("notAfter="), std::string::npos) << text;

  TAS_X509Certificate child;
  child.SetParent(&cert);
  child.SetNotValidBefore("20510101000000Z");  // a new text with a four-digit year
  child.SetNotValidAfter("510101000000Z");
  TDERNode parsed, rebuilt;
  parsed.ParseHex(der_hex);
  rebuilt.ParseHex(child.BuildDER());
  const TDERNode& tbs = *rebuilt.Child(0);
  const TDERNode& original = *parsed.Child(0);
  const int subject_at = original.Child(0)->TagClass() == dcContext ? 5 : 4;  // after a version element
  EXPECT_EQ(tbs.Child(3)->ToHex(), original.Child(subject_at)->ToHex());      // issuer = that subject
  EXPECT_EQ(tbs.Child(4)->Child(0)->Tag(), der_tag::GeneralizedTime);
  EXPECT_EQ(tbs.Child(4)->Child(1)->Tag(), der_tag::UTCTime);
}

TEST_F(X509Test, ReadsOpensslRequest) {
  QV_REQUIRE_TOOL("openssl");
  OpensslCertificate& f = Fixture();
  TAS_X509CertRequest req;
  ASSERT_TRUE(req.LoadFromPEMFile(f.req_pem));
  EXPECT_EQ(req.PEMTitle(), "CERTIFICATE REQUEST");  // taken as found
  EXPECT_EQ(req.Version(), 0);
  EXPECT_EQ(Items(req.Subject()), (std::vector<std::string>{"2.5.4.3=Requester", "2.5.4.10=Lab"}));
  EXPECT_EQ(req.PublicKeyBitValue(), BytesToHexText(f.key_der));
  EXPECT_EQ(req.SignatureAlgorithm(), "1.2.840.113549.1.1.11");
}

// Certificates and requests built by the kit are read by openssl.
TEST_F(X509Test, KitBuiltStructuresParseWithOpenssl) {
  QV_REQUIRE_TOOL("openssl");
  TAS_PrimeGenerator primes;
  TAS_RSACryptography rsa;
  rsa.SetPrimeGenerator(&primes);
  rsa.SetSmallPublicExp(65537);
  rsa.GenerateKeys(64);

  TAS_X509CertRequest req;
  req.SetSubject(Lines({"2.5.4.3=Kit User", "2.5.4.10=  ", "1.2.840.113549.1.9.1=k@x.org"}));
  req.SetSigningHelper(&rsa);
  req.SetSignatureValue("0102");
  TAS_X509Certificate cert;
  cert.SetSerialNumber("05");
  cert.SetNotValidBefore("240101120000Z");
  cert.SetNotValidAfter("340101120000Z");
  cert.SetIssuer(Lines({"2.5.4.3=Kit CA"}));
  cert.SetExtensions(Lines({"2.5.29.19=30030101FFFF"}));
  cert.SetSigningHelper(&rsa);
  EXPECT_EQ(cert.PublicKeyBitValue(), rsa.PublicKeyBitValue());
  EXPECT_EQ(cert.SignatureAlgorithm(), "1.2.840.113549.1.1.5");
  EXPECT_EQ(cert.SignatureAlgo(), "1.2.840.113549.1.1.5");
  cert.SetSignatureValue("0A0B");

  test::TempDir dir;
  dir.Write("r.der", HexTextToString(req.GetDERCode()));
  dir.Write("c.der", HexTextToString(cert.GetDERCode()));
  std::string r = test::RunTool("openssl req -inform DER -in " + dir.File("r.der") + " -noout -subject");
  EXPECT_EQ(r, "subject=CN = Kit User, emailAddress = k@x.org\n");
  std::string c = test::RunTool("openssl x509 -inform DER -in " + dir.File("c.der") +
                                " -noout -subject -issuer -serial -ext basicConstraints");
  EXPECT_NE(c.find("issuer=CN = Kit CA"), std::string::npos) << c;
  EXPECT_NE(c.find("serial=05"), std::string::npos) << c;
  EXPECT_NE(c.find("critical"), std::string::npos) << c;
  std::string a = test::RunTool("openssl asn1parse -inform DER -in " + dir.File("r.der"));
  EXPECT_NE(a.find("IA5STRING         :k@x.org"), std::string::npos) << a;
  EXPECT_NE(a.find("cont [ 0 ]"), std::string::npos) << a;  // empty attributes, constructed
  EXPECT_EQ(req.BuildBody().substr(req.BuildBody().size() - 4), "A000");

  // And back through the kit.
  TAS_X509Certificate back;
  back.SetDERCodeDesignate(cert.GetDERCode());
  EXPECT_EQ(Items(back.Issuer()), (std::vector<std::string>{"2.5.4.3=Kit CA"}));
  EXPECT_EQ(back.Extensions()[0], "2.5.29.19=30030101FFFF");
  EXPECT_EQ(back.SignatureValue(), "0A0B");
}

// Malformed DER raises and leaves the previously loaded certificate as it was.
TEST_F(X509Test, MalformedCertificatesChangeNothing) {
  TAS_X509Certificate good_cert;
  good_cert.SetSerialNumber("01");
  good_cert.SetSignatureAlgorithm("1.2.840.113549.1.1.5");
  good_cert.SetNotValidBefore("240101120000Z");
  good_cert.SetNotValidAfter("250101120000Z");
  good_cert.SetIssuer(Lines({"2.5.4.3=Good"}));
  good_cert.SetPublicKeyAlgorithm("1.2.840.113549.1.1.1");
  good_cert.SetPublicKeyBitValue("3006020101020103");
  good_cert.SetSignatureValue("AA");
  const std::string good = good_cert.BuildDER();

  TAS_X509Certificate cert;
  cert.SetDERCodeDesignate(good);
  struct Case {
    std::string hex;
    const char* why;
  } cases[] = {
      {good.substr(0, good.size() - 2), "truncated"},
      {good.substr(0, 40), "cut inside the body"},
      {good + "00", "trailing byte"},
      {"3000", "no body"},
      {"3003020101", "body is no SEQUENCE"},
      {"30053003020101", "body without its fields"},
      {"3080" + good.substr(8), "indefinite outer without its end"},
      {"300A3003020101300301", "child past its parent"},
      {"0500", "not a SEQUENCE"},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(cert.SetDERCodeDesignate(c.hex), EASN1Error) << c.why;
    EXPECT_EQ(cert.DERCodeDesignate(), good) << c.why;
    EXPECT_EQ(cert.Issuer()[0], "2.5.4.3=Good") << c.why;
    EXPECT_EQ(cert.SignatureValue(), "AA") << c.why;
  }
  EXPECT_THROW(cert.SetDERCodeDesignate("30ZZ"), EConvertError);
  EXPECT_EQ(cert.DERCodeDesignate(), good);

  // Random byte changes either parse or raise the parser's error; nothing else happens.
  const std::vector<uint8_t> bytes = HexTextToBytes(good);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> changed = bytes;
    uint8_t r[3];
    FillOsRandom(r, sizeof r);
    changed[(r[0] | r[1] << 8) % changed.size()] = r[2];
    TAS_X509Certificate c;
    try {
      c.SetDERCodeDesignate(BytesToHexText(changed.data(), static_cast<std::ptrdiff_t>(changed.size())));
    } catch (const EASN1Error&) {
      EXPECT_EQ(c.DERCodeDesignate(), "");
    }
  }

  // Without a signature the structure is complete once ShouldBeSigned is off.
  TAS_X509Certificate unsigned_cert;
  unsigned_cert.SetShouldBeSigned(false);
  TDERNode root;
  root.Parse(HexTextToBytes(good));
  TDERNode only_body;
  only_body.SetTag(dcUniversal, der_tag::Sequence);
  only_body.AddChild()->ParseHex(root.Child(0)->ToHex());
  unsigned_cert.SetDERCodeDesignate(only_body.ToHex());
  EXPECT_EQ(unsigned_cert.SerialNumber(), "01");
  EXPECT_THROW(cert.SetDERCodeDesignate(only_body.ToHex()), EASN1Error);
}

TEST_F(X509Test, VersionNamesAndTextForms) {
  TAS_X509Certificate cert;
  cert.SetVersion(0);
  cert.SetSerialNumber("01");
  cert.SetSubject(Lines({"2.5.4.3=Someone", "2.5.4.7=   ", "1.2.840.113549.1.9.1=a@b.c"}));
  std::string der = cert.BuildDER();
  TAS_X509Certificate back;
  back.SetIsRoot(false);
  back.SetDERCodeDesignate(der);
  EXPECT_EQ(back.Version(), 0);
  EXPECT_EQ(back.BuildDER(), der);  // written back without the version element
  EXPECT_EQ(Items(back.Subject()), (std::vector<std::string>{"2.5.4.3=Someone", "1.2.840.113549.1.9.1=a@b.c"}));
  TDERNode root;
  root.ParseHex(der);
  const TDERNode& subject = *root.Child(0)->Child(4);
  EXPECT_EQ(subject.Child(1)->Child(0)->Child(1)->Tag(), der_tag::IA5String);
  EXPECT_EQ(subject.Child(0)->Child(0)->Child(1)->Tag(), der_tag::PrintableString);

  // Text lines of 16 pairs ended by CR LF, read back ignoring spaces.
  std::ostringstream out;
  cert.SaveToStream(out);
  const std::string text = out.str();
  EXPECT_EQ(text.substr(47, 2), "\r\n");
  EXPECT_EQ(text[2], ' ');
  std::istringstream in(text);
  TAS_X509Certificate loaded;
  loaded.LoadFromStream(in);
  EXPECT_EQ(loaded.DERCodeDesignate(), der);
  TAS_X509Certificate copy;
  copy.Assign(loaded);
  EXPECT_EQ(copy.DERCodeDesignate(), der);
  TAS_X509CertRequest other;
  other.Assign(loaded);  // another class: ignored
  EXPECT_EQ(other.DERCodeDesignate(), "");

  test::TempDir dir;
  dir.Write("bad.pem", "-----BEGIN CERTIFICATE-----\nMAA=\n-----END X509 CRL-----\n");
  cert.SetPEMTitle("CERTIFICATE");
  EXPECT_FALSE(cert.LoadFromPEMFile(dir.File("bad.pem")));
  EXPECT_EQ(cert.PEMTitle(), "");
  dir.Write("mixed.pem", "-----BEGIN CERTIFICATE-----\n" + std::string("MAMCAQE=") + "\n-----END certificate-----\n");
  TAS_X509CertRequest req;
  EXPECT_THROW(req.LoadFromPEMFile(dir.File("mixed.pem")), EASN1Error);  // 30 03 02 01 01 is no request
}

TEST_F(X509Test, ChainRequestAndHelperLinks) {
  TAS_X509Certificate ca, user;
  ca.SetSignatureAlgorithm("1.2.840.113549.1.1.5");
  ca.SetIssuer(Lines({"2.5.4.3=CA"}));
  EXPECT_EQ(Items(ca.Subject()), (std::vector<std::string>{"2.5.4.3=CA"}));  // root: issuer is subject
  user.SetParent(&ca);
  EXPECT_FALSE(user.IsRoot());
  EXPECT_EQ(Items(user.Issuer()), (std::vector<std::string>{"2.5.4.3=CA"}));
  EXPECT_EQ(user.SignatureAlgorithm(), "1.2.840.113549.1.1.5");
  ca.SetSubject(Lines({"2.5.4.3=New CA"}));
  EXPECT_EQ(Items(user.Issuer()), (std::vector<std::string>{"2.5.4.3=New CA"}));
  ca.SetIssuer(Lines({"2.5.4.3=Root"}));  // a root's issuer is its subject, down to its children
  EXPECT_EQ(Items(user.Issuer()), (std::vector<std::string>{"2.5.4.3=Root"}));

  TAS_X509CertRequest req;
  req.SetSubject(Lines({"2.5.4.3=User"}));
  req.SetPublicKeyBitValue("3006020101020103");
  user.SetRequest(&req);
  EXPECT_EQ(req.Certificate(), &user);
  EXPECT_EQ(Items(user.Subject()), (std::vector<std::string>{"2.5.4.3=User"}));
  EXPECT_EQ(user.PublicKeyBitValue(), "3006020101020103");
  req.SetPublicKeyAlgorithm("1.2.840.113549.1.1.1");
  EXPECT_EQ(user.PublicKeyAlgorithm(), "1.2.840.113549.1.1.1");

  {
    TAS_RSACryptography rsa;
    rsa.SetPublicKeyParts("00C1", "03");
    ca.SetSigningHelper(&rsa);
    EXPECT_EQ(ca.PublicKeyBitValue(), rsa.PublicKeyBitValue());
    rsa.SetPublicKeyParts("00C3", "03");
    EXPECT_EQ(ca.PublicKeyBitValue(), rsa.PublicKeyBitValue());
    rsa.SetSignatureAlgorithm("1.2.840.113549.1.1.4");
    EXPECT_EQ(ca.SignatureAlgorithm(), "1.2.840.113549.1.1.4");
    ca.SetSignatureAlgorithm("1.2.840.113549.1.1.2");
    EXPECT_EQ(rsa.SignatureAlgorithm(), "1.2.840.113549.1.1.2");
    rsa.SetEncryptionScheme(TRSAEncryptionScheme::esOaep);
    EXPECT_EQ(ca.PublicKeyAlgorithm(), "1.2.840.113549.1.1.6");
  }
  EXPECT_EQ(ca.SigningHelper(), nullptr);
  {
    TAS_X509CertRequest gone;
    user.SetRequest(&gone);
  }
  EXPECT_EQ(user.Request(), nullptr);
  {
    auto parent = std::make_unique<TAS_X509Certificate>();
    user.SetParent(parent.get());
    EXPECT_EQ(ca.ChildComponents().size(), 0u);
  }
  EXPECT_EQ(user.Parent(), nullptr);
  user.SetIsRoot(true);
  EXPECT_TRUE(user.IsRoot());
}

}  // namespace
}  // namespace qv
