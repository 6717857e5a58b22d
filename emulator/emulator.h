#pragma once
// CloudEmulator: a local stand-in for the vendor's account server (OAuth 2.0
// authorization code + PKCE), cloud API ("/plyx/v1") and upload storage,
// served over HTTPS on one loopback port with a throwaway CA made at start.
//
// Owns: the HTTPS server and its listener and worker threads, a temporary
// folder holding the CA bundle (and the uploaded bytes unless
// Options::storageDir names another place), and every piece of service
// state (sessions, codes, tokens, projects, upload URLs, stored files,
// recorded requests, armed faults). The server runs on its own threads from
// start() to stop(); every public member may be called from any thread.
// The destructor stops the server and removes the temporary folder.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace emulator {

// The endpoints a fault can be armed for.
enum class Endpoint {
    Authorize,      // GET/POST /authorize
    Token,          // POST /token
    ProjectsList,   // GET  /plyx/v1/projects
    ProjectCreate,  // PUT  /plyx/v1/projects
    Thumbnail,      // POST /plyx/v1/projects/{id}
    FilesAnnounce,  // PUT  /plyx/v1/files/upload
    JobsAnnounce,   // PUT  /plyx/v1/jobs/upload
    StoragePut,     // PUT  on a one-time upload URL
};

// Command-line names: "authorize", "token", "projects-list",
// "project-create", "thumbnail", "files-announce", "jobs-announce",
// "storage-put".
std::string endpointName(Endpoint endpoint);
bool parseEndpoint(const std::string& name, Endpoint& endpoint);
std::vector<Endpoint> allEndpoints();

struct Fault {
    enum class Kind {
        None,
        Status,                // answer `status` with `body`
        MalformedJson,         // 200 with a body that is not valid JSON
        WrongType,             // 200 with valid JSON whose key member has the wrong type
        Delay,                 // wait `delaySeconds`, then answer normally
        DropConnection,        // send headers announcing a longer body, then close
        UntrustedCertificate,  // TLS handshake with a certificate from another CA
    };
    Kind kind = Kind::None;
    int status = 500;
    std::string body;  // Status only; empty means a small JSON error object
    double delaySeconds = 0;
    bool oneShot = false;  // fires for the next matching request only

    static Fault statusCode(int status, std::string body = {}, bool oneShot = false);
    static Fault malformedJson(bool oneShot = false);
    static Fault wrongType(bool oneShot = false);
    static Fault delay(double seconds, bool oneShot = false);
    static Fault dropConnection(bool oneShot = false);
    static Fault untrustedCertificate(bool oneShot = false);
};

// Fault texts as the command line takes them: "500", "status:503",
// "status:403:denied", "malformed", "wrongtype", "delay:2.5", "drop",
// "untrusted", each optionally followed by ",once".
bool parseFault(const std::string& spec, Fault& fault, std::string* error = nullptr);
// "ENDPOINT=SPEC", e.g. "token=500,once".
bool parseFaultAssignment(const std::string& text, Endpoint& endpoint, Fault& fault, std::string* error = nullptr);

struct Project {
    std::string id;
    std::string name;
    std::string description;
    // Last thumbnail set through POST /plyx/v1/projects/{id}; empty when none.
    std::string thumbnailContentType;
    std::uint64_t thumbnailSize = 0;  // decoded bytes
    std::string thumbnailSha256;      // lower-case hex of the decoded bytes
    int thumbnailWidth = 0;
    int thumbnailHeight = 0;
};

struct StoredFile {
    std::string name;               // "file_name" or "job_name" of the announcement
    std::string contentType;        // "content_type" of the announcement
    std::string uploadContentType;  // Content-Type header of the storage PUT
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hex of the stored bytes
    std::string projectId;
    std::string kind;  // "file" or "job"
    std::string id;    // file id, or the job id for "job"
    std::string origin;
    std::string path;  // where the bytes lie; removed at stop unless storageDir is set
    // Steady-clock times (the system's monotonic clock, comparable between
    // processes on one machine): the PUT's first body byte and its answer.
    std::chrono::steady_clock::time_point firstByteAt;
    std::chrono::steady_clock::time_point answeredAt;
};

