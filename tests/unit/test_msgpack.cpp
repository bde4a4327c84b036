// The MessagePack subset byte for byte: the writer's format choices at
// every boundary, and what the reader accepts and refuses.
#include <gtest/gtest.h>

#include <string>

#include "persist/msgpack.h"
#include "raised.h"

using namespace zell;
using namespace zell::msgpack;

namespace {

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string unhex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size() + 1; i += 3)
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return out;
}

// A reader over bytes it keeps.
struct Owned {
  explicit Owned(std::string b) : bytes(std::move(b)), reader(bytes) {}
  std::string bytes;
  Reader reader;
};

template <class F>
std::string written(F&& write) {
  Writer w;
  write(w);
  return hex(w.bytes());
}

}  // namespace

TEST(MsgpackWriter, UnsignedIntegersTakeTheSmallestForm) {
  struct Case {
    uint64_t v;
    const char* bytes;
  } cases[] = {{0, "00"},
               {127, "7f"},
               {128, "cc 80"},
               {255, "cc ff"},
               {256, "cd 01 00"},
               {65535, "cd ff ff"},
               {65536, "ce 00 01 00 00"},
               {4294967295u, "ce ff ff ff ff"},
               {4294967296u, "cf 00 00 00 01 00 00 00 00"},
               {UINT64_MAX, "cf ff ff ff ff ff ff ff ff"}};
  for (const Case& c : cases) {
    EXPECT_EQ(written([&](Writer& w) { w.uint(c.v); }), c.bytes);
    Owned r_(unhex(c.bytes));
    Reader& r = r_.reader;
    EXPECT_EQ(r.uint(), c.v);
    EXPECT_EQ(r.remaining(), 0u);
  }
}

TEST(MsgpackWriter, FloatsAreAlwaysFloat64AndScalarsHaveOneByte) {
  EXPECT_EQ(written([](Writer& w) { w.float64(1.0); }), "cb 3f f0 00 00 00 00 00 00");
  EXPECT_EQ(written([](Writer& w) { w.float64(-0.0); }), "cb 80 00 00 00 00 00 00 00");
  EXPECT_EQ(written([](Writer& w) {
              w.nil();
              w.boolean(false);
              w.boolean(true);
            }),
            "c0 c2 c3");
}

TEST(MsgpackWriter, StringAndArrayHeaders) {
  struct Case {
    size_t n;
    const char* stringHeader;
    const char* arrayHeader;
  } cases[] = {{0, "a0", "90"},
               {15, "af", "9f"},
               {16, "b0", "dc 00 10"},
               {31, "bf", "dc 00 1f"},
               {32, "d9 20", "dc 00 20"},
               {255, "d9 ff", "dc 00 ff"},
               {256, "da 01 00", "dc 01 00"},
               {65535, "da ff ff", "dc ff ff"},
               {65536, "db 00 01 00 00", "dd 00 01 00 00"}};
  for (const Case& c : cases) {
    std::string body(c.n, 'x');
    std::string out = written([&](Writer& w) { w.string(body); });
    EXPECT_EQ(out.substr(0, out.size() - 3 * c.n), c.stringHeader);
    EXPECT_EQ(written([&](Writer& w) { w.arrayHeader(static_cast<uint32_t>(c.n)); }), c.arrayHeader);
    Writer w;
    w.string(body);
    Owned back_(w.bytes());
    Reader& back = back_.reader;
    EXPECT_EQ(back.string(), body);
  }
  // Bytes that are not text still go into the str family.
  EXPECT_EQ(written([](Writer& w) { w.string(std::string("\x80\xff", 2)); }), "a2 80 ff");
}

