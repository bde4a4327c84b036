// Payloads travel as pickles: pickle.dumps on writing, pickle.loads on
// reading. The pickle of None is made once per call and recognised on
// reading without calling into Python.
#pragma once

#include <string>

#include "persist/tree_io.h"
#include "python/abi/pyref.h"
#include "python/calls/convert.h"
#include "python/objects/classes.h"

namespace zell {
namespace py {

class PickleCodec : public PayloadCodec {
 public:
  PickleCodec();
  void dump(void* object, msgpack::Writer& out) override;
  void* load(std::string_view bytes) override;
  bool inert(std::string_view bytes) const override;

 private:
  PyRef dumps_, loads_;
  std::string none_;  // pickle.dumps(None)
};

// The whole tree, payloads pickled, as one MessagePack value; an object
// that holds no tree writes nil.
template <int D>
PyRef saveTree(TreeObject<D>& self) {
  Ref<Tree<D>> tree = self.tree;
  PickleCodec codec;
  TreeWriter<D> writer(codec);
  return PyRef::steal(textOrBytes(writer.writeInPlace(tree.get())));
}

// Loads into this same object, all or nothing.
template <int D>
void loadTree(TreeObject<D>& self, ByteView serialized) {
  PickleCodec codec;
  TreeReader<D>(serialized.bytes, codec).load(self.tree);
}

}  // namespace py
}  // namespace zell
