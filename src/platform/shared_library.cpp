#include "platform/shared_library.h"

#include <dlfcn.h>

namespace tarnwick {

void* LoadSharedLibrary(const std::string& name, std::string& why) {
    ::dlerror();
    void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = ::dlerror();
        why = reason ? reason : name;
    }
    return library;
}

void* SharedLibrarySymbol(void* library, const std::string& symbol) {
    return library ? ::dlsym(library, symbol.c_str()) : nullptr;
}

void UnloadSharedLibrary(void* library) noexcept {
    if (library) {
        ::dlclose(library);
    }
}

}  // namespace tarnwick
