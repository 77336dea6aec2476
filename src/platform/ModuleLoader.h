// Loading a shared library by path: the stand-in for LoadLibraryA,
// GetProcAddress, GetModuleFileNameA and FreeLibrary.
#pragma once

#include <memory>
#include <string>

namespace tavo::platform {

class Module {
public:
    // Loads the library with RTLD_NOW | RTLD_LOCAL: every symbol it needs is bound
    // at once, and its own symbols stay out of the global scope. Loading the same
    // path twice gives two handles on one copy in memory. Returns nothing when the
    // file is no loadable library (not ELF, another architecture, missing
    // dependencies); *error then holds the loader's reason.
    static std::unique_ptr<Module> open(const std::string& path, std::string* error = nullptr);

    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // The address of an exported symbol, or nullptr.
    void* symbol(const char* name) const;

    // The path under which the loader keeps the library; empty when it reports none.
    std::string path() const;

    // Keeps the library mapped after this object goes: code that faulted may have
    // left pointers into it behind, and its exit handlers are best not run early.
    void keepLoaded() { keepLoaded_ = true; }

private:
    explicit Module(void* handle) : handle_(handle) {}

    void* handle_;
    bool keepLoaded_ = false;
};

} // namespace tavo::platform
