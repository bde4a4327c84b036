// Payloads travel as pickles: pickle.dumps on writing, pickle.loads on
// reading. The pickle of None is made once per call and recognised on
// reading without calling into Python.
#pragma once

#include <string>

#include "persist/tree_io.h"
#include "pymod/pyref.h"

namespace zell {
namespace py {

class PickleCodec : public PayloadCodec {
 public:
  PickleCodec();
  void dump(void* object, msgpack::Writer& out) override;
  void* load(std::string_view bytes) override;

 private:
  PyRef dumps_, loads_;
  std::string none_;  // pickle.dumps(None)
};

}  // namespace py
}  // namespace zell
