#include "platform/dynlib.h"

#include "platform/environment.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
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

// The running program's path, or "" when the kernel does not tell.
std::string programPath()
{
    char exe[4096];
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    return length > 0 ? std::string(exe, static_cast<std::size_t>(length)) : std::string();
}

bool spellable(const std::string& part)
{
    if (part.empty())
        return false;
    for (const char c : part)
        if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

} // namespace

// Looked up here rather than left to dlopen, whose RUNPATH search follows
// the calling object, which an interposer such as a sanitizer runtime
// changes.
std::string libraryBesideProgram(const std::string& program, const std::string& file)
{
    const std::size_t slash = program.rfind('/');
    if (file.find('/') != std::string::npos || slash == std::string::npos)
        return file;
    const std::string folder = program.substr(0, slash);
    for (const std::string& candidate :
         {folder + "/../lib/linktally/" + file, folder + "/../lib/" + file, folder + "/" + file})
        if (::access(candidate.c_str(), R_OK) == 0)
            return candidate;
    return file;
}

std::string libraryFileFor(const std::string& logicalName)
{
    if (logicalName == "iphlpapi.dll")
        return libraryBesideProgram(programPath(), variableOr("LINKTALLY_IPHLPAPI", "libiphlpapi.so"));
    if (logicalName == "splash.dll")
        return libraryBesideProgram(programPath(), variableOr("LINKTALLY_SPLASH", "libsplash.so"));
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

bool DynamicLibrary::fail(int code)
{
    error = code;
    text = std::strerror(code);
    return false;
}

// The loader tells which loaded object an address lies in, by its link map.
bool DynamicLibrary::withinThisLibrary(std::uintptr_t address) const
{
    link_map* own = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &own) != 0 || !own)
        return false;
    Dl_info found{};
    link_map* owner = nullptr;
    if (::dladdr1(reinterpret_cast<const void*>(address), &found, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0)
        return false;
    return owner == own;
}

std::optional<ResourceLocation> DynamicLibrary::findResource(const std::string& name, const std::string& type)
{
    if (!spellable(name) || !spellable(type)) {
        fail(EINVAL);
        return std::nullopt;
    }
    const std::string bytesSymbol = "lt_resource_" + type + "_" + name;
    const std::string sizeSymbol = bytesSymbol + "_size";
    ResourceLocation where;
    where.bytes = static_cast<const unsigned char*>(symbol(bytesSymbol.c_str()));
    if (!where.bytes)
        return std::nullopt;
    where.size = static_cast<const std::uint32_t*>(symbol(sizeSymbol.c_str()));
    if (!where.size)
        return std::nullopt;
    return where;
}

std::uint32_t DynamicLibrary::sizeOfResource(const ResourceLocation& where)
{
    const std::uint32_t size = where.size ? *where.size : 0;
    if (size == 0)
        fail(ENODATA);
    return size;
}

std::optional<LoadedResource> DynamicLibrary::loadResource(const ResourceLocation& where)
{
    if (!handle) {
        fail(EBADF);
        return std::nullopt;
    }
    const std::uint32_t size = sizeOfResource(where);
    if (size == 0)
        return std::nullopt;
    const auto first = reinterpret_cast<std::uintptr_t>(where.bytes);
    if (!withinThisLibrary(first) || !withinThisLibrary(first + (size - 1))) {
        fail(EFAULT);
        return std::nullopt;
    }
    return LoadedResource{where.bytes, size};
}

const unsigned char* DynamicLibrary::lockResource(const LoadedResource& loaded)
{
    if (!loaded.bytes || loaded.size == 0) {
        fail(EINVAL);
        return nullptr;
    }
    return loaded.bytes;
}

} // namespace platform
