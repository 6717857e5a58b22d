// What the emulator enforces, so that a client passing the product tests
// against it could not be doing these things wrong: PKCE and one-time codes,
// repeated parameters, bearer tokens and their scopes, presigned storage
// addresses; and the standalone process the demo script runs. What every
// endpoint and fault does to the add-in is driven through the real client by
// the connector, upload workflow and fault matrix tests.

#include "cloud/pkce.h"
#include "emulator/account_service.h"
#include "tests/emulator/emulator_fixture.h"

#include <rapidjson/document.h>

#ifndef _WIN32
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <functional>
#include <map>

extern char** environ;

namespace emulator_test {
namespace {

using EXMIImpl::PkcePair;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The string member `name` of a JSON reply, or of its "data" object.
std::string memberOf(const std::string& body, const char* name) {
    rapidjson::Document doc;
    doc.Parse(body.c_str());
    if (!doc.IsObject()) return "";
    const rapidjson::Value& v = doc.HasMember("data") && doc["data"].IsObject() ? doc["data"] : doc;
    return v.HasMember(name) && v[name].IsString() ? v[name].GetString() : "";
}

TEST(Pkce, S256MatchesWithOrWithoutPaddingOnly) {
    // RFC 7636 appendix B.
    const std::string verifier = "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk";
    const std::string challenge = "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM";
    const struct {
        std::string verifier, challenge;
        bool matches;
    } cases[] = {
        {verifier, challenge, true},
        {verifier, challenge + "=", true},
        {verifier, "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw+cM=", false},  // base64, not base64url
        {verifier, "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(emulator::pkceMatches(c.verifier, c.challenge), c.matches) << c.challenge;
}

// Speaks to the account and API servers the way the add-in's cloud client
// does: same parameters, same order, same encodings.
class AccountTest : public EmulatorTest {
protected:
    std::string authorizeUrl(const PkcePair& pkce) const {
        return cloud->accountServer() + "/authorize?client_id=" + encode(kClientId) +
               "&redirect_uri=" + encode(cloud->redirectUri()) + "&scope=" + encode(kScopes) +
               "&response_type=code&state=STATE&code_challenge=" + encode(pkce.challenge) +
               "&code_challenge_method=S256";
    }
    // The code of a sign-in through the form (GET it, POST the credentials).
    std::string codeFor(const PkcePair& pkce) {
        const std::string form = get(authorizeUrl(pkce), options()).body;
        const std::string marker = "name=\"request_id\" value=\"";
        std::size_t at = form.find(marker);
        if (at == std::string::npos) return std::string();
        at += marker.size();
        Reply redirect =
            request("POST", cloud->accountServer() + "/authorize",
                    "request_id=" + encode(form.substr(at, form.find('"', at) - at)) + "&username=ada&password=secret",
                    options({"Content-Type: application/x-www-form-urlencoded"}));
        return queryParam(redirect.header("location"), "code");
    }
    std::string exchangeBody(const std::string& code, const std::string& verifier,
                             const std::string& clientId = kClientId) const {
        return "client_id=" + encode(clientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
               "&grant_type=authorization_code&scope=" + encode(kScopes) + "&code=" + code +
               "&code_verifier=" + encode(verifier);
    }
    Reply postToken(const std::string& body) {
        return request("POST", cloud->accountServer() + "/token", body,
                       options({"Content-Type: application/x-www-form-urlencoded"}));
    }
    Reply announce(const std::string& token, const std::string& projectId, std::uint64_t size, bool job = false) {
        std::string body = std::string("{\"data\":{\"content_type\":\"") +
                           (job ? "text/plain" : "application/vnd.ms-package.3dmanufacturing-3dmodel+xml") + "\",\"" +
                           (job ? "job_name" : "file_name") + "\":\"" + (job ? "part.gcode" : "part.3mf") +
                           "\",\"file_size\":" + std::to_string(size) + ",\"library_project_id\":\"" + projectId +
                           "\",\"origin\":\"Quorvane Kalvix\"}}";
        return request("PUT", cloud->apiBase() + (job ? "/jobs/upload" : "/files/upload"), body,
                       bearer(token, {"Content-Type: application/json"}));
    }
};

TEST_F(AccountTest, TokenEndpointChecksTheVerifierSpendsCodesAndRefusesRepeatedParameters) {
    const PkcePair pkce = EXMIImpl::makePkcePair();
    const struct {
        const char* what;
        std::function<std::string(const std::string& code)> body;
        long status;
        const char* says;
        bool codeSpent;  // whether the right verifier is refused afterwards
    } cases[] = {
        {"wrong verifier",
         [&](const std::string& code) { return exchangeBody(code, EXMIImpl::makePkcePair().verifier); }, 400,
         "PKCE verification failed", true},
        {"malformed verifier", [&](const std::string& code) { return exchangeBody(code, "abc"); }, 400,
         "PKCE verification failed", true},
        {"repeated code", [&](const std::string& code) { return exchangeBody(code, pkce.verifier) + "&code=" + code; },
         400, "repeated parameter", false},
        {"unknown client", [&](const std::string& code) { return exchangeBody(code, pkce.verifier, "sv-other"); }, 401,
         "invalid_client", false},
    };
    for (const auto& c : cases) {
        const std::string code = codeFor(pkce);
        ASSERT_FALSE(code.empty());
        Reply refused = postToken(c.body(code));
        EXPECT_EQ(refused.status, c.status) << c.what;
        EXPECT_TRUE(contains(refused.body, c.says)) << c.what << ": " << refused.body;
        EXPECT_EQ(postToken(exchangeBody(code, pkce.verifier)).status, c.codeSpent ? 400 : 200) << c.what;
    }

    // A code presented again withdraws the tokens it was exchanged for.
    const std::string code = codeFor(pkce);
    const std::string access = memberOf(postToken(exchangeBody(code, pkce.verifier)).body, "access_token");
    ASSERT_FALSE(access.empty());
    EXPECT_EQ(get(cloud->apiBase() + "/projects", bearer(access)).status, 200);
    Reply reused = postToken(exchangeBody(code, pkce.verifier));
    EXPECT_EQ(reused.status, 400);
    EXPECT_TRUE(contains(reused.body, "already used")) << reused.body;
    EXPECT_EQ(get(cloud->apiBase() + "/projects", bearer(access)).status, 401);

    // A repeated authorize parameter goes back to the client, with no code.
    Reply repeated = get(authorizeUrl(pkce) + "&state=STATE", options());
    EXPECT_EQ(repeated.status, 302);
    EXPECT_EQ(queryParam(repeated.header("location"), "error"), "invalid_request");
    EXPECT_EQ(queryParam(repeated.header("location"), "code"), "");
}

TEST_F(AccountTest, EveryApiEndpointRequiresABearerTokenWithTheRightScope) {
    std::string project = cloud->addProject("Seed", "");
    const struct {
        std::string method, path, body;
    } calls[] = {
        {"GET", "/projects", ""},
        {"PUT", "/projects", "{\"data\":{\"display_name\":\"x\",\"description\":\"\"}}"},
        {"POST", "/projects/" + project, "{}"},
        {"PUT", "/files/upload", ""},
        {"PUT", "/jobs/upload", ""},
    };
    for (const auto& c : calls) {
        for (const char* authorization : {"", "Authorization: Bearer not-a-token", "Authorization: Basic eDp5"}) {
            std::vector<std::string> headers = {"Content-Type: application/json"};
            if (*authorization) headers.push_back(authorization);
            Reply r = request(c.method, cloud->apiBase() + c.path, c.body, options(headers));
            EXPECT_EQ(r.status, 401) << c.method << " " << c.path << " " << authorization;
            EXPECT_EQ(r.header("www-authenticate").rfind("Bearer", 0), 0u);
        }
    }

    std::string readOnly = cloud->issueAccessToken({"library.project.read"});
    EXPECT_EQ(get(cloud->apiBase() + "/projects", bearer(readOnly)).status, 200);
    Reply create = request("PUT", cloud->apiBase() + "/projects", "{\"data\":{\"display_name\":\"x\"}}",
                           bearer(readOnly, {"Content-Type: application/json"}));
    EXPECT_EQ(create.status, 403);
    EXPECT_TRUE(contains(create.header("www-authenticate"), "insufficient_scope"));
    std::string meshOnly = cloud->issueAccessToken({"plyx.mesh.write"});
    EXPECT_EQ(announce(meshOnly, project, 10, false).status, 201);
    EXPECT_EQ(announce(meshOnly, project, 10, true).status, 403);
}

TEST_F(AccountTest, StorageAddressTakesOneUploadOfTheAnnouncedSizeWithoutAuthorization) {
    const std::string token = cloud->issueAccessToken();
    const std::string url = memberOf(announce(token, cloud->addProject("P", ""), 100).body, "upload_url");
    ASSERT_FALSE(url.empty());
    const std::string type = "Content-Type: application/vnd.ms-package.3dmanufacturing-3dmodel+xml";
    // In order, against the one address: refusals leave it unspent.
    const struct {
        const char* what;
        std::string url;
        std::size_t size;
        std::vector<std::string> headers;
        long status;
    } steps[] = {
        {"with Authorization", url, 100, {type, "Authorization: Bearer " + token}, 403},
        {"one byte short", url, 99, {type}, 400},
        {"one byte over", url, 101, {type}, 400},
        {"chunked, over", url, 120, {type, "Transfer-Encoding: chunked"}, 400},
        {"announced size", url, 100, {type}, 200},
        {"address spent", url, 100, {type}, 403},
        {"unknown address", cloud->accountServer() + "/storage/" + std::string(64, 'a'), 100, {type}, 404},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(request("PUT", s.url, randomBytes(s.size, 131), options(s.headers)).status, s.status) << s.what;
    }
    ASSERT_EQ(cloud->storedFiles().size(), 1u);
    EXPECT_EQ(cloud->storedFiles()[0].size, 100u);
}

#ifndef _WIN32

// The standalone executable with pipes on its standard input and output.
class Process {
public:
    explicit Process(std::vector<std::string> args) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~Process() {
        closeStdin();
        if (stdout_ >= 0) close(stdout_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    void closeStdin() {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
    }
    // Reads until `marker` appears in the output or the deadline passes.
    bool readUntil(const std::string& marker, std::chrono::seconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!contains(output, marker)) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{stdout_, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[4096];
            ssize_t got = read(stdout_, buffer, sizeof buffer);
            if (got <= 0) return contains(output, marker);
            output.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output;

private:
    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1;
};

std::map<std::string, std::string> exportsOf(const std::string& output) {
    std::map<std::string, std::string> values;
    std::size_t pos = 0;
    while ((pos = output.find("export ", pos)) != std::string::npos) {
        std::size_t eq = output.find('=', pos);
        std::size_t end = output.find('\n', eq);
        std::string value = output.substr(eq + 1, end - eq - 1);
        if (value.size() >= 2 && value.front() == '\'') value = value.substr(1, value.size() - 2);
        values[output.substr(pos + 7, eq - pos - 7)] = value;
        pos = end;
    }
    return values;
}

#endif

TEST(Standalone, PrintsAddressesServesAndReportsStateWhenStdinCloses) {
#ifdef _WIN32
    GTEST_SKIP() << "the emulator program is built for Linux only; the Windows demo uses it from there";
#else
    Process p({EMULATOR_EXE, "--project", "Seeded", "--fault", "projects-list=502,once"});
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(p.readUntil("# stratavox-emulator ready", std::chrono::seconds(20))) << p.output;
    std::map<std::string, std::string> env = exportsOf(p.output);
    ASSERT_EQ(env.size(), 5u) << p.output;
    const std::string origin = env["STRATAVOX_ACCOUNT_SERVER"];
    EXPECT_EQ(origin.rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(env["STRATAVOX_API_BASE"], origin + "/plyx/v1");

    RequestOptions o;
    o.caBundle = env["STRATAVOX_CA_BUNDLE"];
    // The fault from the command line is armed; without a token the API
    // would answer 401, so a 502 proves the fault came first.
    EXPECT_EQ(get(env["STRATAVOX_API_BASE"] + "/projects", o).status, 502);
    EXPECT_EQ(get(env["STRATAVOX_API_BASE"] + "/projects", o).status, 401);

    p.closeStdin();
    ASSERT_TRUE(p.readUntil("\"stored_files\"", std::chrono::seconds(20))) << p.output;
    EXPECT_EQ(p.wait(), 0);
    rapidjson::Document doc;
    doc.Parse(p.output.substr(p.output.find('{')).c_str());
    ASSERT_TRUE(doc.IsObject() && doc["projects"].IsArray() && doc["projects"].Size() == 1u) << p.output;
    EXPECT_STREQ(doc["projects"][0]["display_name"].GetString(), "Seeded");
    EXPECT_NE(access(env["STRATAVOX_CA_BUNDLE"].c_str(), F_OK), 0);  // removed at exit

    for (const std::vector<std::string>& refusedArgs :
         {std::vector<std::string>{EMULATOR_EXE, "--fault", "token=explode"}, {EMULATOR_EXE, "--frobnicate"}}) {
        Process refused(refusedArgs);
        ASSERT_TRUE(refused.started());
        EXPECT_EQ(refused.wait(), 2) << refusedArgs[1];
    }
#endif
}

}  // namespace
}  // namespace emulator_test
