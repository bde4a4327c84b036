// The subset of MessagePack that serialized trees use. The writer always
// picks the smallest form (floats are always float64, strings always in the
// str family); the reader is driven by the kind it expects next and never
// builds a generic value.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/error.h"

namespace zell {
namespace msgpack {

// A sized format: the format byte, the largest value it holds and the width
// in bytes of the big-endian value or length that follows it.
struct Form {
  uint8_t format;
  uint64_t max;
  int width;
};

class Writer {
 public:
  Writer() = default;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() { std::free(data_); }

  void nil() { byte(0xc0); }
  void boolean(bool v) { byte(v ? 0xc3 : 0xc2); }
  void uint(uint64_t v);
  void float64(double v);
  void string(const char* data, size_t size) {
    stringHeader(size);
    raw(std::string_view(data, size));
  }
  void string(std::string_view s) { string(s.data(), s.size()); }
  // The fix forms inline: they are the headers of nearly every record.
  void arrayHeader(uint32_t count) {
    if (count <= kFixArrayMax) return byte(static_cast<uint8_t>(0x90 + count));
    sizedArrayHeader(count);
  }
  void stringHeader(size_t size) {
    if (size <= kFixStringMax) return byte(static_cast<uint8_t>(0xa0 + size));
    sizedStringHeader(size);
  }
  static constexpr size_t kFixArrayMax = 15, kFixStringMax = 31;

  // Room for `most` more bytes, which the caller writes in place and then
  // counts with `wrote`: for values whose size is known only once written.
  char* space(size_t most) { return room(most); }
  void wrote(size_t n) { size_ += n; }

  // Bytes already encoded, appended as they are.
  void raw(std::string_view bytes) {
    if (bytes.empty()) return;
    std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
    size_ += bytes.size();
  }
  // The same for bytes of a size known when compiling, copied inline.
  template <size_t N>
  void raw(const std::array<char, N>& bytes) {
    std::memcpy(room(N), bytes.data(), N);
    size_ += N;
  }
  void truncate(size_t size) { size_ = size; }
  void reserve(size_t size) {
    if (size > capacity_) grow(size);
  }

  // What was written so far, valid until the next write.
  std::string_view bytes() const { return std::string_view(data_, size_); }
  std::string take() {
    std::string out(data_, size_);
    size_ = 0;
    return out;
  }

 private:
  // Room for `n` more bytes at the end: the one capacity check of a write.
  char* room(size_t n) {
    if (capacity_ - size_ < n) grow(size_ + n);
    return data_ + size_;
  }
  void grow(size_t needed);
  void sizedArrayHeader(uint32_t count);
  void sizedStringHeader(size_t size);
  void byte(uint8_t b) {
    *room(1) = static_cast<char>(b);
    ++size_;
  }
  void bigEndian(uint64_t v, int width) {
    char* out = room(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i) out[i] = static_cast<char>(v >> (8 * (width - 1 - i)));
    size_ += static_cast<size_t>(width);
  }
  // The fix form when `v` fits it, else the first sized form that holds it.
  template <size_t N>
  void sized(uint64_t v, uint64_t fixMax, uint8_t fixBase, const struct Form (&forms)[N]);

  // A plain buffer rather than a string: it grows without clearing what it
  // adds, and appending checks capacity once per write.
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Reads its input in place (the caller keeps it alive). Reading a format
// byte past the end yields 0x00 without an error; longer numbers and string
// bodies that run past the end fail.
class Reader {
 public:
  explicit Reader(std::string_view input) : in_(input) {}

  uint8_t peek() const { return pos_ < in_.size() ? static_cast<uint8_t>(in_[pos_]) : 0; }
  uint8_t byte() {
    uint8_t b = peek();
    if (pos_ < in_.size()) ++pos_;
    return b;
  }
  size_t remaining() const { return in_.size() - pos_; }

  // Consumes `bytes` when they come next, as they are.
  bool skipIf(std::string_view bytes) {
    if (remaining() < bytes.size() || std::memcmp(in_.data() + pos_, bytes.data(), bytes.size()) != 0)
      return false;
    pos_ += bytes.size();
    return true;
  }
  // The input not read yet, and a step over some of it.
  std::string_view rest() const { return in_.substr(pos_); }
  void skip(size_t n) { pos_ += n < remaining() ? n : remaining(); }

  // Consumes a nil when one comes next.
  bool nil() {
    if (peek() != 0xc0) return false;
    ++pos_;
    return true;
  }
  uint64_t uint();
  double float64();
  bool boolean();
  // A view into the input, valid while the reader lives; nil reads as the
  // empty string.
  std::string_view string();

  // A record's header: its count when it is an array header. Any other byte
  // is consumed without a count, which fails the record check later.
  bool recordHeader(uint32_t& count);
  // An array of fixed length: its count; "openarray" when no array comes.
  uint32_t fixedArrayHeader();
  // A list of float64: its count (nil reads as 0). A count that the
  // remaining input cannot hold is refused before anything is made.
  uint32_t float64ListHeader();

  // Fails, after the record's fields were read, when its header did not
  // announce exactly `fields` elements.
  static void recordCheck(bool hadCount, uint32_t count, uint32_t fields) {
    if (!hadCount || count != fields) refuseRecord(hadCount, count, fields);
  }

 private:
  [[noreturn]] static void refuseRecord(bool hadCount, uint32_t count, uint32_t fields);
  uint64_t bigEndian(int width) {
    if (remaining() < static_cast<size_t>(width)) raise(ErrorKind::IOError, "cannot read from stream");
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = (v << 8) | static_cast<uint8_t>(in_[pos_ + i]);
    pos_ += static_cast<size_t>(width);
    return v;
  }
  // The value or length after a sized format byte; false when `format` is
  // none of `forms`.
  template <size_t N>
  bool sized(uint8_t format, const struct Form (&forms)[N], uint64_t& v);
  bool arrayHeader(uint8_t format, uint32_t& count);

  std::string_view in_;
  size_t pos_ = 0;
};

}  // namespace msgpack
}  // namespace zell
