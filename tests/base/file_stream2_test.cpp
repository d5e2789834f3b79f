#include "base/file_stream2.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/res_string.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::string Bytes(TMemoryStream& m) { return m.Bytes(); }

TEST(StreamStringTest, WritesLengthAndBytes) {
  struct Case {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"abc", std::string("\x03\x00"
                          "abc",
                          5)},
      {"", std::string("\x00\x00", 2)},
      {std::string("ab\0cd", 5), std::string("\x02\x00"
                                             "ab",
                                             4)},
      {"\xC2\xB0"
       "C",
       std::string("\x02\x00\xB0"
                   "C",
                   4)},                           // UTF-8 in, Windows-1252 stored
      {"\xD0\x96", std::string("\x01\x00?", 3)},  // outside Windows-1252
  };
  for (const Case& c : cases) {
    TMemoryStream m;
    StreamWriteStr(c.text, m);
    EXPECT_EQ(Bytes(m), c.bytes) << c.text;
  }
}

TEST(StreamStringTest, ReadsBackAndStopsAfterTheText) {
  TMemoryStream m;
  StreamWriteStr("abc", m);
  StreamWriteStr("", m);
  StreamWriteStr("\xC3\xA4", m);
  m.WriteBuffer("Z", 1);
  m.SetPosition(0);
  std::string s = "junk";
  StreamReadStr(m, s);
  EXPECT_EQ(s, "abc");
  EXPECT_EQ(m.Position(), 5);
  StreamReadStr(m, s);
  EXPECT_EQ(s, "");
  StreamReadStr(m, s);
  EXPECT_EQ(s, "\xC3\xA4");
  char z;
  m.ReadBuffer(&z, 1);
  EXPECT_EQ(z, 'Z');
}

TEST(StreamStringTest, LongTextsAreCutTo65535) {
  std::string text(70000, 'x');
  text[65534] = 'y';
  TMemoryStream m;
  StreamWriteStr(text, m);
  EXPECT_EQ(m.Size(), 2 + 65535);
  EXPECT_EQ(m.Memory()[0], 0xFF);
  EXPECT_EQ(m.Memory()[1], 0xFF);
  m.SetPosition(0);
  std::string back;
  StreamReadStr(m, back);
  EXPECT_EQ(back, text.substr(0, 65535));

  TMemoryStream p;
  StreamWritePChar(text.c_str(), p);
  EXPECT_EQ(p.Size(), 2 + 65535);
}

TEST(StreamStringTest, PCharForms) {
  TMemoryStream m;
  StreamWritePChar(nullptr, m);
  StreamWritePChar("hi", m);
  EXPECT_EQ(Bytes(m), std::string("\x00\x00\x02\x00hi", 6));
  m.SetPosition(0);
  EXPECT_EQ(StreamReadPChar(m), nullptr);
  EXPECT_EQ(m.Position(), 2);
  auto p = StreamReadPChar(m);
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p.get(), "hi");
}

TEST(StreamStringTest, TruncatedInputRaisesReadError) {
  const std::string inputs[] = {std::string(""), std::string("\x05", 1),
                                std::string("\x05\x00"
                                            "abc",
                                            5)};
  for (const std::string& in : inputs) {
    TMemoryStream m;
    if (!in.empty()) m.WriteBuffer(in.data(), static_cast<int32_t>(in.size()));
    m.SetPosition(0);
    std::string s = "kept";
    EXPECT_THROW(StreamReadStr(m, s), EReadError) << in.size();
    EXPECT_EQ(s, "kept");
    m.SetPosition(0);
    EXPECT_THROW(StreamReadPChar(m), EReadError) << in.size();
  }
}

