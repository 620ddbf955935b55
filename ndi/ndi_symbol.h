#pragma once

#include <dlfcn.h>
#include <string>

// Looks one runtime function up by its plain name. A missing one is added to `missing`
// (comma-separated), so that one report names every gap.
template <typename Fn>
bool ResolveNdiSymbol(void* handle, const char* name, Fn& out, std::string& missing) {
    // dlerror() is cleared first so that a symbol whose value is null is told apart
    // from one that does not exist.
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        missing += missing.empty() ? "" : ", ";
        missing += name;
        return false;
    }
    out = reinterpret_cast<Fn>(symbol);
    return true;
}
