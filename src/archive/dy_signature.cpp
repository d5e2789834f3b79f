#include "archive/dy_signature.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>

#include "archive/archive_globals.h"
#include "archive/dy_crypt.h"
#include "base/res_string.h"
#include "crypto/as_coding.h"
#include "crypto/crypto_kit.h"
#include "crypto/crypto_text.h"
#include "crypto/digest_engines.h"
#include "crypto/rsa_cryptography.h"
#include "crypto/x509_certificate.h"
#include "platform/rtl/exception.h"

namespace qv {

std::function<std::string(const std::string& user_name)> SignerStoredPublicKey;

std::string SignerKeyMismatchMessage(const std::string& user_name) {
  return "Signer's key does not match the stored key of user '" + user_name + "'";
}

namespace {

const std::string SignatureOpen = std::string("Signature Id=\"DossalySignature\" xmlns=\"") + SigNamespace + "\"";
const std::string C14NLine = std::string("CanonicalizationMethod Algorithm=\"") + SigC14N + "\" /";
const std::string MethodLine = std::string("SignatureMethod Algorithm=\"") + SigRsaSha1 + "\" /";
const std::string DigestMethodLine = std::string("DigestMethod Algorithm=\"") + SigSha1 + "\" /";
const std::string ContentRef = "Reference URI=\"#DocContent\"";
const std::string SigInfoRef = "Reference URI=\"#SignatureInfo\"";

// The lines are gathered into a small block before hashing, so the engine sees few large
// updates; the document itself is never copied whole.
template <typename Lines>
std::string Sha1Hex(const Lines& lines) {
  digest::Sha1 sha;
  constexpr size_t BlockSize = 16384;
  std::unique_ptr<uint8_t[]> block(new uint8_t[BlockSize]);
  size_t used = 0;
  auto add = [&](const char* data, size_t size) {
    while (size > 0) {
      if (used == BlockSize) {
        sha.Update(block.get(), used);
        used = 0;
      }
      const size_t n = std::min(size, BlockSize - used);
      std::memcpy(block.get() + used, data, n);
      used += n;
      data += n;
      size -= n;
    }
  };
  for (const auto& line : lines) {
    add(line.data(), line.size());
    add("\r\n", 2);
  }
  sha.Update(block.get(), used);
  uint8_t out[digest::Sha1::kSize];
  sha.Final(out);
  return BytesToHexText(out, digest::Sha1::kSize);
}

std::string LinesText(const TXmlLines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string Base64Of(const std::string& text) { return Base64Coder().EncodeString(text); }

// The line holds the whole opening (or closing) text of the element, at any indentation.
bool LineHas(std::string_view line, const std::string& text, bool opening = true) {
  return line.find((opening ? "<" : "</") + text + ">") != std::string_view::npos;
}

// Reads the Base64 value of tag at index into value; raises on malformed Base64.
bool ReadBase64Value(const TXmlLineViews& lines, int& index, const std::string& tag, std::string& value) {
  std::string raw;
  if (!XmlGetTagText(XmlLineAt(lines, index), tag, raw)) return false;
  value = Base64Coder().DecodeString(raw);
  ++index;
  return true;
}

// Steps through the required lines of a reference.
bool ReadReference(const TXmlLineViews& lines, int& index, const std::string& ref, std::string& digest) {
  if (!LineHas(XmlLineAt(lines, index), ref)) return false;
  ++index;
  if (!LineHas(XmlLineAt(lines, index), DigestMethodLine)) return false;
  ++index;
  if (!ReadBase64Value(lines, index, "DigestValue", digest)) return false;
  if (!LineHas(XmlLineAt(lines, index), "Reference", false)) return false;
  ++index;
  return true;
}

}  // namespace

std::string LinesSha1Hex(const TXmlLines& lines) { return Sha1Hex(lines); }
// Lines read from a file mostly lie one after the other with CR LF between them: such runs are
// hashed in place.
std::string LinesSha1Hex(const TXmlLineViews& lines) {
  digest::Sha1 sha;
  static const uint8_t crlf[2] = {'\r', '\n'};
  const char* run = nullptr;
  const char* run_end = nullptr;
  auto flush = [&] {
    if (run) sha.Update(reinterpret_cast<const uint8_t*>(run), static_cast<size_t>(run_end - run));
    sha.Update(crlf, 2);
  };
  for (const std::string_view& line : lines) {
    // Two bytes between the run and this line: the line break of the text both lie in.
    if (run && reinterpret_cast<uintptr_t>(line.data()) - reinterpret_cast<uintptr_t>(run_end) == 2 &&
        run_end[0] == '\r' && run_end[1] == '\n') {
      run_end = line.data() + line.size();
      continue;
    }
    if (run) flush();
    run = line.data();
    run_end = run + line.size();
  }
  if (run) flush();
  uint8_t out[digest::Sha1::kSize];
  sha.Final(out);
  return BytesToHexText(out, digest::Sha1::kSize);
}

void TDY_SigInfoList::WriteXml(TXmlLines& lines, int level) const {
  lines.push_back(XmlTagOpenClose("Object Id=\"SignatureInfo\"", true, level));
  lines.push_back(XmlTagOpenClose("DossalySignatureData", true, level + 1));
  for (size_t i = 0; i < items_.size(); ++i) {
    const TDY_SigInfo& info = items_[i];
    std::string open = "DossalySignature ID=\"Signature" + std::to_string(i) + "\"";
    if (i + 1 == items_.size()) open += " Target=\"#DossalySignature\"";
    lines.push_back(XmlTagOpenClose(open, true, level + 2));
    lines.push_back(XmlTagLine("TimeStamp", DateTimeToXmlText(info.TimeStamp), level + 3));
    lines.push_back(XmlTagLine("Reason", info.Reason, level + 3));
    lines.push_back(XmlTagLine("UserID", info.UserID, level + 3));
    lines.push_back(XmlTagLine("UserName", info.UserName, level + 3));
    lines.push_back(XmlTagLine("Company", info.Company, level + 3));
    lines.push_back(XmlTagLine("Email", info.Email, level + 3));
    lines.push_back(XmlTagOpenClose("DossalySignature", false, level + 2));
  }
  lines.push_back(XmlTagOpenClose("DossalySignatureData", false, level + 1));
  lines.push_back(XmlTagOpenClose("Object", false, level));
}

bool TDY_SigInfoList::ReadXml(const TXmlLineViews& lines, int& index) {
  int i = index;
  if (XmlLineAt(lines, i).find("<Object Id=\"SignatureInfo\"") == std::string_view::npos) return false;
  ++i;
  if (XmlLineAt(lines, i).find("<DossalySignatureData") == std::string_view::npos) return false;
  ++i;
  std::vector<TDY_SigInfo> read;
  try {
    // "<DossalySignature" also starts "<DossalySignatureData", whose closing line ends the loop.
    while (XmlLineAt(lines, i).find("<DossalySignature") != std::string_view::npos &&
           XmlLineAt(lines, i).find("<DossalySignatureData") == std::string_view::npos) {
      ++i;
      TDY_SigInfo info;
      if (!XmlReadDateTime(XmlLineAt(lines, i), "TimeStamp", i, info.TimeStamp) ||
          !XmlReadMultiLineString(lines, "Reason", i, info.Reason) ||
          !XmlReadMultiLineString(lines, "UserID", i, info.UserID) ||
          !XmlReadMultiLineString(lines, "UserName", i, info.UserName) ||
          !XmlReadMultiLineString(lines, "Company", i, info.Company) ||
          !XmlReadMultiLineString(lines, "Email", i, info.Email))
        return false;
      if (!LineHas(XmlLineAt(lines, i), "DossalySignature", false)) return false;
      ++i;
      read.push_back(std::move(info));
    }
  } catch (const EConvertError&) {
    return false;
  }
  if (!LineHas(XmlLineAt(lines, i), "DossalySignatureData", false)) return false;
  ++i;
  if (!LineHas(XmlLineAt(lines, i), "Object", false)) return false;
  ++i;
  items_.insert(items_.end(), read.begin(), read.end());
  index = i;
  return true;
}

TDY_Signature::TDY_Signature()
    : Status(LoadResString("DY_SignatureNotChecked")), rsa_(std::make_unique<TAS_RSACryptography>()) {
  RegisterCryptoAlgorithms();  // the RSA component finds its digest by OID
}

TDY_Signature::~TDY_Signature() = default;

void TDY_Signature::WriteXml(TXmlLines& lines, int level, bool signed_info_only) const {
  const int s = level;
  if (!signed_info_only) lines.push_back(XmlTagOpenClose(SignatureOpen, true, s));
  lines.push_back(XmlTagOpenClose("SignedInfo", true, s + 1));
  lines.push_back(XmlTagOpenClose(C14NLine, true, s + 2));
  lines.push_back(XmlTagOpenClose(MethodLine, true, s + 2));
  lines.push_back(XmlTagOpenClose(ContentRef, true, s + 2));
  lines.push_back(XmlTagOpenClose(DigestMethodLine, true, s + 3));
  lines.push_back(XmlTagLine("DigestValue", Base64Of(ContentDigest), s + 3));
  lines.push_back(XmlTagOpenClose("Reference", false, s + 2));
  lines.push_back(XmlTagOpenClose(SigInfoRef, true, s + 2));
  lines.push_back(XmlTagOpenClose(DigestMethodLine, true, s + 3));
  lines.push_back(XmlTagLine("DigestValue", Base64Of(SigInfoDigest), s + 3));
  lines.push_back(XmlTagOpenClose("Reference", false, s + 2));
  lines.push_back(XmlTagOpenClose("SignedInfo", false, s + 1));
  if (signed_info_only) return;
  if (!Unsigned) {
    lines.push_back(XmlTagLine("SignatureValue", Base64Of(SignatureValue), s + 1));
    lines.push_back(XmlTagOpenClose("KeyInfo", true, s + 1));
    lines.push_back(XmlTagOpenClose("KeyValue", true, s + 2));
    lines.push_back(XmlTagOpenClose("RSAKeyValue", true, s + 3));
    lines.push_back(XmlTagLine("Modulus", Base64Of(Modulus), s + 4));
    lines.push_back(XmlTagLine("Exponent", Base64Of(Exponent), s + 4));
    lines.push_back(XmlTagOpenClose("RSAKeyValue", false, s + 3));
    lines.push_back(XmlTagOpenClose("KeyValue", false, s + 2));
    lines.push_back(XmlTagOpenClose("KeyInfo", false, s + 1));
  }
  SigInfos.WriteXml(lines, s + 1);
  lines.push_back(XmlTagOpenClose("Signature", false, s));
}

bool TDY_Signature::ReadXml(const TXmlLineViews& lines, int& index, bool& is_signed) {
  is_signed = false;
  int i = index;
  if (XmlLineAt(lines, i).find("<" + SignatureOpen) == std::string_view::npos) return true;
  ++i;
  std::string content_digest, sig_info_digest, signature, modulus, exponent;
  TDY_SigInfoList infos;
  try {
    const int signed_info_first = i;
    if (!LineHas(XmlLineAt(lines, i), "SignedInfo")) return false;
    ++i;
    if (!LineHas(XmlLineAt(lines, i), C14NLine)) return false;
    ++i;
    if (!LineHas(XmlLineAt(lines, i), MethodLine)) return false;
    ++i;
    if (!ReadReference(lines, i, ContentRef, content_digest)) return false;
    if (!ReadReference(lines, i, SigInfoRef, sig_info_digest)) return false;
    if (!LineHas(XmlLineAt(lines, i), "SignedInfo", false)) return false;
    ++i;
    const int signed_info_end = i;
    if (ReadBase64Value(lines, i, "SignatureValue", signature)) {
      for (const char* tag : {"KeyInfo", "KeyValue", "RSAKeyValue"}) {
        if (!LineHas(XmlLineAt(lines, i), tag)) return false;
        ++i;
      }
      if (!ReadBase64Value(lines, i, "Modulus", modulus)) return false;
      if (!ReadBase64Value(lines, i, "Exponent", exponent)) return false;
      for (const char* tag : {"RSAKeyValue", "KeyValue", "KeyInfo"}) {
        if (!LineHas(XmlLineAt(lines, i), tag, false)) return false;
        ++i;
      }
    }
    const int object_first = i;
    if (!infos.ReadXml(lines, i)) return false;
    const int object_end = i;
    if (!LineHas(XmlLineAt(lines, i), "Signature", false)) return false;
    ++i;
    // Only now, when the whole envelope was read, does it replace what was held.
    SignedInfoLines.assign(lines.begin() + signed_info_first, lines.begin() + signed_info_end);
    SigInfoLines.assign(lines.begin() + object_first, lines.begin() + object_end);
  } catch (const std::exception&) {
    return false;  // malformed Base64 or a value the kit refuses
  }
  ContentDigest = content_digest;
  SigInfoDigest = sig_info_digest;
  SignatureValue = signature;
  Modulus = modulus;
  Exponent = exponent;
  SigInfos = std::move(infos);
  Unsigned = signature.empty();
  index = i;
  is_signed = !ContentDigest.empty() && !SignatureValue.empty() && !Modulus.empty() && !Exponent.empty();
  return true;
}

void TDY_Signature::CalcDigests(const TXmlLines& content_lines) {
  ContentDigest = Sha1Hex(content_lines);
  // Always from the entries, so the lines digested are the lines written.
  SigInfoLines.clear();
  SigInfos.WriteXml(SigInfoLines, 2);
  SigInfoDigest = Sha1Hex(SigInfoLines);
  Unsigned = true;
}

bool TDY_Signature::Sign(const TXmlLines& content_lines, const TDY_SignerKeys& keys) {
  if (keys.PrivateKey.empty() || keys.PublicKey.empty()) {
    ArchiveErrorBox(LoadResString("DY_NoRSAKeys"));
    return false;
  }
  try {
    if (!keys.Certificate.empty()) {
      TAS_X509Certificate certificate;
      certificate.SetDERCodeDesignate(keys.Certificate);
    }
    CalcDigests(content_lines);
    rsa_->SetPrivateKeyBitValue(keys.PrivateKey);
    rsa_->SetPublicKeyBitValue(keys.PublicKey);
    std::string modulus, exponent;
    rsa_->GetPublicKeyParts(modulus, exponent);
    TXmlLines signed_info;
    WriteXml(signed_info, 1, true);
    rsa_->SignString(LinesText(signed_info));
    Modulus = modulus;
    Exponent = exponent;
    SignedInfoLines = std::move(signed_info);
    SignatureValue = rsa_->GetSignatureHex();
  } catch (const std::exception& e) {
    ArchiveErrorBox(e.what());
    return false;
  }
  Status = LoadResString("DY_SignatureCreated");
  Unsigned = false;
  return true;
}

bool TDY_Signature::VerifyDigests(const TXmlLineViews& content_lines) {
  try {
    if (LinesSha1Hex(content_lines) != ContentDigest) throw Exception("content");
    if (SigInfoLines.empty()) SigInfos.WriteXml(SigInfoLines, 2);
    if (Sha1Hex(SigInfoLines) != SigInfoDigest) throw Exception("entries");
  } catch (const std::exception&) {
    Status = LoadResString("DY_DigestMismatch");
    return false;
  }
  return true;
}

bool TDY_Signature::VerifySignature(const TXmlLineViews& content_lines) {
  return VerifyDigests(content_lines) && VerifySignedInfo();
}

bool TDY_Signature::VerifySignedInfo() {
  try {
    // A signature with no entry names nobody who signed it.
    if (SigInfos.Count() == 0) throw Exception("The signature names no signer");
    const std::string& signer = SigInfos.Get(SigInfos.Count() - 1).UserID;
    const std::string stored = SignerStoredPublicKey ? SignerStoredPublicKey(signer) : std::string();
    if (!stored.empty()) {
      std::string n, e;
      rsa_->SetPublicKeyBitValue(stored);
      rsa_->GetPublicKeyParts(n, e);
      if (n != Modulus || e != Exponent) throw Exception(SignerKeyMismatchMessage(signer));
    }
    rsa_->SetPublicKeyParts(Modulus, Exponent);
    rsa_->SetVerifySignatureHex(SignatureValue);
    rsa_->VerifyString(LinesText(SignedInfoLines));
  } catch (const std::exception& e) {
    Status = LoadResString("DY_SigInvalid") + " [" + e.what() + "]";
    ArchiveErrorBox(Status);
    return false;
  }
  Status = LoadResString("DY_SigValid");
  return true;
}

}  // namespace qv
