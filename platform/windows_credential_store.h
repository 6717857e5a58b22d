#pragma once
// WindowsCredentialStore: the CredentialStore of Windows, the user's
// Credential Manager. One generic credential per account server, persisted
// on this computer only (not roamed), its target naming the server and its
// blob holding the secret. The Credential Manager answers locally, so its
// calls are short. Used on one thread at a time.

#ifdef _WIN32

#include <string>

#include "platform/credential_store.h"

namespace platform {

class WindowsCredentialStore : public CredentialStore {
public:
    Outcome save(const std::string& accountServer, const std::string& secret) override;
    Outcome load(const std::string& accountServer, std::string& secret) override;
    Outcome remove(const std::string& accountServer) override;
};

}  // namespace platform

#endif
