// The per-user settings store: a key holds named values that are text or
// 32-bit integers. "Software\<company>\<product>\<version>" is the file
// $XDG_CONFIG_HOME/<company>/<product>/<version>.reg in the registry export
// syntax ("Name"="text", "Name"=dword:0000000a), written through
// atomically with mode 0600.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

using RegistryValue = std::variant<std::string, std::int32_t>;
using RegistryValues = std::map<std::string, RegistryValue>;

// The values of a key file's text; false when a line is not of that form
// (it is skipped; the other values are kept).
bool parseRegistryText(std::string_view text, RegistryValues& values);
std::string formatRegistryText(const std::string& keyName, const RegistryValues& values);

class RegistryKey {
public:
    // The key at keyPath ("Software\A\B\C"), created when missing and create
    // is set; nullptr when it can be neither opened nor created.
    static std::unique_ptr<RegistryKey> open(const std::string& keyPath, bool create);
    // The file that holds the key at keyPath; none without a settings folder.
    static std::optional<std::string> filePathOf(const std::string& keyPath);

    // False when the value is missing or of the other type.
    bool readString(const std::string& name, std::string& value) const;
    bool readInteger(const std::string& name, std::int32_t& value) const;
    // False when the file could not be written (the value is then not kept).
    bool writeString(const std::string& name, const std::string& value);
    bool writeInteger(const std::string& name, std::int32_t value);
    bool deleteValue(const std::string& name);
    // Every value's name, in order.
    std::vector<std::string> valueNames() const;
    // Removes the values named, then sets the ones given, in one write of
    // the file: all or, when it cannot be written, none.
    bool replaceValues(const std::vector<std::string>& removed, const RegistryValues& set);
    // The file that holds the key.
    const std::string& filePath() const { return path; }

private:
    RegistryKey(std::string keyName, std::string path) : keyName(std::move(keyName)), path(std::move(path)) {}
    bool write(const std::string& name, const RegistryValue& value);
    bool save() const;

    std::string keyName;
    std::string path;
    RegistryValues values;
};

} // namespace platform
