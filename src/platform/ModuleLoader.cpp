#include "platform/ModuleLoader.h"

#include <dlfcn.h>
#include <link.h>

namespace tavo::platform {

std::unique_ptr<Module> Module::open(const std::string& path, std::string* error)
{
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (error != nullptr) {
            const char* reason = dlerror();
            *error = reason != nullptr ? reason : "";
        }
        return nullptr;
    }
    return std::unique_ptr<Module>(new Module(handle));
}

Module::~Module()
{
    if (!keepLoaded_)
        dlclose(handle_);
}

void* Module::symbol(const char* name) const
{
    return dlsym(handle_, name);
}

std::string Module::path() const
{
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return {};
    return map->l_name;
}

} // namespace tavo::platform
