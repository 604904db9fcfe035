// The copy-data exchange, over SendMessage, on either system.
#include "platform/MessageWindow.h"

namespace vorlane {

intptr_t SendCopyData(WindowHandle target, WindowHandle sender, uint32_t id, std::string_view bytes)
{
    CopyDataStruct record;
    record.dwData = id;
    record.cbData = static_cast<uint32_t>(bytes.size());
    record.lpData = bytes.data();
    return SendMessage(target, WM_COPYDATA, sender, reinterpret_cast<intptr_t>(&record));
}

} // namespace vorlane
