// An ordered list of strings (system code page bytes): not sorted, duplicates allowed. An index
// outside the list raises EStringListError "リストのインデックスが範囲を超えています (%d)".
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace vorlane {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items) : items_(items) {}

    int Count() const { return int(items_.size()); }
    const std::string& Get(int index) const;
    const std::string& operator[](int index) const { return Get(index); }
    void Put(int index, const std::string& value);

    int Add(const std::string& value);                // appends; returns its index
    void Insert(int index, const std::string& value); // 0..Count
    void Delete(int index);
    void Clear() { items_.clear(); }
    void Assign(const TStringList& other) { items_ = other.items_; }
    // First index holding `value` exactly, or -1.
    int IndexOf(const std::string& value) const;

    // The entries themselves (the component stream fills them as a whole).
    std::vector<std::string>& Items() { return items_; }
    const std::vector<std::string>& Items() const { return items_; }

    friend bool operator==(const TStringList&, const TStringList&) = default;

private:
    void Check(int index, int limit) const;

    std::vector<std::string> items_;
};

} // namespace vorlane
