#include "python/calls/buffers.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "python/calls/convert.h"

namespace zell {
namespace py {

namespace {

using ReadRows = NumberRows::ReadRows;

template <class T, bool kSwapped>
void readRows(const unsigned char* at, Ssize rows, Ssize columns, const Ssize* step, double* out) {
  for (Ssize r = 0; r < rows; ++r) {
    for (Ssize c = 0; c < columns; ++c) {
      unsigned char bytes[sizeof(T)];
      std::memcpy(bytes, at + r * step[0] + c * step[1], sizeof bytes);
      if (kSwapped) std::reverse(bytes, bytes + sizeof bytes);
      T value;
      std::memcpy(&value, bytes, sizeof value);
      *out++ = static_cast<double>(value);
    }
  }
}

// Booleans read as a Python bool converts: 1.0 for anything but zero.
struct Boolean {
  unsigned char byte;
  explicit operator double() const { return byte ? 1.0 : 0.0; }
};

// The item types read, by format code and size; integers of the sizes the
// format's byte-order prefix gives them.
struct ItemType {
  const char* codes;
  Ssize size;
  ReadRows read[2];  // in the machine's byte order, swapped
};
template <class T>
constexpr ItemType itemType(const char* codes) {
  return ItemType{codes, sizeof(T), {&readRows<T, false>, &readRows<T, true>}};
}
const ItemType kItemTypes[] = {
    itemType<double>("d"),        itemType<float>("f"),         itemType<Boolean>("?"),
    itemType<int8_t>("bhilqn"),   itemType<int16_t>("bhilqn"),  itemType<int32_t>("bhilqn"),
    itemType<int64_t>("bhilqn"),  itemType<uint8_t>("BHILQN"),  itemType<uint16_t>("BHILQN"),
    itemType<uint32_t>("BHILQN"), itemType<uint64_t>("BHILQN"),
};

// The reader of a format ("d", "<f", "=q", ...; none means unsigned bytes)
// with items of `size` bytes (0: any, for a buffer without items, whose
// item size some exporters leave at 0), or null.
ReadRows readerOf(const char* format, Ssize size) {
  if (!format) format = "B";
  bool swapped = false;
  constexpr bool little = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
  if (*format == '@' || *format == '=') {
    ++format;
  } else if (*format == '<' || *format == '>' || *format == '!') {
    swapped = (*format == '<') != little;
    ++format;
  }
  if (!format[0] || format[1]) return nullptr;
  for (const ItemType& type : kItemTypes)
    if ((type.size == size || size == 0) && std::strchr(type.codes, format[0])) return type.read[swapped];
  return nullptr;
}

std::string shapeText(int ndim, const Ssize* shape) {
  std::string text = "(";
  for (int i = 0; i < ndim; ++i) text += (i ? ", " : "") + std::to_string(shape ? shape[i] : -1);
  return text + (ndim == 1 ? ",)" : ")");
}

}  // namespace

std::unique_ptr<NumberRows> NumberRows::borrow(Object* o, int columns) {
  if (!pyLib.PyObject_GetBuffer || !pyLib.PyBuffer_Release) return nullptr;
  std::unique_ptr<NumberRows> lent(new NumberRows());
  unsigned char* view = lent->view_;
  if (pyLib.PyObject_GetBuffer(o, view, layout::kBufferStridedWithFormat) != 0) {
    // No buffer; an error that is no Exception (Ctrl-C in the exporter's
    // own code) passes.
    passUnlessAnException();
    pyLib.PyErr_Clear();
    return nullptr;
  }
  lent->lent_ = true;
  auto field = [view](size_t offset, auto value) {
    std::memcpy(&value, view + offset, sizeof value);
    return value;
  };
  auto refuse = [columns](const std::string& why) {
    raiseConversionError("array of shape (N, " + std::to_string(columns) + ")" + why);
  };
  int ndim = field(layout::kBufferNdim, 0);
  auto shape = field(layout::kBufferShape, static_cast<const Ssize*>(nullptr));
  if (ndim != 2 || !shape || shape[1] != columns) refuse(": it has shape " + shapeText(ndim, shape));
  auto format = field(layout::kBufferFormat, static_cast<const char*>(nullptr));
  Ssize itemSize = field(layout::kBufferItemSize, Ssize{0});
  lent->read_ = readerOf(format, shape[0] == 0 ? 0 : itemSize);
  if (!lent->read_ || field(layout::kBufferSuboffsets, static_cast<const Ssize*>(nullptr)))
    refuse(std::string(" of numbers: its items have format '") + (format ? format : "B") + "'");
  // Without strides the rows lie one after another.
  auto strides = field(layout::kBufferStrides, static_cast<const Ssize*>(nullptr));
  lent->step_[0] = strides ? strides[0] : columns * itemSize;
  lent->step_[1] = strides ? strides[1] : itemSize;
  lent->start_ = field(layout::kBufferBuf, static_cast<const unsigned char*>(nullptr));
  lent->rows_ = shape[0];
  lent->columns_ = columns;
  return lent;
}

NumberRows::~NumberRows() {
  if (lent_) pyLib.PyBuffer_Release(view_);
}

void NumberRows::read(size_t first, size_t count, double* out) const {
  read_(start_ + static_cast<Ssize>(first) * step_[0], static_cast<Ssize>(count), columns_, step_, out);
}

}  // namespace py
}  // namespace zell
