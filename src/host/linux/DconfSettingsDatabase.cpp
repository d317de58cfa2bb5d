#include "host/linux/DconfSettingsDatabase.h"

#include "host/linux/BusServiceProbe.h"

#include <algorithm>
#include <dconf.h>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

namespace corvane {

struct DconfState {
    // The client's change notices go to this context rather than to the program's main loop,
    // which the command line never runs.
    GMainContext* context = nullptr;
    DConfClient* client = nullptr;
    // The process's shared session bus connection, which the client changes keys over, held so
    // that it keeps the setting made when it was opened.
    GDBusConnection* sharedBus = nullptr;
};

namespace {

constexpr const char* kDconfBusName = "ca.desrt.dconf";

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct StrvFree {
    void operator()(gchar** v) const { g_strfreev(v); }
};
using StrvPtr = std::unique_ptr<gchar*, StrvFree>;

struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

struct ChangesetUnref {
    void operator()(DConfChangeset* c) const { dconf_changeset_unref(c); }
};

std::string messageOf(GError* error) {
    return error != nullptr ? error->message : "unknown error";
}

bool isExcluded(const std::string& path, const SettingsFolder& folder) {
    return std::find(folder.excludedSubfolders.begin(), folder.excludedSubfolders.end(), path) !=
           folder.excludedSubfolders.end();
}

bool holdsExcluded(const std::string& dir, const SettingsFolder& folder) {
    return std::any_of(folder.excludedSubfolders.begin(), folder.excludedSubfolders.end(),
                       [&](const std::string& excluded) {
                           return excluded.size() > dir.size() &&
                                  excluded.compare(0, dir.size(), dir) == 0;
                       });
}

bool isInsideFolder(const std::string& key, const SettingsFolder& folder) {
    if (key.compare(0, folder.path.size(), folder.path) != 0) {
        return false;
    }
    return std::none_of(folder.excludedSubfolders.begin(), folder.excludedSubfolders.end(),
                        [&](const std::string& excluded) {
                            return key.compare(0, excluded.size(), excluded) == 0;
                        });
}

// The entries of a folder: keys by name, sub-folders ending in '/'.
std::vector<std::string> entriesOf(DConfClient* client, const std::string& dir) {
    gint length = 0;
    const StrvPtr names(dconf_client_list(client, dir.c_str(), &length));
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(std::max(length, 0)));
    for (gint i = 0; i < length; ++i) {
        entries.push_back(dir + names.get()[i]);
    }
    return entries;
}

void dumpInto(DConfClient* client, const std::string& dir, const SettingsFolder& folder,
              SettingsValues& values) {
    for (const std::string& path : entriesOf(client, dir)) {
        if (path.back() == '/') {
            if (!isExcluded(path, folder)) {
                dumpInto(client, path, folder, values);
            }
            continue;
        }
        // Only what the user set: defaults from system databases are not the user's to record.
        const VariantPtr value(
            dconf_client_read_full(client, path.c_str(), DCONF_READ_USER_VALUE, nullptr));
        if (value) {
            gchar* text = g_variant_print(value.get(), TRUE);
            values.emplace(path, text);
            g_free(text);
        }
    }
}

// Records in the change a reset of everything in `dir` but the excluded sub-folders.
void resetAround(DConfClient* client, DConfChangeset* change, const std::string& dir,
                 const SettingsFolder& folder) {
    if (!holdsExcluded(dir, folder)) {
        dconf_changeset_set(change, dir.c_str(), nullptr);
        return;
    }
    for (const std::string& path : entriesOf(client, dir)) {
        if (path.back() != '/') {
            dconf_changeset_set(change, path.c_str(), nullptr);
        } else if (!isExcluded(path, folder)) {
            resetAround(client, change, path, folder);
        }
    }
}

bool hasUserValue(DConfClient* client, const std::string& key) {
    const VariantPtr value(
        dconf_client_read_full(client, key.c_str(), DCONF_READ_USER_VALUE, nullptr));
    return value != nullptr;
}

// Records in the change a reset of each key the user set in `dir` (but the excluded
// sub-folders) that `values` does not write. Locked keys are left out: dconf refuses a change
// that names one, and their values are not the user's anyway.
void resetKeysNotIn(DConfClient* client, DConfChangeset* change, const std::string& dir,
                    const SettingsFolder& folder, const SettingsValues& values) {
    for (const std::string& path : entriesOf(client, dir)) {
        if (path.back() != '/') {
            if (values.count(path) == 0 && dconf_client_is_writable(client, path.c_str()) &&
                hasUserValue(client, path)) {
                dconf_changeset_set(change, path.c_str(), nullptr);
            }
        } else if (!isExcluded(path, folder)) {
            resetKeysNotIn(client, change, path, folder, values);
        }
    }
}

Status checkedFolder(const SettingsFolder& folder) {
    if (!dconf_is_dir(folder.path.c_str(), nullptr)) {
        return Error{"\"" + folder.path + "\" is not a settings folder"};
    }
    return Done{};
}

struct Connecting {
    GDBusConnection* connection = nullptr;
    GError* error = nullptr;
    bool done = false;
};

void onConnected(GObject*, GAsyncResult* result, gpointer data) {
    auto* connecting = static_cast<Connecting*>(data);
    connecting->connection = g_dbus_connection_new_for_address_finish(result, &connecting->error);
    connecting->done = true;
}

gboolean onDeadline(gpointer data) {
    g_cancellable_cancel(static_cast<GCancellable*>(data));
    return G_SOURCE_REMOVE;
}

// Opens a connection of our own to the session bus, given up after `timeout`.
Result<GDBusConnection*> sessionBus(GMainContext* context, std::chrono::milliseconds timeout) {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address == nullptr) {
        const ErrorPtr owned(error);
        return Error{"there is no session bus: " + messageOf(error)};
    }
    GCancellable* cancellable = g_cancellable_new();
    Connecting connecting;
    g_main_context_push_thread_default(context);
    g_dbus_connection_new_for_address(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable, onConnected, &connecting);
    GSource* deadline = g_timeout_source_new(static_cast<guint>(timeout.count()));
    g_source_set_callback(deadline, onDeadline, cancellable, nullptr);
    g_source_attach(deadline, context);
    while (!connecting.done) {
        g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(deadline);
    g_source_unref(deadline);
    g_main_context_pop_thread_default(context);
    g_object_unref(cancellable);
    const std::string where = address;
    g_free(address);
    if (connecting.connection == nullptr) {
        const ErrorPtr owned(connecting.error);
        return Error{"the session bus at " + where +
                     " does not answer: " + messageOf(connecting.error)};
    }
    return connecting.connection;
}

// Asks the bus to start the dconf service unless it runs; the bus answers within `timeout`.
Status dconfServiceRuns(GDBusConnection* bus, std::chrono::milliseconds timeout) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "StartServiceByName", g_variant_new("(su)", kDconfBusName, 0u), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(timeout.count()), nullptr, &error);
    if (reply == nullptr) {
        const ErrorPtr owned(error);
        return Error{"the dconf service does not run on the session bus: " + messageOf(error)};
    }
    g_variant_unref(reply);
    return Done{};
}

