#ifdef _WIN32

#include "platform/windows_credential_store.h"

#include <windows.h>

#include <wincred.h>

#include "platform/utf.h"

namespace platform {
namespace {

// The credential's target: what the Credential Manager lists, and what
// keeps one server's entry apart from another's.
bool targetOf(const std::string& accountServer, std::wstring& target) {
    std::u16string server;
    if (!utf8ToUtf16("StrataVox Fabriqo sign-in at " + accountServer, server)) return false;
    target.assign(server.begin(), server.end());
    return true;
}

}  // namespace

CredentialStore::Outcome WindowsCredentialStore::save(const std::string& accountServer, const std::string& secret) {
    std::wstring target;
    if (!targetOf(accountServer, target) || secret.size() > CRED_MAX_CREDENTIAL_BLOB_SIZE) return Outcome::Unreachable;
    CREDENTIALW credential = {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = &target[0];
    credential.CredentialBlobSize = static_cast<DWORD>(secret.size());
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<char*>(secret.data()));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    wchar_t userName[] = L"refresh token";
    credential.UserName = userName;
    return CredWriteW(&credential, 0) ? Outcome::Done : Outcome::Unreachable;
}

CredentialStore::Outcome WindowsCredentialStore::load(const std::string& accountServer, std::string& secret) {
    std::wstring target;
    if (!targetOf(accountServer, target)) return Outcome::Unreachable;
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &credential))
        return GetLastError() == ERROR_NOT_FOUND ? Outcome::Missing : Outcome::Unreachable;
    secret.assign(reinterpret_cast<const char*>(credential->CredentialBlob), credential->CredentialBlobSize);
    SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    CredFree(credential);
    return Outcome::Done;
}

CredentialStore::Outcome WindowsCredentialStore::remove(const std::string& accountServer) {
    std::wstring target;
    if (!targetOf(accountServer, target)) return Outcome::Unreachable;
    if (CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0)) return Outcome::Done;
    return GetLastError() == ERROR_NOT_FOUND ? Outcome::Missing : Outcome::Unreachable;
}

}  // namespace platform

#endif
