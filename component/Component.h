// The component base: ownership, name, tag, and the table of published properties that the component
// stream writes and reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlane {

class ComponentWriter;
class ComponentReader;

enum class PropertyKind {
    Integer,     // tags 02/03/04
    String,      // tags 06/0C
    StringList,  // an object property holding a string list: its own record "<name>.Strings"
    Enumeration, // an identifier (tag 07)
    Boolean,     // tags 08/09 (or an identifier False/True)
    Event,       // an identifier naming a method, or nil (tag 0D)
};

// The lowest 32-bit value marks an integer property without a default: it is then not stored.
inline constexpr int32_t NoDefault = INT32_MIN;

// One published property. Only the accessors that fit the kind are set.
struct PublishedProperty {
    std::string name;
    PropertyKind kind = PropertyKind::Integer;
    bool stored = true;                   // "Name" travels in the stream header, not as a record
    std::optional<int32_t> defaultValue;  // Integer/Enumeration/Boolean; none = no declared default
    std::vector<std::string> identifiers; // Enumeration: the identifier of each ordinal value
    // Integer: named constants (a colour's "clNone", say), written as an identifier when the value has
    // one and read from an identifier.
    std::vector<std::pair<std::string, int32_t>> constants;

    std::function<int32_t()> getInteger; // Integer, Enumeration (ordinal), Boolean (0/1)
    std::function<void(int32_t)> setInteger;
    std::function<std::string()> getString; // String; Event: method name, empty when unassigned
    std::function<void(const std::string&)> setString;
    std::function<std::vector<std::string>*()> list; // StringList
    size_t maxListEntries = SIZE_MAX;                // StringList: more entries in a stream are refused

    bool Writable() const { return setInteger || setString || list; }
};

// Property and record names compare with ASCII letters taken without regard to case.
bool SameName(std::string_view a, std::string_view b);

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // The class name the stream writes ("TVorlane", "TImageList", ...).
    virtual std::string ClassName() const { return "TComponent"; }

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t tag) { tag_ = tag; }

    // Published properties in property order: the inherited ones (Name, Tag) first, then the class's
    // own in declaration order. Overrides call the base first and append.
    virtual std::vector<PublishedProperty> PublishedProperties();

    // Records beyond the published properties ("Left"/"Top" of a placed component, "Bitmap" of an
    // image list). The reader offers a record here when no property bears its name; an override reads
    // exactly one value and returns true for a name it owns (compared with SameName), false otherwise.
    // The stream itself writes and reads "Left" and "Top" (before these) for every component.
    virtual void WriteExtraRecords(ComponentWriter& writer);
    virtual bool ReadExtraRecord(const std::string& name, ComponentReader& reader);

    // Design position, written as "Left"/"Top" only when not zero.
    int32_t DesignLeft() const { return designLeft_; }
    int32_t DesignTop() const { return designTop_; }
    void SetDesignLeft(int32_t left) { designLeft_ = left; }
    void SetDesignTop(int32_t top) { designTop_ = top; }

    // The end-of-loading step, run once the stored settings have been applied.
    virtual void Loaded() {}

    // Every component alive in the process, for the reader's unique-name rule.
    static const std::vector<TComponent*>& AllComponents();
    // `name` when no other live component bears it (letter case ignored), otherwise the first free
    // "%s_%d" with 1, 2, ...; an empty name stays empty.
    std::string UniqueName(const std::string& name) const;

    // Creates a component owned by `owner` (freed with it).
    template <class T, class... Args>
    static T* Create(TComponent* owner, Args&&... args)
    {
        return new T(owner, std::forward<Args>(args)...);
    }

private:
    void InsertComponent(TComponent* child);
    void RemoveComponent(TComponent* child);

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_; // owned: freed, last first, when this component is freed
    std::string name_;
    int32_t tag_ = 0;
    int32_t designLeft_ = 0;
    int32_t designTop_ = 0;
};

} // namespace vorlane
