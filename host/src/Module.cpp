// Loading a module with the dynamic loader.
#include <dlfcn.h>

#include "HostInternal.hpp"

namespace quonix {

std::unique_ptr<Module> Module::load(const std::string& path, std::string& error) {
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load module '" + path + "': " + (reason != nullptr ? reason : "unknown reason");
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(handle, "zupFunction");
    if (symbol == nullptr) {
        error = "module '" + path + "' does not export zupFunction";
        dlclose(handle);
        return nullptr;
    }
    std::unique_ptr<Module> module(new Module);
    module->handle_ = handle;
    module->entry_ = reinterpret_cast<zupFunctionType>(symbol);
    module->path_ = path;
    error.clear();
    return module;
}

Module::~Module() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

}  // namespace quonix
