#include "python/objects/instance.h"

namespace zell {
namespace py {

namespace {
const ClassDesc* lookupTable[8];
int lookupCount = 0;
}  // namespace

void registerClassForLookup(const ClassDesc* cls) {
  if (lookupCount == 8) raise(ErrorKind::AssertionDefect, "too many classes");
  lookupTable[lookupCount++] = cls;
}

const ClassDesc* classOfType(Object* type) {
  for (int i = 0; i < lookupCount; ++i)
    if (lookupTable[i]->pyType == type) return lookupTable[i];
  return nullptr;
}

void raiseTreeWithoutObject() { raise(ErrorKind::AssertionDefect, "a tree without its object"); }

void raiseClassNotBuilt(const ClassDesc& cls) {
  raise(ErrorKind::AssertionDefect, std::string("class not built: ") + cls.name);
}

InstanceRef toOtherInstance(Object* o, const ClassDesc& expected) {
  if (!classOfType(typeOf(o))) raiseValue(std::string("Cannot convert python object to ") + expected.name);
  InstanceRef ref(headerOf(o));
  if (ref.get()->cls != &expected) raiseObjectConversion();
  return ref;
}

}  // namespace py
}  // namespace zell
