#include "platform/Component.h"

#include <algorithm>

namespace vorlane {
namespace {

std::vector<TComponent*>& LiveComponents()
{
    static std::vector<TComponent*> live;
    return live;
}

} // namespace

TComponent::TComponent(TComponent* owner)
{
    LiveComponents().push_back(this);
    if (owner)
        owner->InsertComponent(this);
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

void TComponent::WriteExtraRecords(ComponentWriter&) {}

bool TComponent::ReadExtraRecord(const std::string&, ComponentReader&)
{
    return false;
}

} // namespace vorlane
