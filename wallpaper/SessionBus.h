// The session bus, reached only when the session announces one (GLib would otherwise launch a bus of
// its own), and the names owned on it.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <set>
#include <string>

namespace vorlane {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using BusPtr = std::unique_ptr<GDBusConnection, GObjectUnref>;

// The announced session bus (DBUS_SESSION_BUS_ADDRESS, or the socket "bus" in XDG_RUNTIME_DIR); null
// when there is none or it does not answer.
BusPtr OpenSessionBus();

// The names owned on the bus; empty when it does not answer within a few seconds.
std::set<std::string> OwnedBusNames(GDBusConnection* bus);

// The method's reply, or null when the call failed or took longer than `timeoutMs`; then `errorName`,
// when given, receives the D-Bus error's name (empty when the failure had none, a time-out among them).
GVariant* CallBusMethod(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                        const char* method, GVariant* parameters, int timeoutMs = 5000,
                        std::string* errorName = nullptr);

} // namespace vorlane
