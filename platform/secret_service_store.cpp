#include "platform/secret_service_store.h"

#include <dlfcn.h>
#include <libsecret/secret.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>

namespace platform {
namespace {

const SecretSchema* signInSchema() {
    static const SecretSchema schema = {"com.stratavox.fabriqo.SignIn",
                                        SECRET_SCHEMA_NONE,
                                        {
                                            {"account-server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        },
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// Whether the session has a bus to ask, looked up as GLib does but without
// its last resort, an X11 autolaunch that would start a bus of its own (and
// wait for it). Without one, nothing of GLib is started at all.
bool hasSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat status;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &status) == 0 &&
           S_ISSOCK(status.st_mode);
}

// GLib, GObject and GIO stay loaded once loaded, and so must libsecret: its
// types live on in GObject's registry, and GDBus's thread keeps running,
// after the host unloads the add-in.
void pinLibsecret() {
    static const bool pinned = dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
    (void)pinned;
}

// One asynchronous libsecret call, waited for on `context` against the call
// limit. `start` begins it with the cancellable, the callback and its data;
// the finished result is handed to `finish`.
void runBounded(GMainContext* context, const std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>& start,
                const std::function<void(GAsyncResult*)>& finish) {
    struct Call {
        GAsyncResult* result = nullptr;
    } call;
    pinLibsecret();
    g_main_context_push_thread_default(context);
    GCancellable* cancellable = g_cancellable_new();
    GSource* timer = g_timeout_source_new(static_cast<guint>(CredentialStore::kCallLimit.count()));
    g_source_set_callback(
        timer,
        [](gpointer data) -> gboolean {
            g_cancellable_cancel(static_cast<GCancellable*>(data));
            return G_SOURCE_REMOVE;
        },
        cancellable, nullptr);
    g_source_attach(timer, context);
    start(
        cancellable,
        [](GObject*, GAsyncResult* result, gpointer data) {
            static_cast<Call*>(data)->result = G_ASYNC_RESULT(g_object_ref(result));
        },
        &call);
    // A cancelled call still ends through its callback.
    while (!call.result) g_main_context_iteration(context, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    finish(call.result);
    g_object_unref(call.result);
    g_object_unref(cancellable);
    g_main_context_pop_thread_default(context);
}

}  // namespace

SecretServiceStore::SecretServiceStore() : context(g_main_context_new()) {}

SecretServiceStore::~SecretServiceStore() {
    // Whatever is still queued for this context goes with it.
    while (g_main_context_iteration(context, FALSE)) {}
    g_main_context_unref(context);
}

CredentialStore::Outcome SecretServiceStore::save(const std::string& accountServer, const std::string& secret) {
    if (!hasSessionBus()) return Outcome::Unreachable;
    const std::string label = "StrataVox Fabriqo sign-in at " + accountServer;
    Outcome outcome = Outcome::Unreachable;
    runBounded(
        context,
        [&](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            secret_password_store(signInSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), cancellable,
                                  done, data, "account-server", accountServer.c_str(), nullptr);
        },
        [&](GAsyncResult* result) {
            GError* error = nullptr;
            if (secret_password_store_finish(result, &error)) outcome = Outcome::Done;
            g_clear_error(&error);
        });
    return outcome;
}

CredentialStore::Outcome SecretServiceStore::load(const std::string& accountServer, std::string& secret) {
    if (!hasSessionBus()) return Outcome::Unreachable;
    Outcome outcome = Outcome::Unreachable;
    runBounded(
        context,
        [&](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            secret_password_lookup(signInSchema(), cancellable, done, data, "account-server", accountServer.c_str(),
                                   nullptr);
        },
        [&](GAsyncResult* result) {
            GError* error = nullptr;
            gchar* found = secret_password_lookup_finish(result, &error);
            if (error) {
                outcome = Outcome::Unreachable;
            } else if (!found) {
                outcome = Outcome::Missing;
            } else {
                secret = found;
                outcome = Outcome::Done;
            }
            // Wiped before it is freed.
            secret_password_free(found);
            g_clear_error(&error);
        });
    return outcome;
}

CredentialStore::Outcome SecretServiceStore::remove(const std::string& accountServer) {
    if (!hasSessionBus()) return Outcome::Unreachable;
    Outcome outcome = Outcome::Unreachable;
    runBounded(
        context,
        [&](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            secret_password_clear(signInSchema(), cancellable, done, data, "account-server", accountServer.c_str(),
                                  nullptr);
        },
        [&](GAsyncResult* result) {
            GError* error = nullptr;
            const gboolean removed = secret_password_clear_finish(result, &error);
            outcome = error ? Outcome::Unreachable : removed ? Outcome::Done : Outcome::Missing;
            g_clear_error(&error);
        });
    return outcome;
}

}  // namespace platform
