// Loading a module with the dynamic loader.
#include <dlfcn.h>

#include "HostInternal.hpp"

namespace quonix {

std::unique_ptr<Module> Module::load(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "cannot load module '': the path is empty";
        return nullptr;
    }
    // A bare file name means the file in the current directory, not a search of the loader's library path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
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
