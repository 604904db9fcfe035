#include "component/Component.h"

#include <algorithm>
#include <string>

namespace vorlane {
namespace {

std::vector<TComponent*>& LiveComponents()
{
    static std::vector<TComponent*> live;
    return live;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

TComponent::TComponent(TComponent* owner)
{
    LiveComponents().push_back(this);
    if (!owner)
        return;
    try {
        owner->InsertComponent(this);
    } catch (...) {
        // No destructor runs for a constructor that throws: leave no dangling entry behind.
        LiveComponents().pop_back();
        throw;
    }
}

TComponent::~TComponent()
{
    while (!components_.empty())
        delete components_.back(); // the child's destructor removes it from the list
    if (owner_)
        owner_->RemoveComponent(this);
    auto& live = LiveComponents();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void TComponent::InsertComponent(TComponent* child)
{
    child->owner_ = this;
    components_.push_back(child);
}

void TComponent::RemoveComponent(TComponent* child)
{
    components_.erase(std::remove(components_.begin(), components_.end(), child), components_.end());
    child->owner_ = nullptr;
}

const std::vector<TComponent*>& TComponent::AllComponents()
{
    return LiveComponents();
}

std::vector<PublishedProperty> TComponent::PublishedProperties()
{
    std::vector<PublishedProperty> properties;

    PublishedProperty name;
    name.name = "Name";
    name.kind = PropertyKind::String;
    name.stored = false;
    name.getString = [this] { return name_; };
    name.setString = [this](const std::string& value) { name_ = value; };
    properties.push_back(std::move(name));

    PublishedProperty tag;
    tag.name = "Tag";
    tag.kind = PropertyKind::Integer;
    tag.defaultValue = 0;
    tag.getInteger = [this] { return tag_; };
    tag.setInteger = [this](int32_t value) { tag_ = value; };
    properties.push_back(std::move(tag));

    return properties;
}

std::string TComponent::UniqueName(const std::string& name) const
{
    if (name.empty())
        return name;
    const auto taken = [this](const std::string& candidate) {
        for (const TComponent* other : LiveComponents())
            if (other != this && SameName(other->name_, candidate))
                return true;
        return false;
    };
    // "%s_%d", assembled directly so that a name holding any byte keeps all of them.
    std::string result = name;
    for (int i = 1; taken(result); ++i)
        result = name + "_" + std::to_string(i);
    return result;
}

void TComponent::WriteExtraRecords(ComponentWriter&)
{
}

bool TComponent::ReadExtraRecord(const std::string&, ComponentReader&)
{
    return false;
}

} // namespace vorlane
