#pragma once
// A document's signature envelope, written after the content in the document file: a SHA-1
// digest of the content lines and one of the signature entries, an RSA signature over the block
// that holds the two digests, and the signer's public key. The envelope borrows the element names
// and identifiers of XML signatures but is the archive's own format: the digests are taken over
// the raw file lines (every line followed by CR LF), values are Base64 of upper-case hex text, and
// no canonicalization is done. Stored documents rely on every byte of it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/xml_lines.h"
#include "base/archive_hooks.h"
#include "platform/rtl/date_time.h"

namespace qv {

class TAS_RSACryptography;

inline constexpr const char* SigNamespace = "http://www.w3.org/2000/09/xmldsig#";
inline constexpr const char* SigC14N = "http://www.w3.org/TR/2001/REC-xml-c14n-20010315";
inline constexpr const char* SigRsaSha1 = "http://www.w3.org/2000/09/xmldsig#rsa-sha1";
inline constexpr const char* SigSha1 = "http://www.w3.org/2000/09/xmldsig#sha1";

// One signature entry. UserID is the signer's log-on name, UserName first name and surname.
struct TDY_SigInfo {
  TDateTime TimeStamp = 0;
  std::string Reason, UserID, UserName, Company, Email;
};

// The entries in signing order: the Object element of the envelope.
class TDY_SigInfoList {
public:
  void Add(const TDY_SigInfo& info) { items_.push_back(info); }
  const TDY_SigInfo& Get(int index) const { return items_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(items_.size()); }
  void Delete(int index) { items_.erase(items_.begin() + index); }
  void Clear() { items_.clear(); }
  void WriteXml(TXmlLines& lines, int level) const;
  // Appends the entries read; advances index past the element on success.
  bool ReadXml(const TXmlLineViews& lines, int& index);

private:
  std::vector<TDY_SigInfo> items_;
};

// The reasons offered when signing, in the order of the reason dialog: the item's text key and
// the audit event that signing for it records.
struct TDY_SigReason {
  const char* ItemKey;
  TDY_AuditEventKind Event;
};
inline constexpr TDY_SigReason SigReasons[4] = {
    {"D66_ReasonAuthorship", TDY_AuditEventKind::DocumentSignedAuthorship},
    {"D66_ReasonResponsibility", TDY_AuditEventKind::DocumentSignedResponsibility},
    {"D66_ReasonReview", TDY_AuditEventKind::DocumentSignedReview},
    {"D66_ReasonApproval", TDY_AuditEventKind::DocumentSignedApproval}};

// The keys of the logged-on user, as hexadecimal texts of their DER codes, and the user's
// certificate (hexadecimal DER text, empty when the user has none).
struct TDY_SignerKeys {
  std::string PrivateKey, PublicKey, Certificate;
};

// The stored public key (hexadecimal DER text) of the user with the given log-on name; empty
// when there is no such user or the user has no key. Installed by the archive at start-up.
extern std::function<std::string(const std::string& user_name)> SignerStoredPublicKey;

// The fixed message of a signature made with a key other than the signer's stored one.
std::string SignerKeyMismatchMessage(const std::string& user_name);

class TDY_Signature {
public:
  TDY_Signature();
  ~TDY_Signature();
  TDY_Signature(const TDY_Signature&) = delete;
  TDY_Signature& operator=(const TDY_Signature&) = delete;

  // The envelope's lines; with signed_info_only only the SignedInfo element (one level deeper).
  void WriteXml(TXmlLines& lines, int level, bool signed_info_only) const;
  // Reads the envelope at index and advances index past it. No envelope there: true, not
  // signed, nothing consumed. A malformed envelope (missing line, bad Base64, bad date): false.
  bool ReadXml(const TXmlLineViews& lines, int& index, bool& is_signed);

  void CalcDigests(const TXmlLines& content_lines);
  // Signs for the user whose keys are given; the caller has added the new entry. Error boxes on
  // failure.
  bool Sign(const TXmlLines& content_lines, const TDY_SignerKeys& keys);
  bool VerifyDigests(const TXmlLineViews& content_lines);
  // VerifyDigests, then VerifySignedInfo.
  bool VerifySignature(const TXmlLineViews& content_lines);
  // The signature value over the block that holds the digests, by the signer's stored key; for
  // a caller that has checked the digests already.
  bool VerifySignedInfo();

  std::string ContentDigest, SigInfoDigest;
  TXmlLines SignedInfoLines, SigInfoLines;
  std::string Modulus, Exponent, SignatureValue;
  std::string Status;
  bool Unsigned = true;
  TDY_SigInfoList SigInfos;

private:
  std::unique_ptr<TAS_RSACryptography> rsa_;
};

// SHA-1 of the lines, each followed by CR LF, as 40 upper-case hex digits; nothing is copied.
std::string LinesSha1Hex(const TXmlLines& lines);
std::string LinesSha1Hex(const TXmlLineViews& lines);

}  // namespace qv
