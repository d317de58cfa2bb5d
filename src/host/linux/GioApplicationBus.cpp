#include "host/linux/GioApplicationBus.h"

#include <gio/gio.h>

namespace corvane {

namespace {

// An application that does not answer within this long is taken as not taking the request.
constexpr gint kCallTimeoutMs = 2000;

Error errorOf(GError* error, const std::string& what) {
    Error failure{what + ": " + (error != nullptr ? error->message : "no reason given")};
    g_clear_error(&error);
    return failure;
}

bool isWellKnownName(const std::string& name) {
    return g_dbus_is_name(name.c_str()) && !g_dbus_is_unique_name(name.c_str());
}

} // namespace

GioApplicationBus::GioApplicationBus() = default;

GioApplicationBus::GioApplicationBus(std::string address) : m_address(std::move(address)) {}

GioApplicationBus::~GioApplicationBus() {
    if (m_connection != nullptr) {
        g_object_unref(m_connection);
    }
}

Result<GDBusConnection*> GioApplicationBus::connection() const {
    if (m_connection != nullptr) {
        return m_connection;
    }
    GError* error = nullptr;
    if (m_address.empty()) {
        m_connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    } else {
        m_connection = g_dbus_connection_new_for_address_sync(
            m_address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
    }
    if (m_connection == nullptr) {
        return errorOf(error, "the session bus cannot be reached");
    }
    return m_connection;
}

Result<bool> GioApplicationBus::nameHasOwner(const std::string& name) const {
    if (!isWellKnownName(name)) {
        return false;
    }
    Result<GDBusConnection*> bus = connection();
    if (!bus) {
        return bus.error();
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        *bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &error);
    if (reply == nullptr) {
        return errorOf(error, "the session bus did not say whether " + name + " runs");
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

Status GioApplicationBus::activateAction(const std::string& name, const std::string& objectPath,
                                         const std::string& action) {
    if (!isWellKnownName(name) || !g_variant_is_object_path(objectPath.c_str())) {
        return Error{name + " has no address on the session bus"};
    }
    Result<GDBusConnection*> bus = connection();
    if (!bus) {
        return bus.error();
    }
    GVariant* parameters = g_variant_new("(s@av@a{sv})", action.c_str(),
                                         g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0),
                                         g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        *bus, name.c_str(), objectPath.c_str(), "org.gtk.Actions", "Activate", parameters,
        G_VARIANT_TYPE_UNIT, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, &error);
    if (reply == nullptr) {
        return errorOf(error, name + " did not take its " + action + " action");
    }
    g_variant_unref(reply);
    return Done{};
}

} // namespace corvane