// Whether the session bus answers and the dconf service runs on it (started if need be), with a
// connection of its own that is closed again.
Status serviceReached(std::chrono::milliseconds timeout) {
    // The usual answer takes a socket of our own; GIO is asked when something is amiss, and says
    // what.
    if (const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS")) {
        switch (startServiceOverSocket(address, kDconfBusName, timeout)) {
        case BusProbe::ServiceRuns:
            return Done{};
        case BusProbe::TimedOut:
            return Error{"the session bus at " + std::string(address) + " did not answer within " +
                         std::to_string(timeout.count()) + " ms"};
        case BusProbe::Unknown:
            break;
        }
    }
    GMainContext* context = g_main_context_new();
    Result<GDBusConnection*> bus = sessionBus(context, timeout);
    if (!bus) {
        g_main_context_unref(context);
        return bus.error();
    }
    Status service = dconfServiceRuns(*bus, timeout);
    g_dbus_connection_close_sync(*bus, nullptr, nullptr);
    g_object_unref(*bus);
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_unref(context);
    return service;
}

} // namespace

DconfSettingsDatabase::DconfSettingsDatabase(std::chrono::milliseconds timeout)
    : m_timeout(timeout) {}

DconfSettingsDatabase::~DconfSettingsDatabase() {
    if (m_state == nullptr) {
        return;
    }
    g_object_unref(m_state->client);
    if (m_state->sharedBus != nullptr) {
        g_object_unref(m_state->sharedBus);
    }
    while (g_main_context_iteration(m_state->context, FALSE)) {
    }
    g_main_context_unref(m_state->context);
    delete m_state;
}

