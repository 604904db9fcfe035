// The application's message loop: messages of the thread's windows, and the main window's watch on its
// gallery folder, until the quit message.
#pragma once

namespace vorlane {

class TMainForm;

// Returns the quit message's exit code.
int RunMessageLoop(TMainForm& form);

} // namespace vorlane
