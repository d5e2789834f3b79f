#pragma once
// One ASN.1 element and its children: parses BER/DER bytes and writes DER. The parser is pure
// and bounded: it never reads past the bytes it is given, every child must end inside its
// parent, nesting is limited, and any fault raises EASN1Error.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace qv {

QV_DECLARE_EXCEPTION(EASN1Error, Exception);

enum TDERClass : uint8_t { dcUniversal = 0, dcApplication = 1, dcContext = 2, dcPrivate = 3 };

namespace der_tag {
constexpr uint32_t Boolean = 1, Integer = 2, BitString = 3, OctetString = 4, Null = 5, Oid = 6, Sequence = 16, Set = 17,
                   PrintableString = 19, IA5String = 22, UTCTime = 23, GeneralizedTime = 24;
}

constexpr int kDERMaxDepth = 64;

class TDERNode {
public:
  TDERNode() = default;
  ~TDERNode() = default;
  TDERNode(const TDERNode&) = delete;
  TDERNode& operator=(const TDERNode&) = delete;

  void Clear();

  TDERNode* Parent() const { return parent_; }
  // Appends a new untagged child; an untagged parent becomes a SEQUENCE.
  TDERNode* AddChild();
  TDERNode* Child(int index) const;
  int ChildCount() const { return static_cast<int>(children_.size()); }
  // The child at index when it exists with that class and tag, else EASN1Error
  // "Error: unexpected DER structure".
  TDERNode& Expect(int index, uint8_t tag_class, uint32_t tag) const;

  uint8_t TagClass() const { return class_; }
  uint32_t Tag() const { return tag_; }
  void SetTag(uint8_t tag_class, uint32_t tag);
  bool Indefinite() const { return indefinite_; }
  // Written constructed even without children (an empty attributes or name element).
  void SetContainer(bool value) { container_ = value; }
  bool Constructed() const;

  // Reads one element from len bytes, replacing this node's contents; returns the bytes used.
  // With whole set, the element must take exactly len bytes.
  size_t Parse(const uint8_t* bytes, size_t len, bool whole = true);
  size_t Parse(const std::vector<uint8_t>& bytes, bool whole = true) {
    return Parse(bytes.data(), bytes.size(), whole);
  }
  size_t ParseHex(const std::string& hex);

  void WriteToStream(std::ostream& stream) const;
  std::vector<uint8_t> Encode() const;
  std::string ToHex() const;

  // Content setters: an untagged node takes the setter's universal tag.
  void SetContent(const void* bytes, size_t len);
  void SetInteger(int32_t value);
  void SetIntegerHex(const std::string& hex);
  void SetOctetStringHex(const std::string& hex);
  void SetBitStringHex(const std::string& hex);
  void SetPrintableString(const std::string& text);
  void SetOID(const std::string& text);
  void SetUTCTime(const std::string& text);
  void SetBoolean(uint8_t value);  // the content byte as given (0xFF for true)
  void SetNull();

  const std::vector<uint8_t>& Content() const { return content_; }
  std::string ContentHex() const;
  std::string BitStringHex() const;
  std::string ContentText() const;
  std::string OidText() const;
  // The content as a big-endian integer; more than 8 bytes is a structure error.
  int64_t ContentInteger() const;

private:
  size_t ParseAt(const uint8_t* bytes, size_t len, int depth);
  void TakeUniversal(uint32_t tag);
  void EncodeTo(std::vector<uint8_t>& out) const;
  size_t EncodedLength() const;

  TDERNode* parent_ = nullptr;
  std::vector<std::unique_ptr<TDERNode>> children_;
  std::vector<uint8_t> content_;
  uint8_t class_ = dcUniversal;
  uint32_t tag_ = 0;
  bool indefinite_ = false;
  bool container_ = false;
};

}  // namespace qv
