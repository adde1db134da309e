// Two-way interning of texts: the monitor's entry names, and the private
// text pools of every record collection.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Two-way interning of texts: ids 0, 1, 2 ... in the order texts first came,
// never changed, never reused. Texts compare byte by byte.
class DataList {
public:
    DataList() = default;
    DataList(const DataList&) = delete;
    DataList& operator=(const DataList&) = delete;

    // The id of text, adding it with the next free id when it is new.
    int idOf(std::string_view text);
    // The id of text, or -1 when unknown; never adds.
    int findId(std::string_view text) const;
    // The text of id, or the empty text when no text has that id.
    const std::string& nameOf(int id) const;
    int size() const;

private:
    // Looked up once for each of a record's five texts: hashed, and by
    // string_view without a temporary string.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> str2id;
    // Dense ids index the texts held as keys of str2id (map nodes never move).
    std::vector<const std::string*> id2str;
};
