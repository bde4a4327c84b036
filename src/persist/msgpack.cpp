#include "persist/msgpack.h"

#include <new>

namespace zell {
namespace msgpack {

namespace {

// Positive fixint 0x00-0x7f, then:
constexpr Form kUint[] = {{0xcc, 0xff, 1}, {0xcd, 0xffff, 2}, {0xce, 0xffffffff, 4}, {0xcf, UINT64_MAX, 8}};
// fixstr 0xa0-0xbf, then:
constexpr Form kString[] = {{0xd9, 0xff, 1}, {0xda, 0xffff, 2}, {0xdb, 0xffffffff, 4}};
// fixarray 0x90-0x9f, then:
constexpr Form kArray[] = {{0xdc, 0xffff, 2}, {0xdd, 0xffffffff, 4}};

}  // namespace

template <size_t N>
void Writer::sized(uint64_t v, uint64_t fixMax, uint8_t fixBase, const Form (&forms)[N]) {
  if (v <= fixMax) return byte(static_cast<uint8_t>(fixBase + v));
  for (const Form& form : forms)
    if (v <= form.max) {
      byte(form.format);
      return bigEndian(v, form.width);
    }
}

void Writer::grow(size_t needed) {
  size_t capacity = capacity_ < 64 ? 64 : capacity_;
  while (capacity < needed) capacity *= 2;
  void* data = std::realloc(data_, capacity);
  if (!data) throw std::bad_alloc();
  data_ = static_cast<char*>(data);
  capacity_ = capacity;
}

void Writer::uint(uint64_t v) { sized(v, 0x7f, 0x00, kUint); }
void Writer::sizedArrayHeader(uint32_t count) { sized(count, kFixArrayMax, 0x90, kArray); }
void Writer::sizedStringHeader(size_t size) { sized(size, kFixStringMax, 0xa0, kString); }

void Writer::float64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  byte(0xcb);
  bigEndian(bits, 8);
}

template <size_t N>
bool Reader::sized(uint8_t format, const Form (&forms)[N], uint64_t& v) {
  for (const Form& form : forms)
    if (format == form.format) {
      v = bigEndian(form.width);
      return true;
    }
  return false;
}

uint64_t Reader::uint() {
  uint8_t format = byte();
  uint64_t v = format;
  if (format <= 0x7f || sized(format, kUint, v)) return v;
  raise(ErrorKind::ObjectConversionDefect, "uint64");
}

double Reader::float64() {
  if (byte() != 0xcb) raise(ErrorKind::ObjectConversionDefect, "float64");
  uint64_t bits = bigEndian(8);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

bool Reader::boolean() {
  uint8_t b = byte();
  if (b != 0xc2 && b != 0xc3) raise(ErrorKind::ObjectConversionDefect, "bool");
  return b == 0xc3;
}

std::string_view Reader::string() {
  uint8_t format = byte();
  uint64_t size = format & 0x1f;
  if (format == 0xc0) return std::string_view();
  if ((format & 0xe0) != 0xa0 && !sized(format, kString, size))
    raise(ErrorKind::ObjectConversionDefect, "string");
  if (size > remaining()) raise(ErrorKind::IOError, "string len mismatch");
  std::string_view body(in_.data() + pos_, size);
  pos_ += size;
  return body;
}

bool Reader::arrayHeader(uint8_t format, uint32_t& count) {
  uint64_t v = format & 0x0f;
  if ((format & 0xf0) != 0x90 && !sized(format, kArray, v)) return false;
  count = static_cast<uint32_t>(v);
  return true;
}

bool Reader::recordHeader(uint32_t& count) { return arrayHeader(byte(), count); }

uint32_t Reader::fixedArrayHeader() {
  uint32_t count;
  if (!arrayHeader(byte(), count)) raise(ErrorKind::ObjectConversionDefect, "openarray");
  return count;
}

uint32_t Reader::float64ListHeader() {
  if (nil()) return 0;
  uint32_t count;
  if (!arrayHeader(byte(), count)) raise(ErrorKind::ObjectConversionDefect, "sequence");
  if (static_cast<uint64_t>(count) * 9 > remaining()) raise(ErrorKind::IOError, "cannot read from stream");
  return count;
}

void Reader::refuseRecord(bool hadCount, uint32_t count, uint32_t fields) {
  std::string announced = hadCount ? std::to_string(count) : std::string("no");
  raise(ErrorKind::AssertionDefect, "record of " + std::to_string(fields) + " fields announced with " +
                                        announced + " elements: object/tuple len mismatch");
}

}  // namespace msgpack
}  // namespace zell
