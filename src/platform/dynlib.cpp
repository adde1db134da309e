#include "platform/dynlib.h"

#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>

namespace platform {

namespace {

std::string fromVariableOr(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    return value && value[0] ? value : fallback;
}

void takeLoaderError(int& error, std::string& text)
{
    const char* message = ::dlerror();
    text = message ? message : "";
    if (error == 0)
        error = ENOENT;
}

} // namespace

std::string libraryFileFor(const std::string& logicalName)
{
    if (logicalName == "iphlpapi.dll")
        return fromVariableOr("LINKTALLY_IPHLPAPI", "libiphlpapi.so");
    if (logicalName == "splash.dll")
        return fromVariableOr("LINKTALLY_SPLASH", "libsplash.so");
    return logicalName;
}

DynamicLibrary::~DynamicLibrary()
{
    if (handle)
        ::dlclose(handle);
}

bool DynamicLibrary::load(const std::string& logicalName)
{
    errno = 0;
    handle = ::dlopen(libraryFileFor(logicalName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle)
        return true;
    error = errno;
    takeLoaderError(error, text);
    return false;
}

void* DynamicLibrary::symbol(const char* name)
{
    ::dlerror();
    void* address = handle ? ::dlsym(handle, name) : nullptr;
    if (!address) {
        error = 0;
        takeLoaderError(error, text);
    }
    return address;
}

} // namespace platform
