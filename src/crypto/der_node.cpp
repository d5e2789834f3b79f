#include "crypto/der_node.h"

#include <cstdio>
#include <ostream>

#include "crypto/crypto_text.h"

namespace qv {

namespace {

[[noreturn]] void Truncated() { throw EASN1Error("Error: unexpected end of data"); }

[[noreturn]] void ParsedError(size_t consumed, size_t len) {
  char text[96];
  std::snprintf(text, sizeof text, "Error: parsed %zu of %zu bytes", consumed, len);
  throw EASN1Error(text);
}

bool EndOfContents(const uint8_t* p, size_t remaining) { return remaining >= 2 && p[0] == 0 && p[1] == 0; }

void AppendLength(std::vector<uint8_t>& out, size_t len) {
  if (len < 0x80) {
    out.push_back(static_cast<uint8_t>(len));
    return;
  }
  int n = 1;
  while (n < 4 && (len >> (8 * n)) != 0) ++n;
  out.push_back(static_cast<uint8_t>(0x80 + n));
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(len >> (8 * i)));
}

size_t LengthOfLength(size_t len) {
  if (len < 0x80) return 1;
  size_t n = 1;
  while (n < 4 && (len >> (8 * n)) != 0) ++n;
  return 1 + n;
}

// Base-128 groups of a tag above 30; a 32-bit tag takes up to five, so the shifts are 64-bit.
int TagGroups(uint32_t tag) {
  int n = 1;
  while (uint64_t{tag} >> (7 * n)) ++n;
  return n;
}

size_t IdentifierLength(uint32_t tag) {
  if (tag <= 30) return 1;
  return 1 + static_cast<size_t>(TagGroups(tag));
}

}  // namespace

void TDERNode::Clear() {
  children_.clear();
  content_.clear();
  class_ = dcUniversal;
  tag_ = 0;
  indefinite_ = false;
  container_ = false;
}

TDERNode* TDERNode::AddChild() {
  if (class_ == dcUniversal && tag_ == 0) tag_ = der_tag::Sequence;
  children_.push_back(std::make_unique<TDERNode>());
  children_.back()->parent_ = this;
  return children_.back().get();
}

TDERNode* TDERNode::Child(int index) const {
  if (index < 0 || index >= ChildCount()) return nullptr;
  return children_[static_cast<size_t>(index)].get();
}

TDERNode& TDERNode::Expect(int index, uint8_t tag_class, uint32_t tag) const {
  TDERNode* child = Child(index);
  if (!child || child->class_ != tag_class || child->tag_ != tag) throw EASN1Error("Error: unexpected DER structure");
  return *child;
}

void TDERNode::SetTag(uint8_t tag_class, uint32_t tag) {
  class_ = tag_class & 3;
  tag_ = tag;
}

bool TDERNode::Constructed() const {
  return !children_.empty() || container_ ||
         (class_ == dcUniversal && (tag_ == der_tag::Sequence || tag_ == der_tag::Set));
}

size_t TDERNode::Parse(const uint8_t* bytes, size_t len, bool whole) {
  // Parse into a fresh node so that a failure leaves this one as it was.
  TDERNode fresh;
  size_t consumed = fresh.ParseAt(bytes, len, 1);
  if (whole && consumed != len) ParsedError(consumed, len);
  children_ = std::move(fresh.children_);
  for (auto& c : children_) c->parent_ = this;
  content_ = std::move(fresh.content_);
  class_ = fresh.class_;
  tag_ = fresh.tag_;
  indefinite_ = fresh.indefinite_;
  container_ = fresh.container_;
  return consumed;
}

size_t TDERNode::ParseHex(const std::string& hex) { return Parse(HexTextToBytes(hex)); }

size_t TDERNode::ParseAt(const uint8_t* p, size_t len, int depth) {
  if (depth > kDERMaxDepth) throw EASN1Error("Error: nesting too deep");
  size_t pos = 0;
  if (!p || len == 0) Truncated();
  uint8_t id = p[pos++];
  class_ = id >> 6;
  bool constructed = (id & 0x20) != 0;
  tag_ = id & 0x1F;
  if (tag_ == 31) {
    uint64_t tag = 0;
    for (;;) {
      if (pos >= len) Truncated();
      uint8_t b = p[pos++];
      tag = (tag << 7) | (b & 0x7F);
      if (tag > 0xFFFFFFFFull) throw EASN1Error("Value too long");
      if (!(b & 0x80)) break;
    }
    // DER writes tags below 31 in one byte: 1F 00 would come back as 00 00, the end-of-contents
    // marker, and the written structure would no longer parse.
    if (tag < 31) {
      char text[64];
      std::snprintf(text, sizeof text, "Error: tag %u given in the long form", static_cast<unsigned>(tag));
      throw EASN1Error(text);
    }
    tag_ = static_cast<uint32_t>(tag);
  }
  if (pos >= len) Truncated();
  uint8_t lb = p[pos++];
  size_t length = 0;
  indefinite_ = lb == 0x80;
  if (lb > 0x80) {
    int n = lb & 0x7F;
    if (n > 4) throw EASN1Error("Value too long");
    if (len - pos < static_cast<size_t>(n)) Truncated();
    for (int i = 0; i < n; ++i) length = (length << 8) | p[pos++];
  } else if (lb < 0x80) {
    length = lb;
  }
  container_ = constructed;
  if (constructed) {
    if (indefinite_) {
      while (!EndOfContents(p + pos, len - pos)) {
        if (pos >= len) Truncated();
        auto child = std::make_unique<TDERNode>();
        child->parent_ = this;
        pos += child->ParseAt(p + pos, len - pos, depth + 1);
        children_.push_back(std::move(child));
      }
      return pos + 2;
    }
    if (length > len - pos) Truncated();
    size_t taken = 0;
    while (taken < length) {
      auto child = std::make_unique<TDERNode>();
      child->parent_ = this;
      // Children are read against the whole buffer so that one running past its parent's
      // end is reported with the byte counts.
      size_t used = child->ParseAt(p + pos + taken, len - pos - taken, depth + 1);
      taken += used;
      children_.push_back(std::move(child));
    }
    if (taken != length) ParsedError(taken, length);
    return pos + length;
  }
  if (indefinite_) {
    size_t end = pos;
    while (!EndOfContents(p + end, len - end)) {
      if (end >= len) Truncated();
      ++end;
    }
    content_.assign(p + pos, p + end);
    return end + 2;
  }
  if (length > len - pos) Truncated();
  content_.assign(p + pos, p + pos + length);
  return pos + length;
}

