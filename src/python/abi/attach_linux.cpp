// Linux: the objects loaded in the process, walked in load order with
// dl_iterate_phdr; the main program comes first, so an interpreter linked
// statically into its executable is found as well as a libpython.
#include <dlfcn.h>
#include <link.h>

#include "python/abi/attach.h"

namespace zell {
namespace py {
namespace attach {

namespace {

struct Search {
  const char* name;
  void* found;
};

int takeIfExporter(dl_phdr_info* info, size_t, void* context) {
  auto* search = static_cast<Search*>(context);
  // The main program has an empty name; dlopen(nullptr) gives its handle.
  const char* path = info->dlpi_name && info->dlpi_name[0] ? info->dlpi_name : nullptr;
  void* handle = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return 0;
  if (!dlsym(handle, search->name)) {
    dlclose(handle);
    return 0;
  }
  search->found = handle;  // kept open for the life of the process
  return 1;
}

}  // namespace

const char* const kNoInterpreter = "Could not find libpython";

void* findExporter(const char* name) {
  Search search{name, nullptr};
  dl_iterate_phdr(takeIfExporter, &search);
  return search.found;
}

void* lookup(void* library, const char* name) { return dlsym(library, name); }

}  // namespace attach
}  // namespace py
}  // namespace zell