TEST(MsgpackReader, RefusesFormatsOfOtherKinds) {
  struct Case {
    const char* input;
    int which;  // 0 uint, 1 float64, 2 bool, 3 string, 4 fixed array, 5 list
    const char* message;
  } cases[] = {
      {"d0 01", 0, "uint64"},
      {"ff", 0, "uint64"},
      {"cb 00 00 00 00 00 00 00 00", 0, "uint64"},
      {"01", 1, "float64"},
      {"ca 3f 80 00 00", 1, "float64"},
      {"00", 2, "bool"},
      {"c4 03 61 62 63", 3, "string"},
      {"90", 3, "string"},
      {"80", 4, "openarray"},
      {"c0", 4, "openarray"},
      {"a1 61", 5, "sequence"},
  };
  for (const Case& c : cases) {
    Owned r_(unhex(c.input));
    Reader& r = r_.reader;
    Error e = raised([&] {
      switch (c.which) {
        case 0:
          r.uint();
          break;
        case 1:
          r.float64();
          break;
        case 2:
          r.boolean();
          break;
        case 3:
          r.string();
          break;
        case 4:
          r.fixedArrayHeader();
          break;
        case 5:
          r.float64ListHeader();
          break;
      }
    });
    EXPECT_EQ(e.kind(), ErrorKind::ObjectConversionDefect) << c.input;
    EXPECT_EQ(e.message(), c.message) << c.input;
  }
}

TEST(MsgpackReader, EndOfInput) {
  Owned empty_("");
  Reader& empty = empty_.reader;
  EXPECT_EQ(empty.peek(), 0);
  EXPECT_EQ(empty.uint(), 0u);  // a format byte past the end reads as 0x00
  struct Case {
    const char* input;
    bool isString;
    const char* message;
  } cases[] = {{"cd 01", false, "cannot read from stream"},
               {"cf 00 00 00", false, "cannot read from stream"},
               {"a3 61 62", true, "string len mismatch"},
               {"db ff ff ff ff 61", true, "string len mismatch"},
               {"da 00", true, "cannot read from stream"}};
  for (const Case& c : cases) {
    Owned r_(unhex(c.input));
    Reader& r = r_.reader;
    Error e = raised([&] { c.isString ? (void)r.string() : (void)r.uint(); });
    EXPECT_EQ(e.kind(), ErrorKind::IOError) << c.input;
    EXPECT_EQ(e.message(), c.message) << c.input;
  }
  // A list that the remaining input cannot hold is refused before any of
  // it is made.
  Owned list_(unhex("dd ff ff ff ff cb 00 00 00 00 00 00 00 00"));
  Reader& list = list_.reader;
  EXPECT_EQ(raised([&] { list.float64ListHeader(); }).message(), "cannot read from stream");
}

TEST(MsgpackReader, RecordHeadersAndTheRecordCheck) {
  uint32_t count = 0;
  Owned nilString_(unhex("c0"));
  Reader& nilString = nilString_.reader;
  EXPECT_EQ(nilString.string(), "");
  Owned nilList_(unhex("c0"));
  Reader& nilList = nilList_.reader;
  EXPECT_EQ(nilList.float64ListHeader(), 0u);

  Owned map_(unhex("86 01"));
  Reader& map = map_.reader;  // a map where a record belongs: consumed, no count
  EXPECT_FALSE(map.recordHeader(count));
  EXPECT_EQ(map.uint(), 1u);
  Error e = raised([] { Reader::recordCheck(false, 0, 6); });
  EXPECT_EQ(e.kind(), ErrorKind::AssertionDefect);
  EXPECT_EQ(e.message().substr(e.message().size() - 25), "object/tuple len mismatch");
  EXPECT_EQ(raised([] { Reader::recordCheck(true, 7, 6); }).kind(), ErrorKind::AssertionDefect);
  Reader::recordCheck(true, 2, 2);

  Owned big_(unhex("dc 00 10"));
  Reader& big = big_.reader;
  ASSERT_TRUE(big.recordHeader(count));
  EXPECT_EQ(count, 16u);
  Owned bigger_(unhex("dd 00 01 00 00"));
  Reader& bigger = bigger_.reader;
  EXPECT_EQ(bigger.fixedArrayHeader(), 65536u);
}
