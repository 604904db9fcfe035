#include "platform/StringList.h"

#include "platform/Exceptions.h"

namespace vorlane {

void TStringList::Check(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EStringListError(Format(msg::ListIndexError, index));
}

const std::string& TStringList::Get(int index) const
{
    Check(index, Count());
    return items_[size_t(index)];
}

void TStringList::Put(int index, const std::string& value)
{
    Check(index, Count());
    items_[size_t(index)] = value;
}

int TStringList::Add(const std::string& value)
{
    items_.push_back(value);
    return Count() - 1;
}

void TStringList::Insert(int index, const std::string& value)
{
    Check(index, Count() + 1);
    items_.insert(items_.begin() + index, value);
}

void TStringList::Delete(int index)
{
    Check(index, Count());
    items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(const std::string& value) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == value)
            return int(i);
    return -1;
}

} // namespace vorlane
