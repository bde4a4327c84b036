#include "core/payload.h"

namespace zell {

PayloadHooks payloadHooks = {nullptr, nullptr};

}  // namespace zell
