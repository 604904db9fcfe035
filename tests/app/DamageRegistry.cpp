// Test helper: records the desktop's wallpaper in the registry store as a number instead of a text, so
// that the wallpaper component cannot be created and the program fails while it creates its windows.
#include <cstdio>
#include <vector>

#include "platform/Registry.h"

int main()
{
    using namespace vorlane;
    const auto key = registry::CreateKey(registry::Root, "Control Panel\\Desktop");
    const std::vector<uint8_t> number{1, 0, 0, 0};
    if (!key || registry::SetValue(*key, "Wallpaper", REG_DWORD, number) != registry::Result::Ok) {
        std::fprintf(stderr, "cannot write the registry store\n");
        return 1;
    }
    return 0;
}