Status DconfSettingsDatabase::connect() {
    if (m_connection) {
        return *m_connection;
    }
    const Status service = m_ahead.valid() ? m_ahead.get() : serviceReached(m_timeout);
    if (!service) {
        m_connection = service;
        return *m_connection;
    }
    GMainContext* context = g_main_context_new();
    // The client reads the database file itself; the shared bus it changes keys over is opened
    // before the first change.
    g_main_context_push_thread_default(context);
    m_state = new DconfState{context, dconf_client_new(), nullptr};
    g_main_context_pop_thread_default(context);
    m_connection = Status(Done{});
    return *m_connection;
}

void DconfSettingsDatabase::reachAhead() {
    if (m_connection || m_ahead.valid()) {
        return;
    }
    std::packaged_task<Status()> check([timeout = m_timeout] { return serviceReached(timeout); });
    std::future<Status> reached = check.get_future();
    try {
        // Never joined: a bus that hangs must not hold up a program that no longer needs it.
        std::thread(std::move(check)).detach();
    } catch (const std::system_error&) {
        return; // the first call checks for itself
    }
    m_ahead = std::move(reached);
}

Result<SettingsValues> DconfSettingsDatabase::dump(const SettingsFolder& folder) {
    if (Status ok = checkedFolder(folder); !ok) {
        return ok.error();
    }
    if (Status ok = connect(); !ok) {
        return ok.error();
    }
    SettingsValues values;
    dumpInto(m_state->client, folder.path, folder, values);
    return values;
}

Result<std::vector<std::string>> DconfSettingsDatabase::lockedKeys(const SettingsFolder& folder) {
    if (Status ok = checkedFolder(folder); !ok) {
        return ok.error();
    }
    if (Status ok = connect(); !ok) {
        return ok.error();
    }
    gint length = 0;
    const StrvPtr locks(dconf_client_list_locks(m_state->client, folder.path.c_str(), &length));
    std::vector<std::string> keys;
    for (gint i = 0; i < length; ++i) {
        const std::string key = locks.get()[i];
        if (isInsideFolder(key, folder)) {
            keys.push_back(key);
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

Status DconfSettingsDatabase::replace(const SettingsFolder& folder, const SettingsValues& values) {
    if (Status ok = checkedFolder(folder); !ok) {
        return ok;
    }
    const std::unique_ptr<DConfChangeset, ChangesetUnref> change(dconf_changeset_new());
    std::vector<std::pair<std::string, VariantPtr>> parsed;
    for (const auto& [key, text] : values) {
        // A record is read from disk: a key outside the folder would change someone else's.
        if (!dconf_is_key(key.c_str(), nullptr) || !isInsideFolder(key, folder)) {
            return Error{"\"" + key + "\" is not a key of " + folder.path};
        }
        GError* error = nullptr;
        GVariant* value = g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, &error);
        if (value == nullptr) {
            const ErrorPtr owned(error);
            return Error{"the value of " + key + " cannot be read: " + messageOf(error)};
        }
        parsed.emplace_back(key, VariantPtr(g_variant_ref_sink(value)));
    }
    if (Status ok = connect(); !ok) {
        return ok;
    }
    if (m_state->sharedBus == nullptr) {
        // GLib ends the whole program when the shared session bus goes away; a reset in progress
        // gets an error from dconf instead.
        m_state->sharedBus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (m_state->sharedBus != nullptr) {
            g_dbus_connection_set_exit_on_close(m_state->sharedBus, FALSE);
        }
    }
    // The service drops a write of a key's current value from a change as having no effect,
    // even when the same change resets the key's folder, which then loses the key. So a folder
    // reset goes in whole only when nothing is written; otherwise each key written is set and
    // each other key is reset on its own.
    if (values.empty()) {
        resetAround(m_state->client, change.get(), folder.path, folder);
    } else {
        resetKeysNotIn(m_state->client, change.get(), folder.path, folder, values);
    }
    for (const auto& [key, value] : parsed) {
        // A locked key is not forced: the check after a restore names it.
        if (dconf_client_is_writable(m_state->client, key.c_str())) {
            dconf_changeset_set(change.get(), key.c_str(), value.get());
        }
    }
    GError* error = nullptr;
    const gboolean changed =
        dconf_client_change_sync(m_state->client, change.get(), nullptr, nullptr, &error);
    while (g_main_context_iteration(m_state->context, FALSE)) {
    }
    if (!changed) {
        const ErrorPtr owned(error);
        return Error{"dconf did not take the change to " + folder.path + ": " + messageOf(error)};
    }
    return Done{};
}

} // namespace corvane
