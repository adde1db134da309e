#include "platform/dynlib.h"

#include "platform/environment.h"
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace platform {

namespace {

void takeLoaderError(int& error, std::string& text)
{
    const char* message = ::dlerror();
    text = message ? message : "";
    if (error == 0)
        error = ENOENT;
}

// The project's own libraries stand in ../lib beside the program (or next
// to it), as its RUNPATH says. Looked up here rather than left to dlopen,
// whose RUNPATH search follows the calling object, which an interposer
// such as a sanitizer runtime changes.
std::string beside(const std::string& file)
{
    if (file.find('/') != std::string::npos)
        return file;
    char exe[4096];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0)
        return file;
    const std::string program(exe, static_cast<std::size_t>(length));
    const std::string folder = program.substr(0, program.rfind('/'));
    for (const std::string& candidate : {folder + "/../lib/" + file, folder + "/" + file})
        if (::access(candidate.c_str(), R_OK) == 0)
            return candidate;
    return file;
}

} // namespace

std::string libraryFileFor(const std::string& logicalName)
{
    if (logicalName == "iphlpapi.dll")
        return beside(variableOr("LINKTALLY_IPHLPAPI", "libiphlpapi.so"));
    if (logicalName == "splash.dll")
        return beside(variableOr("LINKTALLY_SPLASH", "libsplash.so"));
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
