#include "model/datalist.h"

#include "common/ltassert.h"

#include <algorithm>

namespace {

const std::string emptyText;

} // namespace

int DataList::idOf(std::string_view text)
{
    LT_ASSERT(str2id.size() == id2str.size());
    auto found = str2id.find(text);
    if (found == str2id.end()) {
        if (id2str.size() == id2str.capacity()) // may throw before the maps differ
            id2str.reserve(std::max<std::size_t>(8, 2 * id2str.capacity()));
        found = str2id.emplace(std::string(text), static_cast<int>(id2str.size())).first;
        id2str.push_back(&found->first);
    }
    LT_ASSERT(str2id.size() == id2str.size());
    return found->second;
}

int DataList::findId(std::string_view text) const
{
    const auto found = str2id.find(text);
    return found == str2id.end() ? -1 : found->second;
}

const std::string& DataList::nameOf(int id) const
{
    if (id < 0 || id >= static_cast<int>(id2str.size()))
        return emptyText;
    return *id2str[static_cast<std::size_t>(id)];
}

int DataList::size() const
{
    LT_ASSERT(id2str.size() == str2id.size());
    return static_cast<int>(id2str.size());
}
