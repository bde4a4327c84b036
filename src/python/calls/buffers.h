// Numbers read through the interpreter's buffer interface: numpy arrays,
// memoryviews, ctypes arrays and anything else that lends its memory, of
// any strides and either byte order. The module never imports what made
// the object.
#pragma once

#include <cstddef>
#include <memory>

#include "python/abi/capi.h"

namespace zell {
namespace py {

// A two-dimensional buffer of numbers (float64, float32, integers,
// booleans), lent by its exporter until this is destroyed. Its address
// never changes: the interpreter's description of a buffer may point into
// itself.
class NumberRows {
 public:
  // The buffer `o` lends, as rows of `columns` numbers; null when it lends
  // none. ValueError (a conversion error) for a buffer of another shape or
  // of other items.
  static std::unique_ptr<NumberRows> borrow(Object* o, int columns);
  NumberRows(const NumberRows&) = delete;
  NumberRows& operator=(const NumberRows&) = delete;
  ~NumberRows();

  size_t rows() const { return static_cast<size_t>(rows_); }
  // Rows first .. first + count - 1, their numbers one after another.
  void read(size_t first, size_t count, double* out) const;

  // Reads `rows` rows of `columns` items, `step` bytes apart along each of
  // the two axes, as doubles.
  using ReadRows = void (*)(const unsigned char* at, Ssize rows, Ssize columns, const Ssize* step,
                            double* out);

 private:
  NumberRows() = default;
  alignas(8) unsigned char view_[layout::kBufferRoom] = {};
  bool lent_ = false;
  const unsigned char* start_ = nullptr;
  Ssize rows_ = 0, columns_ = 0;
  Ssize step_[2] = {0, 0};
  ReadRows read_ = nullptr;
};

}  // namespace py
}  // namespace zell
