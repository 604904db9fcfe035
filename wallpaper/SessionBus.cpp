#include "wallpaper/SessionBus.h"

#include <cstdlib>

#include "platform/FileSystem.h"

namespace vorlane {

BusPtr OpenSessionBus()
{
    bool announced = false;
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
        announced = true;
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        announced = files::IsSocket(std::string(runtime) + "/bus");
    }
    if (!announced)
        return nullptr;
    // A connection of our own, not GLib's shared one, which ends the whole process when the bus goes.
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusConnection* bus = nullptr;
    if (address)
        bus =
            g_dbus_connection_new_for_address_sync(address,
                                                   GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                                   nullptr, nullptr, &error);
    g_free(address);
    g_clear_error(&error);
    return BusPtr(bus);
}

GVariant* CallBusMethod(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                        const char* method, GVariant* parameters, int timeoutMs, std::string* errorName)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name, path, interface, method, parameters, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &error);
    if (error && errorName) {
        gchar* remote = g_dbus_error_get_remote_error(error);
        *errorName = remote ? remote : "";
        g_free(remote);
    }
    g_clear_error(&error);
    return reply;
}

std::set<std::string> OwnedBusNames(GDBusConnection* bus)
{
    std::set<std::string> names;
    GVariant* reply = CallBusMethod(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "ListNames", nullptr);
    if (!reply)
        return names;
    GVariantIter* iter = nullptr;
    const gchar* name = nullptr;
    g_variant_get(reply, "(as)", &iter);
    while (g_variant_iter_loop(iter, "&s", &name))
        if (name[0] != ':')
            names.insert(name);
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return names;
}

} // namespace vorlane
