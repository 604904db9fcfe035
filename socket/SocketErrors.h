// The message table of socket error codes (Windows Sockets numbers).
#pragma once

namespace vorlane {

// The table text of `code`, or null when the code is not in the table.
const char* SocketErrorText(int code);

} // namespace vorlane
