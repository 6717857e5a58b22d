#pragma once
// CredentialStore: one secret per account server in the operating system's
// own credential store, never in a file of ours. Its entry holds the secret
// and the account server it belongs to, nothing else, and the server is part
// of the entry's name, so a test server and the production server never
// share one. forThisSystem() gives the system's store: the Credential
// Manager on Windows (WindowsCredentialStore), the Secret Service on Linux
// (SecretServiceStore).
//
// Every call blocks its caller, but never for long: a store that does not
// answer within kCallLimit counts as unreachable. An object is used on one
// thread at a time (the add-in's: the host's UI thread).

#include <chrono>
#include <memory>
#include <string>

namespace platform {

class CredentialStore {
public:
    static constexpr std::chrono::milliseconds kCallLimit{3000};

    enum class Outcome {
        Done,
        Missing,      // no entry for this account server
        Unreachable,  // no store answered, or it refused the call
    };

    virtual ~CredentialStore() = default;

    // Creates or replaces the entry of `accountServer`.
    virtual Outcome save(const std::string& accountServer, const std::string& secret) = 0;
    // The entry's secret into `secret` when Done.
    virtual Outcome load(const std::string& accountServer, std::string& secret) = 0;
    virtual Outcome remove(const std::string& accountServer) = 0;

    static std::unique_ptr<CredentialStore> forThisSystem();
};

}  // namespace platform
