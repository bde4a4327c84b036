// macOS: the images dyld has loaded, walked in load order with the dyld
// image functions (the main executable is image 0), each opened by its path
// with RTLD_NOLOAD, which only finds an image already loaded. This mirrors
// the walk on Linux and takes the first image that exports the name, where
// a plain dlsym(RTLD_DEFAULT, ...) would hide which image answered.
#include <dlfcn.h>
#include <mach-o/dyld.h>

#include <cstdint>

#include "python/abi/attach.h"

namespace zell {
namespace py {
namespace attach {

const char* const kNoInterpreter = "Could not find libpython";

void* findExporter(const char* name) {
  uint32_t count = _dyld_image_count();
  for (uint32_t i = 0; i < count; ++i) {
    const char* path = _dyld_get_image_name(i);
    void* handle = path ? dlopen(path, RTLD_LAZY | RTLD_NOLOAD) : nullptr;
    if (!handle) continue;
    if (dlsym(handle, name)) return handle;  // kept open for the life of the process
    dlclose(handle);
  }
  return nullptr;
}

void* lookup(void* library, const char* name) { return dlsym(library, name); }

}  // namespace attach
}  // namespace py
}  // namespace zell
