// The pickles of the simplest payloads, made and read without the
// interpreter: None, booleans, integers in the signed 32-bit range and
// floats, under the binary protocols 2 to 5. The bytes are exactly those of
// the interpreter's own pickler: the protocol header; under protocol 4 and
// later a frame header in front of the rest when the rest takes at least 4
// bytes; one opcode with its argument; the stop byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zell {
namespace pickles {

struct Scalar {
  enum Kind : uint8_t { None, Bool, Int, Float };
  Kind kind = None;
  int64_t integer = 0;  // Bool and Int
  double real = 0;      // Float
};

// The longest pickle written here: header, frame header, float, stop.
constexpr size_t kMaxPickle = 2 + 9 + 9 + 1;

// Whether `bytes` are a pickle of None as some protocol so far writes it;
// all of them load as None, whatever protocol the interpreter reads.
bool isNone(std::string_view bytes);

// The protocol of `pickledNone` when it is the binary pickle of None of a
// protocol from 2 to 5 (the ones whose bytes are known here), else 0.
int protocolOf(std::string_view pickledNone);

// Writes the pickle of `value` under `protocol` (2 to 5) into `out`, which
// has room for kMaxPickle bytes, and returns its size. Int values must lie
// in the signed 32-bit range.
size_t write(int protocol, const Scalar& value, char* out);

// True, with the value, when `bytes` is one whole pickle of a scalar in the
// forms written above, of a protocol from 2 to `highest` (a frame accepted
// whenever its length is exact). Anything else, however valid, is left to
// the interpreter, and so is refused as it refuses it.
bool read(std::string_view bytes, int highest, Scalar& value);

// Text (its UTF-8 bytes) and byte strings, under the protocols 3 to 5
// that the interpreter's pickler writes by default: the protocol header; an
// opcode with the length; the bytes; the memo opcode of the first object
// (BINPUT 0 before protocol 4, MEMOIZE from it); the stop byte. From
// protocol 4 on, a frame header comes first unless the bytes take 64 KiB or
// more, which the pickler writes outside any frame.
enum class Blob : uint8_t { Text, Bytes };

// Whether the pickler writes a string of `size` bytes of `kind` in the form
// above under `protocol`.
bool blobWritten(int protocol, Blob kind, size_t size);

// The size of that pickle, and the pickle itself written into `out`, which
// has room for it; only where blobWritten says so.
size_t blobSize(int protocol, Blob kind, size_t size);
void writeBlob(int protocol, Blob kind, std::string_view data, char* out);

// True, with the kind and a view of the bytes inside `bytes`, when `bytes`
// is one whole pickle of a string in exactly the form written above, of a
// protocol from 3 to `highest`.
bool readBlob(std::string_view bytes, int highest, Blob& kind, std::string_view& data);

}  // namespace pickles
}  // namespace zell
