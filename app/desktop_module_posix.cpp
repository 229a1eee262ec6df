#include "app/desktop_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/executable_paths.h"

namespace qs {

int RunDesktopModule(int argc, char** argv, const CommandOptions& options) {
  // From the executable's own folder (the build tree), else from the private library folder
  // that an installation keeps at a fixed place relative to it; never from the library search
  // path, and no build path is baked in.
  const std::string directory = ExecutableDirectory();
  std::string path = directory + kDesktopModuleName;
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#ifdef QS_INSTALLED_MODULE_DIR
  if (module == nullptr && ::access(path.c_str(), F_OK) != 0) {
    path = directory + QS_INSTALLED_MODULE_DIR + kDesktopModuleName;
    module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
#endif
  if (module == nullptr) {
    std::fprintf(stderr, "quarrystream: the desktop program cannot be loaded: %s\n", ::dlerror());
    return 2;
  }
  const auto entry = reinterpret_cast<DesktopEntry>(::dlsym(module, kDesktopEntryName));
  if (entry == nullptr) {
    std::fprintf(stderr, "quarrystream: %s has no %s\n", path.c_str(), kDesktopEntryName);
    return 2;
  }
  // The module stays loaded: Qt's own exit-time clean-up runs from it.
  return entry(argc, argv, &options);
}

}  // namespace qs
