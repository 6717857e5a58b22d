#pragma once
// SecretServiceStore: the CredentialStore of a Linux desktop, the freedesktop
// Secret Service on the session bus (gnome-keyring, KWallet and others),
// reached through libsecret. Entries go into the default collection under a
// schema of the add-in's own, whose one attribute is the account server.
//
// libsecret's blocking calls wait as long as D-Bus lets them, so each call
// here runs libsecret's asynchronous form on a main context of this object's
// own, iterated by the calling thread until the answer comes or a timeout
// cancels it after kCallLimit. A session without a bus (no
// DBUS_SESSION_BUS_ADDRESS, no $XDG_RUNTIME_DIR/bus) has no store, and then
// nothing of GLib is started. Once used, GLib's own threads and libsecret stay
// in the process after the add-in is unloaded. Used on one thread at a time.

#include <string>

#include "platform/credential_store.h"

typedef struct _GMainContext GMainContext;

namespace platform {

class SecretServiceStore : public CredentialStore {
public:
    SecretServiceStore();
    ~SecretServiceStore() override;
    SecretServiceStore(const SecretServiceStore&) = delete;
    SecretServiceStore& operator=(const SecretServiceStore&) = delete;

    Outcome save(const std::string& accountServer, const std::string& secret) override;
    Outcome load(const std::string& accountServer, std::string& secret) override;
    Outcome remove(const std::string& accountServer) override;

private:
    GMainContext* context;
};

}  // namespace platform
