#include "platform/registry.h"

#include "platform/files.h"
#include "platform/folders.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::vector<std::string> components(const std::string& keyPath)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= keyPath.size()) {
        const std::size_t end = std::min(keyPath.find('\\', start), keyPath.size());
        if (end > start)
            parts.push_back(keyPath.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// A quoted text with \\ and \" escapes; false when it does not close.
bool readQuoted(std::string_view& text, std::string& out)
{
    if (text.empty() || text.front() != '"')
        return false;
    out.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] == '"') {
            text.remove_prefix(i + 1);
            return true;
        } else {
            out += text[i];
        }
    }
    return false;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

bool parseLine(std::string_view line, RegistryValues& values)
{
    std::string name, text;
    if (!readQuoted(line, name) || line.empty() || line.front() != '=')
        return false;
    line.remove_prefix(1);
    if (readQuoted(line, text)) {
        values[name] = text;
        return line.empty();
    }
    constexpr std::string_view dword = "dword:";
    if (!line.starts_with(dword) || line.size() != dword.size() + 8)
        return false;
    std::uint32_t value = 0;
    for (const char c : line.substr(dword.size())) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                  : -1;
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    values[name] = static_cast<std::int32_t>(value);
    return true;
}

} // namespace

bool parseRegistryText(std::string_view text, RegistryValues& values)
{
    bool whole = true;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // The header, the key line and blank lines carry no value.
        if (line.empty() || line.front() == '[' || line.starts_with("Windows Registry Editor"))
            continue;
        // A damaged line costs only its own value, not the ones after it.
        if (!parseLine(line, values))
            whole = false;
    }
    return whole;
}

std::string formatRegistryText(const std::string& keyName, const RegistryValues& values)
{
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" + keyName + "]\n";
    for (const auto& [name, value] : values) {
        text += quoted(name) + "=";
        if (const auto* s = std::get_if<std::string>(&value)) {
            text += quoted(*s);
        } else {
            char dword[16];
            std::snprintf(dword, sizeof dword, "dword:%08x", static_cast<std::uint32_t>(std::get<std::int32_t>(value)));
            text += dword;
        }
        text += "\n";
    }
    return text;
}

std::vector<std::string> RegistryKey::valueNames() const
{
    std::vector<std::string> names;
    for (const auto& [name, value] : values)
        names.push_back(name);
    return names;
}

std::optional<std::string> RegistryKey::filePathOf(const std::string& keyPath)
{
    const std::optional<std::string> config = userConfigFolder();
    std::vector<std::string> parts = components(keyPath);
    if (!config || parts.empty())
        return std::nullopt;
    if (parts.front() == "Software")
        parts.erase(parts.begin());
    std::string folder = *config;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        folder += "/" + parts[i];
    return folder + "/" + (parts.empty() ? std::string("root") : parts.back()) + ".reg";
}

std::unique_ptr<RegistryKey> RegistryKey::open(const std::string& keyPath, bool create)
{
    const std::optional<std::string> file = filePathOf(keyPath);
    if (!file)
        return nullptr;
    const std::string& path = *file;
    const std::string folder = path.substr(0, path.rfind('/'));
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        // One that exists but cannot be read must not be overwritten.
        if (!create || ::access(path.c_str(), F_OK) == 0 || !createDirectories(folder))
            return nullptr;
    }
    std::unique_ptr<RegistryKey> key(new RegistryKey(keyPath, path));
    if (in.is_open()) {
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        parseRegistryText(text, key->values); // a damaged file keeps what could be read
    } else if (!key->save()) {
        return nullptr;
    }
    return key;
}

bool RegistryKey::readString(const std::string& name, std::string& value) const
{
    const auto found = values.find(name);
    if (found == values.end() || !std::holds_alternative<std::string>(found->second))
        return false;
    value = std::get<std::string>(found->second);
    return true;
}

bool RegistryKey::readInteger(const std::string& name, std::int32_t& value) const
{
    const auto found = values.find(name);
    if (found == values.end() || !std::holds_alternative<std::int32_t>(found->second))
        return false;
    value = std::get<std::int32_t>(found->second);
    return true;
}

bool RegistryKey::write(const std::string& name, const RegistryValue& value)
{
    RegistryValues before = values;
    values[name] = value;
    if (save())
        return true;
    values = std::move(before);
    return false;
}

bool RegistryKey::writeString(const std::string& name, const std::string& value) { return write(name, value); }

bool RegistryKey::writeInteger(const std::string& name, std::int32_t value) { return write(name, value); }

bool RegistryKey::deleteValue(const std::string& name)
{
    RegistryValues before = values;
    if (values.erase(name) == 0)
        return true;
    if (save())
        return true;
    values = std::move(before);
    return false;
}

bool RegistryKey::replaceValues(const std::vector<std::string>& removed, const RegistryValues& set)
{
    RegistryValues before = values;
    for (const std::string& name : removed)
        values.erase(name);
    for (const auto& [name, value] : set)
        values[name] = value;
    if (values == before || save())
        return true;
    values = std::move(before);
    return false;
}

bool RegistryKey::save() const
{
    return replaceFileContents(path, formatRegistryText(keyName, values), 0600) == 0;
}

} // namespace platform