size_t TDERNode::EncodedLength() const {
  size_t body = 0;
  if (Constructed())
    for (const auto& c : children_) body += c->EncodedLength();
  else
    body = content_.size();
  if (indefinite_) return IdentifierLength(tag_) + 1 + body + 2;
  return IdentifierLength(tag_) + LengthOfLength(body) + body;
}

void TDERNode::EncodeTo(std::vector<uint8_t>& out) const {
  bool constructed = Constructed();
  uint8_t id = static_cast<uint8_t>(class_ << 6) | (constructed ? 0x20 : 0);
  if (tag_ <= 30) {
    out.push_back(id | static_cast<uint8_t>(tag_));
  } else {
    out.push_back(id | 31);
    for (int g = TagGroups(tag_) - 1; g >= 0; --g)
      out.push_back(static_cast<uint8_t>(((uint64_t{tag_} >> (7 * g)) & 0x7F) | (g ? 0x80 : 0)));
  }
  if (indefinite_) {
    out.push_back(0x80);
  } else {
    size_t body = 0;
    if (constructed)
      for (const auto& c : children_) body += c->EncodedLength();
    else
      body = content_.size();
    AppendLength(out, body);
  }
  if (constructed)
    for (const auto& c : children_) c->EncodeTo(out);
  else
    out.insert(out.end(), content_.begin(), content_.end());
  if (indefinite_) {
    out.push_back(0);
    out.push_back(0);
  }
}

std::vector<uint8_t> TDERNode::Encode() const {
  std::vector<uint8_t> out;
  out.reserve(EncodedLength());
  EncodeTo(out);
  return out;
}

void TDERNode::WriteToStream(std::ostream& stream) const {
  std::vector<uint8_t> bytes = Encode();
  stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string TDERNode::ToHex() const {
  std::vector<uint8_t> bytes = Encode();
  return BytesToHexText(bytes.data(), static_cast<std::ptrdiff_t>(bytes.size()));
}

void TDERNode::TakeUniversal(uint32_t tag) {
  if (class_ == dcUniversal && tag_ == 0) tag_ = tag;
}

void TDERNode::SetContent(const void* bytes, size_t len) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  if (p && len)
    content_.assign(p, p + len);
  else
    content_.clear();
}

void TDERNode::SetInteger(int32_t value) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<uint32_t>(value));
  std::string digits = hex;
  if (digits.size() % 2) digits = "0" + digits;
  SetIntegerHex(digits);
}

void TDERNode::SetIntegerHex(const std::string& hex) {
  TakeUniversal(der_tag::Integer);
  content_ = HexTextToBytes(hex);
}

void TDERNode::SetOctetStringHex(const std::string& hex) {
  TakeUniversal(der_tag::OctetString);
  content_ = HexTextToBytes(hex);
}

void TDERNode::SetBitStringHex(const std::string& hex) {
  TakeUniversal(der_tag::BitString);
  content_ = HexTextToBytes(hex);
  content_.insert(content_.begin(), 0);
}

void TDERNode::SetPrintableString(const std::string& text) {
  TakeUniversal(der_tag::PrintableString);
  content_.assign(text.begin(), text.end());
}

void TDERNode::SetOID(const std::string& text) {
  TakeUniversal(der_tag::Oid);
  content_ = HexTextToBytes(OidTextToHex(text));
}

void TDERNode::SetUTCTime(const std::string& text) {
  TakeUniversal(der_tag::UTCTime);
  content_.assign(text.begin(), text.end());
}

void TDERNode::SetBoolean(uint8_t value) {
  TakeUniversal(der_tag::Boolean);
  content_.assign(1, value);
}

void TDERNode::SetNull() {
  TakeUniversal(der_tag::Null);
  content_.clear();
}

std::string TDERNode::ContentHex() const {
  return BytesToHexText(content_.data(), static_cast<std::ptrdiff_t>(content_.size()));
}

std::string TDERNode::BitStringHex() const {
  if (content_.empty()) return "";
  return BytesToHexText(content_.data() + 1, static_cast<std::ptrdiff_t>(content_.size() - 1));
}

std::string TDERNode::ContentText() const { return std::string(content_.begin(), content_.end()); }

std::string TDERNode::OidText() const {
  return OidBytesToText(content_.data(), static_cast<std::ptrdiff_t>(content_.size()));
}

int64_t TDERNode::ContentInteger() const {
  if (content_.size() > 8) throw EASN1Error("Error: unexpected DER structure");
  uint64_t v = 0;
  for (uint8_t b : content_) v = (v << 8) | b;
  return static_cast<int64_t>(v);
}

}  // namespace qv