struct RecordedRequest {
    std::string method;
    std::string path;                                          // decoded path without the query
    std::string query;                                         // raw query text after '?', empty when none
    std::vector<std::pair<std::string, std::string>> headers;  // ordered by name
    std::string body;                                          // empty for storage PUTs (see bodySize)
    std::uint64_t bodySize = 0;
    int status = 0;  // status the emulator answered (0 when the connection was dropped)

    // Case-insensitive header lookup; empty when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

class CloudEmulator {
public:
    struct Options {
        std::string host = "127.0.0.1";
        int port = 0;  // 0: an ephemeral port
        std::string clientId = "sv-----------------------quorvane_kalvix_app";
        // Empty: the emulator's own redirectUri(); otherwise the one registered URI.
        std::string redirectUri;
        std::vector<std::string> allowedScopes = {"account.user.read", "plyx.mesh.write", "library.project.write",
                                                  "library.project.read", "plyx.printjob.write"};
        std::string user;  // empty: any non-empty user name signs in
        std::string password = "secret";
        std::chrono::seconds tokenLifetime{3600};
        std::chrono::seconds codeLifetime{60};
        std::chrono::seconds uploadUrlLifetime{3600};
        bool rememberSession = true;  // sign-in sets a session cookie that skips the form
        std::string storageDir;       // empty: inside the temporary folder
        std::uint64_t maxThumbnailBytes = 8u * 1024u * 1024u;
    };

    CloudEmulator();
    explicit CloudEmulator(Options options);
    ~CloudEmulator();
    CloudEmulator(const CloudEmulator&) = delete;
    CloudEmulator& operator=(const CloudEmulator&) = delete;

    // Makes the certificates, binds the port and starts serving. False (with
    // lastError()) when anything fails; calling it while running is a no-op.
    bool start();
    // Stops serving, wakes delayed answers, joins the threads and removes the
    // temporary folder. State (projects, stored files, requests) stays readable.
    void stop();
    bool running() const;
    std::string lastError() const;

    int port() const;
    std::string caBundlePath() const;   // PEM of the throwaway CA
    std::string accountServer() const;  // https://127.0.0.1:PORT
    std::string apiBase() const;        // ... + "/plyx/v1"
    std::string webApp() const;         // ... + "/app/library/"
    std::string redirectUri() const;    // ... + "/stratavox/" (or Options::redirectUri)
    // The shell lines a client needs: "export STRATAVOX_...=..." one per line.
    std::string environmentExports() const;

    // Faults other than Delay answer in place of the endpoint, so nothing is
    // created or stored (a malformed/wrongly typed storage answer follows a
    // normal store). UntrustedCertificate acts at the TLS handshake, before
    // the path is known: it applies to the next connection(s) whatever
    // endpoint it is set for, and clearFault of that endpoint removes it.
    void setFault(Endpoint endpoint, Fault fault);
    void clearFault(Endpoint endpoint);
    void clearFaults();

    void setTokenLifetime(std::chrono::seconds lifetime);
    // Makes every access token issued so far expired (refresh tokens stay valid).
    void expireAccessTokens();

    // Test shortcuts that skip the HTTP round trips.
    // Takes a full authorize address (or only its query) as the client composes
    // it, validates it as GET /authorize does and signs `user` in; returns the
    // redirect address with "code" and "state", or empty with *error set.
    std::string authorizeDirect(const std::string& authorizeUrl, const std::string& user = "tester",
                                std::string* error = nullptr);
    // The same sign-in turned down by the user: the redirect address with
    // "error", "error_description" (left out when empty) and "state".
    std::string denyDirect(const std::string& authorizeUrl, const std::string& error, const std::string& description);
    // Issues an access token with the given scopes (empty: all allowed scopes).
    std::string issueAccessToken(const std::vector<std::string>& scopes = {});
    // Adds a project as if created through the API; returns its id.
    std::string addProject(const std::string& name, const std::string& description);

    std::vector<Project> projects() const;
    std::vector<StoredFile> storedFiles() const;
    std::vector<RecordedRequest> requests() const;
    void clearRequests();
    // Everything above as one JSON document (projects, stored files).
    std::string stateJson() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace emulator