// Every failure names the file and the system's reason, after the table's text where the code
// has one; a cause without a text of its own is never "undocumented".
TEST(FileStream2Test, FailuresNameTheFileAndTheCause) {
  test::TempDir dir;
  std::filesystem::create_symlink(dir.File("loop-b"), dir.File("loop-a"));
  std::filesystem::create_symlink(dir.File("loop-a"), dir.File("loop-b"));
  dir.Write("held.bin", "held");
  TFileStream hold(dir.File("held.bin"), fmOpenRead | fmShareExclusive);
  const std::string head = "stm_StreamCreateError. ";
  struct Case {
    std::string name;
    uint16_t mode;
    std::string message;
  } cases[] = {
      {dir.File("none.bin"), 0,
       head + "stm_FOpenError" + dir.File("none.bin") + "\r\ndos_FileNotFound " + std::strerror(ENOENT)},
      {dir.File("no/none.bin"), 32,
       head + "stm_FOpenError" + dir.File("no/none.bin") + "\r\ndos_PathNotFound " + std::strerror(ENOENT)},
      {dir.File("no/none.bin"), 65535,
       head + "stm_FCreateError" + dir.File("no/none.bin") + "\r\ndos_PathNotFound " + std::strerror(ENOENT)},
      {dir.File("loop-a"), 0, head + "stm_FOpenError" + dir.File("loop-a") + "\r\n" + std::strerror(ELOOP)},
      {dir.File("held.bin"), 0, head + "stm_FOpenError" + dir.File("held.bin") + "\r\n" + SharingViolationText},
      {dir.File(std::string(300, 'n')), 65535,
       head + "stm_FCreateError" + dir.File(std::string(300, 'n')) + "\r\n" + std::strerror(ENAMETOOLONG)},
  };
  for (const Case& c : cases) {
    try {
      TFileStream2 f(c.name, c.mode);
      ADD_FAILURE() << c.name;
    } catch (const EStreamError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.ClassName(), c.mode == 65535 ? "EFCreateError" : "EFOpenError");
      EXPECT_FALSE(e.Reason().empty()) << c.name;
    }
  }
  TFileStream2 f(dir.File("ok.bin"), 65535);
  f.WriteBuffer("x", 1);
  // The atomic rewrite names its target and keeps the reason for those who word it anew.
  dir.Write("file", "in the way");
  for (const std::string& name : {dir.File("no/none.bin"), dir.File("file/none.bin")}) {
    try {
      TAtomicFileStream2 a(name);
      ADD_FAILURE() << name;
    } catch (const EFCreateError& e) {
      const std::string reason = std::strerror(name == dir.File("no/none.bin") ? ENOENT : ENOTDIR);
      EXPECT_EQ(e.Message(), head + "stm_FCreateError" + name + "\r\ndos_PathNotFound " + reason);
      EXPECT_EQ(e.Reason(), reason);
    }
  }
  EXPECT_EQ(DosErrorText(ERROR_DISK_FULL, "No space left on device"), "No space left on device");
  EXPECT_EQ(DosErrorText(ERROR_DISK_FULL, ""), "dos_UndocumentedError");
}

std::string Translate(const std::string& key) { return "[" + key + "]"; }

TEST(FileStream2Test, ErrorKeysAndTranslation) {
  struct Case {
    uint32_t code;
    const char* key;
  } cases[] = {{2, "dos_FileNotFound"},    {3, "dos_PathNotFound"},      {5, "dos_AccessDenied"},
               {6, "dos_HandleNotValid"},  {8, "dos_NotEnoughMemory"},   {10, "dos_EnvironmentNotValid"},
               {11, "dos_FormatNotValid"}, {1, "dos_UndocumentedError"}, {32, "dos_UndocumentedError"}};
  for (const Case& c : cases) EXPECT_EQ(DosErrorText(c.code), c.key);
  SetResStringLookup(&Translate);
  EXPECT_EQ(DosErrorText(2), "[dos_FileNotFound]");
  SetResStringLookup(nullptr);
  EXPECT_EQ(LoadResString("x_Key"), "x_Key");
}

// A memory stream that cannot grow.
class FullMemoryStream : public TMemoryStream2 {
protected:
  void SetCapacity(int64_t) override { throw EStreamError("Out of memory while expanding memory stream"); }
};

TEST(MemoryStream2Test, TranslatedFailuresKeepTheirClass) {
  TMemoryStream2 m;
  char buf[4];
  try {
    m.ReadBuffer(buf, 4);
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "stm_StreamReadError");
  }
  FullMemoryStream full;
  try {
    full.WriteBuffer("abcd", 4);
    ADD_FAILURE();
  } catch (const EStreamError& e) {
    EXPECT_EQ(e.ClassName(), "EStreamError");
    EXPECT_EQ(e.Message(), "stm_MemoryStreamError");
  }
  m.WriteBuffer("abcd", 4);
  m.SetPosition(0);
  m.ReadBuffer(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "abcd");
}

}  // namespace
}  // namespace qv
