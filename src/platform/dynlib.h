// Libraries loaded at run time by their logical names: "iphlpapi.dll" is
// libiphlpapi.so (or the file $LINKTALLY_IPHLPAPI names), "splash.dll" is
// libsplash.so (or $LINKTALLY_SPLASH). Other names are file names.
//
// Resources. A library carries a resource of name NAME and type TYPE (both
// letters, digits and '_'; raw data is type RCDATA) as two exported C
// symbols:
//   lt_resource_<TYPE>_<NAME>        the bytes, e.g. const unsigned char[]
//   lt_resource_<TYPE>_<NAME>_size   their count, a const uint32_t
// so "SPLASH" of the raw-data kind is lt_resource_RCDATA_SPLASH and
// lt_resource_RCDATA_SPLASH_size. The bytes stay valid while the library is
// loaded. Reading one takes the four steps the monitor makes: find, size,
// load, lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The file dlopen is given for a logical library name.
std::string libraryFileFor(const std::string& logicalName);

// Where the project's own library file (a bare file name) stands for the
// program at programPath: the first readable of <folder>/../lib/linktally/
// (installed), <folder>/../lib/ (build tree) and <folder>/ itself. A path,
// or a name found in none of them, is returned as it is, for dlopen's own
// search.
std::string libraryBesideProgram(const std::string& programPath, const std::string& file);

// Where a library keeps a resource: the addresses of its two symbols.
struct ResourceLocation {
    const unsigned char* bytes = nullptr;
    const std::uint32_t* size = nullptr;
};

// A resource checked to lie within its library, ready to be read.
struct LoadedResource {
    const unsigned char* bytes = nullptr;
    std::uint32_t size = 0;
};

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

    // Both symbols of the resource, or nothing with lastError() ENOENT
    // (EINVAL for a name or type the convention cannot spell).
    std::optional<ResourceLocation> findResource(const std::string& name, const std::string& type);
    // The byte count; 0 with lastError() ENODATA for an empty resource.
    std::uint32_t sizeOfResource(const ResourceLocation& where);
    // Nothing with lastError() EBADF when no library is loaded, EFAULT when
    // the bytes do not lie within this library (a size that overshoots).
    std::optional<LoadedResource> loadResource(const ResourceLocation& where);
    // The first byte, or nullptr with lastError() EINVAL for an empty one.
    const unsigned char* lockResource(const LoadedResource& loaded);

    bool isLoaded() const { return handle != nullptr; }
    int lastError() const { return error; }
    const std::string& errorText() const { return text; }

private:
    bool fail(int code);
    bool withinThisLibrary(std::uintptr_t address) const;

    void* handle = nullptr;
    int error = 0;
    std::string text;
};

} // namespace platform
