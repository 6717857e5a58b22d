#include "platform/credential_store.h"

#ifdef _WIN32
#include "platform/windows_credential_store.h"
#else
#include "platform/secret_service_store.h"
#endif

namespace platform {

std::unique_ptr<CredentialStore> CredentialStore::forThisSystem() {
#ifdef _WIN32
    return std::make_unique<WindowsCredentialStore>();
#else
    return std::make_unique<SecretServiceStore>();
#endif
}

}  // namespace platform
