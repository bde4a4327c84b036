// Payloads travel as pickles: pickle.dumps on writing, pickle.loads on
// reading. The pickle of None is made once per call and recognised on
// reading without calling into Python. While pickle's functions are the
// interpreter's own, booleans, exact ints of 32 bits, exact floats, and
// under the protocols from 3 on exact str and bytes are pickled and
// unpickled here, to the very bytes and objects those functions give.
#pragma once

#include <string>

#include "persist/scalar_pickles.h"
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
  std::string noneString_;  // pickle.dumps(None) as a MessagePack string
  // The protocol of the pickle of None when scalars are pickled here, else 0.
  int scalarProtocol_ = 0;
  bool scalarsDumped_;
  // The highest protocol the interpreter's unpickler reads when scalars
  // are unpickled here, else 0.
  int scalarsLoaded_;
};

// Marks a tree as being saved by the calling thread for as long as it
// lives. Saves of one tree nested deeper than a payload's hook would go
// are a payload that holds the tree itself, whose save would recurse
// without end: the innermost is refused, and each outer save failing with
// an error that came from that refusal reports it as one short ValueError
// instead of the chain of errors it came through. Other threads may save
// the same tree meanwhile.
class SavingOnThisThread {
 public:
  explicit SavingOnThisThread(const void* tree);
  SavingOnThisThread(const SavingOnThisThread&) = delete;
  SavingOnThisThread& operator=(const SavingOnThisThread&) = delete;
  ~SavingOnThisThread();

  // Called as the save fails with `error`: raises the refusal itself when
  // the error came from it.
  static void reportRefusalInside(const Error& error);

 private:
  const void* tree_;
};

// The whole tree, payloads pickled, as one MessagePack value; an object
// that holds no tree writes nil.
template <int D>
PyRef saveTree(TreeObject<D>& self) {
  Ref<Tree<D>> tree = self.tree;
  SavingOnThisThread saving(tree.get());
  try {
    PickleCodec codec;
    TreeWriter<D> writer(codec);
    return PyRef::steal(textOrBytes(writer.writeInPlace(tree.get())));
  } catch (const Error& error) {
    SavingOnThisThread::reportRefusalInside(error);
    throw;
  }
}

// Loads into this same object, all or nothing.
template <int D>
void loadTree(TreeObject<D>& self, ByteView serialized) {
  PickleCodec codec;
  TreeReader<D>(serialized.bytes, codec).load(self.tree);
  ownTree(self);  // an object that held no tree may have been given one
}

}  // namespace py
}  // namespace zell
