#include "persist/scalar_pickles.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace zell {
namespace pickles {

namespace {

// Opcodes of the pickle format.
constexpr uint8_t kProto = 0x80, kFrame = 0x95, kStop = '.';
constexpr uint8_t kNone = 'N', kTrue = 0x88, kFalse = 0x89;
constexpr uint8_t kInt1 = 'K', kInt2 = 'M', kInt4 = 'J', kFloat = 'G';
constexpr int kFirstFramed = 4, kLowest = 2, kHighest = 5;
constexpr size_t kFrameHeader = 9, kMinFramed = 4;
constexpr uint8_t kShortText = 0x8c, kText = 'X', kText8 = 0x8d;
constexpr uint8_t kShortBytes = 'C', kBytes = 'B', kBytes8 = 0x8e;
constexpr int kFirstBlob = 3;
// Strings of this many bytes or more go outside any frame.
constexpr size_t kUnframed = size_t{64} << 10;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndianHost = false;
#else
constexpr bool kLittleEndianHost = true;
#endif

// The common widths, 4 and 8, are one load where the host's order is the
// pickle's own.
inline uint64_t littleEndian(const uint8_t* p, int width) {
  uint32_t v4;
  uint64_t v = 0;
  if (kLittleEndianHost && width == 8) {
    std::memcpy(&v, p, 8);
    return v;
  }
  if (kLittleEndianHost && width == 4) {
    std::memcpy(&v4, p, 4);
    return v4;
  }
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
// A float's argument is its eight bytes, most significant first.
inline uint64_t bigEndian8(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return kLittleEndianHost ? __builtin_bswap64(v) : v;
}
inline void putLittleEndian(uint64_t v, int width, uint8_t* out) {
  uint32_t v4 = static_cast<uint32_t>(v);
  if (kLittleEndianHost && width == 8)
    std::memcpy(out, &v, 8);
  else if (kLittleEndianHost && width == 4)
    std::memcpy(out, &v4, 4);
  else
    for (int i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putBigEndian8(uint64_t v, uint8_t* out) {
  if (kLittleEndianHost) v = __builtin_bswap64(v);
  std::memcpy(out, &v, 8);
}

// Opcode, argument and stop byte of `value`; returns their size.
size_t body(const Scalar& value, uint8_t* out) {
  size_t n = 0;
  switch (value.kind) {
    case Scalar::None:
      out[n++] = kNone;
      break;
    case Scalar::Bool:
      out[n++] = value.integer ? kTrue : kFalse;
      break;
    case Scalar::Int: {
      // The pickler takes the smallest form: one unsigned byte, two, or
      // four in two's complement.
      uint64_t bits = static_cast<uint32_t>(static_cast<int32_t>(value.integer));
      int width = bits > 0xffff ? 4 : bits > 0xff ? 2 : 1;
      out[n++] = width == 4 ? kInt4 : width == 2 ? kInt2 : kInt1;
      putLittleEndian(bits, width, out + n);
      n += static_cast<size_t>(width);
      break;
    }
    case Scalar::Float: {
      uint64_t bits;
      std::memcpy(&bits, &value.real, sizeof bits);
      out[n++] = kFloat;
      putBigEndian8(bits, out + n);
      n += 8;
      break;
    }
  }
  out[n++] = kStop;
  return n;
}

// The size of the argument of a scalar's opcode; -1 for any other opcode.
int argumentOf(uint8_t opcode) {
  switch (opcode) {
    case kNone:
    case kTrue:
    case kFalse:
      return 0;
    case kInt1:
      return 1;
    case kInt2:
      return 2;
    case kInt4:
      return 4;
    case kFloat:
      return 8;
    default:
      return -1;
  }
}

// The scalar that `body` (opcode, argument, stop byte) holds, its opcode
// being a scalar's.
bool readBody(const uint8_t* p, size_t size, Scalar& value) {
  int width = argumentOf(p[0]);
  if (size != static_cast<size_t>(width) + 2 || p[size - 1] != kStop) return false;
  const uint8_t* arg = p + 1;
  switch (p[0]) {
    case kNone:
      value.kind = Scalar::None;
      break;
    case kTrue:
    case kFalse:
      value.kind = Scalar::Bool;
      value.integer = p[0] == kTrue;
      break;
    case kFloat: {
      uint64_t bits = bigEndian8(arg);
      value.kind = Scalar::Float;
      std::memcpy(&value.real, &bits, sizeof bits);
      break;
    }
    default: {
      uint64_t bits = littleEndian(arg, width);
      value.kind = Scalar::Int;
      value.integer =
          width == 4 ? static_cast<int64_t>(static_cast<int32_t>(bits)) : static_cast<int64_t>(bits);
    }
  }
  return true;
}

// The opcode and the width of the length field that the pickler takes for
// a string of `size` bytes; a width of 0 when it takes none of these.
struct BlobForm {
  uint8_t opcode;
  int width;
};
BlobForm blobForm(int protocol, Blob kind, size_t size) {
  bool wide = protocol >= kFirstFramed;  // the 8-byte lengths
  if (kind == Blob::Text) {
    if (wide && size <= 0xff) return {kShortText, 1};
    if (size <= 0xffffffff) return {kText, 4};
    return wide ? BlobForm{kText8, 8} : BlobForm{0, 0};
  }
  if (size <= 0xff) return {kShortBytes, 1};
  if (size <= 0xffffffff) return {kBytes, 4};
  return wide ? BlobForm{kBytes8, 8} : BlobForm{0, 0};
}

// The memo opcode of the first object of a pickle, with its argument:
// MEMOIZE, or BINPUT 0.
std::string_view firstMemo(int protocol) {
  return protocol >= kFirstFramed ? std::string_view("\x94", 1) : std::string_view("q\x00", 2);
}

bool framed(int protocol, size_t size) { return protocol >= kFirstFramed && size < kUnframed; }

// The protocol header, the frame header when there is one, the opcode and
// the length: the pickle up to the string's bytes. Returns its size.
size_t blobHead(int protocol, Blob kind, size_t size, uint8_t* head) {
  BlobForm form = blobForm(protocol, kind, size);
  size_t body = 1 + static_cast<size_t>(form.width) + size + firstMemo(protocol).size() + 1;
  size_t n = 0;
  head[n++] = kProto;
  head[n++] = static_cast<uint8_t>(protocol);
  if (framed(protocol, size)) {
    head[n++] = kFrame;
    putLittleEndian(body, 8, head + n);
    n += 8;
  }
  head[n++] = form.opcode;
  putLittleEndian(size, form.width, head + n);
  return n + static_cast<size_t>(form.width);
}

}  // namespace

bool blobWritten(int protocol, Blob kind, size_t size) {
  return protocol >= kFirstBlob && protocol <= kHighest && blobForm(protocol, kind, size).width > 0;
}

size_t blobSize(int protocol, Blob kind, size_t size) {
  size_t head = 2 + (framed(protocol, size) ? kFrameHeader : 0) + 1;
  return head + static_cast<size_t>(blobForm(protocol, kind, size).width) + size +
         firstMemo(protocol).size() + 1;
}

void writeBlob(int protocol, Blob kind, std::string_view data, char* out) {
  uint8_t* p = reinterpret_cast<uint8_t*>(out);
  p += blobHead(protocol, kind, data.size(), p);
  std::memcpy(p, data.data(), data.size());
  p += data.size();
  std::string_view memo = firstMemo(protocol);
  std::memcpy(p, memo.data(), memo.size());
  p[memo.size()] = kStop;
}

bool readBlob(std::string_view bytes, int highest, Blob& kind, std::string_view& data) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t size = bytes.size(), at = 2;
  if (size < 6 || p[0] != kProto || p[1] < kFirstBlob || p[1] > kHighest || p[1] > highest) return false;
  int protocol = p[1];
  bool frame = p[2] == kFrame;
  if (frame) {
    if (size < at + kFrameHeader || littleEndian(p + 3, 8) != size - at - kFrameHeader) return false;
    at += kFrameHeader;
  }
  if (at >= size) return false;
  static const struct {
    uint8_t opcode;
    Blob kind;
    int width;
  } kOpcodes[] = {{kShortText, Blob::Text, 1},   {kText, Blob::Text, 4},   {kText8, Blob::Text, 8},
                  {kShortBytes, Blob::Bytes, 1}, {kBytes, Blob::Bytes, 4}, {kBytes8, Blob::Bytes, 8}};
  const auto* found = std::find_if(std::begin(kOpcodes), std::end(kOpcodes),
                                   [&](const auto& o) { return o.opcode == p[at]; });
  if (found == std::end(kOpcodes)) return false;
  std::string_view memo = firstMemo(protocol);
  size_t rest = size - at - 1;  // after the opcode
  int width = found->width;
  if (rest < static_cast<size_t>(width) + memo.size() + 1) return false;
  uint64_t length = littleEndian(p + at + 1, width);
  if (length != rest - static_cast<size_t>(width) - memo.size() - 1) return false;
  // Only the very form the pickler writes for this string.
  BlobForm form = blobForm(protocol, found->kind, length);
  if (form.opcode != found->opcode || frame != framed(protocol, length)) return false;
  std::string_view tail = bytes.substr(size - memo.size() - 1);
  if (tail.substr(0, memo.size()) != memo || p[size - 1] != kStop) return false;
  kind = found->kind;
  data = bytes.substr(at + 1 + static_cast<size_t>(width), length);
  return true;
}

// The pickles of None of every protocol so far (protocol 4 as written
// with and without a frame): all of them load as None.
bool isNone(std::string_view bytes) {
  // Each ends in the opcode of None and the stop: anything else is settled
  // by one byte.
  if (bytes.size() < 2 || bytes[bytes.size() - 2] != 'N') return false;
  static const std::string_view kForms[] = {
      std::string_view("N.", 2),
      std::string_view("\x80\x02N.", 4),
      std::string_view("\x80\x03N.", 4),
      std::string_view("\x80\x04N.", 4),
      std::string_view("\x80\x05N.", 4),
      std::string_view("\x80\x04\x95\x02\x00\x00\x00\x00\x00\x00\x00N.", 13),
  };
  for (std::string_view form : kForms)
    if (bytes == form) return true;
  return false;
}

int protocolOf(std::string_view pickledNone) {
  if (pickledNone.size() != 4) return 0;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(pickledNone.data());
  bool fits = p[0] == kProto && p[1] >= kLowest && p[1] <= kHighest && p[2] == kNone && p[3] == kStop;
  return fits ? p[1] : 0;
}

size_t write(int protocol, const Scalar& value, char* out) {
  uint8_t* p = reinterpret_cast<uint8_t*>(out);
  p[0] = kProto;
  p[1] = static_cast<uint8_t>(protocol);
  uint8_t* rest = p + 2;
  uint8_t framed[kMaxPickle];
  size_t size = body(value, framed);
  if (protocol >= kFirstFramed && size >= kMinFramed) {
    *rest++ = kFrame;
    putLittleEndian(size, 8, rest);
    rest += 8;
  }
  std::memcpy(rest, framed, size);
  return static_cast<size_t>(rest - p) + size;
}

bool read(std::string_view bytes, int highest, Scalar& value) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t size = bytes.size();
  if (size < 4 || p[0] != kProto || p[1] < kLowest || p[1] > kHighest || p[1] > highest) return false;
  size_t start = 2;
  bool frame = p[2] == kFrame;
  if (frame) {
    if (p[1] < kFirstFramed || size < start + kFrameHeader + 2) return false;
    start += kFrameHeader;
  }
  // The opcode first: it turns away the pickles of everything else, most
  // of them framed, before their frame's length is read.
  if (argumentOf(p[start]) < 0) return false;
  if (frame && littleEndian(p + 3, 8) != size - start) return false;
  return readBody(p + start, size - start, value);
}

}  // namespace pickles
}  // namespace zell
