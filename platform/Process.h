// Other processes, as the Linux desktops need them: desktop tools run with an argument vector and waited
// for with a deadline, background programs started apart from us, this user's processes told by name and
// environment, and ended without ever signalling a number reused meanwhile. The Windows build sets its
// wallpaper with the system's own call and has no side of these (linux/Process.cpp only).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vorlane::process {

// Runs argv[0] (looked up in PATH) with its input and output on /dev/null, and waits for it at most
// `timeoutMs`; one still running then is killed. True when it ended with status 0. With `output`, what
// it writes to its standard output (at most 1 MiB) is kept there instead.
bool Run(const std::vector<std::string>& argv, int timeoutMs = 5000, std::string* output = nullptr);

// Starts argv in a session of its own and not as our child (it outlives this process and leaves no
// zombie behind), its input and output on /dev/null, with our environment less the variables whose
// names start with `dropped`, plus `added` ("NAME=value"): its process id once it was executed, 0
// otherwise.
int StartDetached(const std::vector<std::string>& argv, const std::string& dropped, const std::string& added);

// Runs `watcher` in a child process of its own, its input and output on /dev/null (whoever reads our
// output waits for no watcher), and returns once the child called the `settled` it is given, or ended.
// The child ends when `watcher` returns.
void StartWatcher(const std::function<void(const std::function<void()>& settled)>& watcher);

struct OwnProcess {
    int id = 0;
    std::string name; // its command name
};
// The processes of the user this program runs as.
std::vector<OwnProcess> OwnProcesses();
// The value of `variable` in the starting environment of process `id`; nothing when it is not set there
// or cannot be read.
std::optional<std::string> StartingVariable(int id, const std::string& variable);
// Whether process `id` holds exactly `entry` ("NAME=value") in its starting environment.
bool StartedWith(int id, const std::string& entry);

// Asks `process` to end (SIGTERM) when, once it is pinned, it is still this user's, still has its name,
// and `stillMeant` holds: a number reused meanwhile by another process never gets the request. True when
// it was sent.
bool EndOwn(const OwnProcess& process, const std::function<bool()>& stillMeant);
// Asks process `id` to end (SIGTERM); true when the request was delivered.
bool AskToEnd(int id);
// Whether a process `id` exists (of any user).
bool Runs(int id);
// This process's id.
int ThisProcess();

} // namespace vorlane::process
