// Libraries loaded at run time by their logical names: "iphlpapi.dll" is
// libiphlpapi.so (or the file $LINKTALLY_IPHLPAPI names), "splash.dll" is
// libsplash.so (or $LINKTALLY_SPLASH). Other names are file names.
#pragma once

#include <string>

namespace platform {

// The file dlopen is given for a logical library name.
std::string libraryFileFor(const std::string& logicalName);

// Owns one dlopen handle.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary();

    // False on failure, with lastError() (errno of the failed open, or
    // ENOENT when the loader gave none) and errorText() set.
    bool load(const std::string& logicalName);
    // The symbol's address, or nullptr with lastError() ENOENT.
    void* symbol(const char* name);
    bool isLoaded() const { return handle != nullptr; }
    int lastError() const { return error; }
    const std::string& errorText() const { return text; }

private:
    void* handle = nullptr;
    int error = 0;
    std::string text;
};

} // namespace platform
