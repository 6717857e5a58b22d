// What the emulator enforces, so that a client passing the product tests
// against it could not be doing these things wrong: PKCE and one-time codes,
// repeated parameters, bearer tokens and their scopes, presigned storage
// addresses; and the standalone process the demo script runs. What every
// endpoint and fault does to the add-in is driven through the real client by
// the connector, upload workflow and fault matrix tests.

#include "cloud/cloud_json.h"
#include "cloud/pkce.h"
#include "emulator/account_service.h"
#include "net/http_client.h"
#include "tests/emulator/emulator_fixture.h"
#include "tests/support/scratch.h"

#include <rapidjson/document.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#endif

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace emulator_test {
namespace {

using EXMIImpl::HttpHeaders;
using EXMIImpl::HttpResponse;
using EXMIImpl::PkcePair;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One request through the add-in's network layer, trusting `caBundle`; a
// body goes with the headers' Content-Type.
HttpResponse send(const std::string& caBundle, const std::string& method, const std::string& url,
                  HttpHeaders headers = {}, const std::string& body = "") {
    const EXMIImpl::HttpSettings trust{std::chrono::seconds(20), std::chrono::seconds(0), caBundle};
    if (method == "GET") return EXMIImpl::httpGet(url, headers, trust);
    const std::string type = headers["Content-Type"];
    return (method == "POST" ? EXMIImpl::httpPost : EXMIImpl::httpPut)(url, type, body, headers, trust);
}

TEST(Pkce, S256MatchesWithOrWithoutPaddingOnly) {
    // RFC 7636 appendix B; then base64 instead of base64url, and nothing.
    for (const auto& c : std::map<std::string, bool>{{"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM", true},
                                                     {"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM=", true},
                                                     {"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw+cM=", false},
                                                     {"", false}}) {
        EXPECT_EQ(emulator::pkceMatches("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk", c.first), c.second) << c.first;
    }
}

// Speaks to the account and API servers the way the add-in's cloud client
// does: same parameters, same order, same encodings.
class AccountTest : public EmulatorTest {
protected:
    HttpResponse call(const std::string& method, const std::string& url, HttpHeaders headers = {},
                      const std::string& body = "") const {
        return send(cloud->caBundlePath(), method, url, std::move(headers), body);
    }
    unsigned projectsStatus(const std::string& token) const {
        return call("GET", cloud->apiBase() + "/projects", {{"Authorization", "Bearer " + token}}).status;
    }
    std::string authorizeUrl(const PkcePair& pkce) const {
        return cloud->accountServer() + "/authorize?client_id=" + encode(kClientId) +
               "&redirect_uri=" + encode(cloud->redirectUri()) + "&scope=" + encode(kScopes) +
               "&response_type=code&state=STATE&code_challenge=" + encode(pkce.challenge) +
               "&code_challenge_method=S256";
    }
    HttpResponse postForm(const std::string& path, const std::string& body) const {
        return call("POST", cloud->accountServer() + path, {{"Content-Type", "application/x-www-form-urlencoded"}},
                    body);
    }
    // The code of a sign-in through the form (GET it, POST the credentials).
    std::string codeFor(const PkcePair& pkce) const {
        const std::string form = call("GET", authorizeUrl(pkce)).body;
        const std::string marker = "name=\"request_id\" value=\"";
        std::size_t at = form.find(marker);
        if (at == std::string::npos) return std::string();
        at += marker.size();
        HttpResponse redirect =
            postForm("/authorize", "request_id=" + encode(form.substr(at, form.find('"', at) - at)) +
                                       "&username=ada&password=secret");
        return queryParam(redirect.headers["Location"], "code");
    }
    std::string exchangeBody(const std::string& code, const std::string& verifier,
                             const std::string& clientId = kClientId) const {
        return "client_id=" + encode(clientId) + "&redirect_uri=" + encode(cloud->redirectUri()) +
               "&grant_type=authorization_code&scope=" + encode(kScopes) + "&code=" + code +
               "&code_verifier=" + encode(verifier);
    }
    HttpResponse announce(const std::string& token, const std::string& projectId, std::uint64_t size,
                          bool job = false) const {
        return call(
            "PUT", cloud->apiBase() + (job ? "/jobs/upload" : "/files/upload"),
            {{"Content-Type", "application/json"}, {"Authorization", "Bearer " + token}},
            EXMIImpl::announcementBody(job ? "text/plain" : "application/vnd.ms-package.3dmanufacturing-3dmodel+xml",
                                       job, job ? "part.gcode" : "part.3mf", size, projectId, "Quorvane Kalvix"));
    }
};

TEST_F(AccountTest, TokenEndpointChecksTheVerifierSpendsCodesAndRefusesRepeatedParameters) {
    const PkcePair pkce = EXMIImpl::makePkcePair();
    const struct {
        const char* what;
        std::string verifier, clientId;
        bool codeTwice;
        unsigned status;
        const char* says;
        bool codeSpent;  // whether the right verifier is refused afterwards
    } cases[] = {
        {"wrong verifier", EXMIImpl::makePkcePair().verifier, kClientId, false, 400, "PKCE verification failed", true},
        {"malformed verifier", "abc", kClientId, false, 400, "PKCE verification failed", true},
        {"repeated code", pkce.verifier, kClientId, true, 400, "repeated parameter", false},
        {"unknown client", pkce.verifier, "sv-other", false, 401, "invalid_client", false},
    };
    for (const auto& c : cases) {
        const std::string code = codeFor(pkce);
        ASSERT_FALSE(code.empty());
        HttpResponse refused =
            postForm("/token", exchangeBody(code, c.verifier, c.clientId) + (c.codeTwice ? "&code=" + code : ""));
        EXPECT_EQ(refused.status, c.status) << c.what;
        EXPECT_TRUE(contains(refused.body, c.says)) << c.what << ": " << refused.body;
        EXPECT_EQ(postForm("/token", exchangeBody(code, pkce.verifier)).status, c.codeSpent ? 400u : 200u) << c.what;
    }

    // A code presented again withdraws the tokens it was exchanged for.
    const std::string code = codeFor(pkce);
    const std::string access =
        EXMIImpl::readTokenAnswer(postForm("/token", exchangeBody(code, pkce.verifier)).body).accessToken;
    ASSERT_FALSE(access.empty());
    EXPECT_EQ(projectsStatus(access), 200u);
    HttpResponse reused = postForm("/token", exchangeBody(code, pkce.verifier));
    EXPECT_EQ(reused.status, 400u);
    EXPECT_TRUE(contains(reused.body, "already used")) << reused.body;
    EXPECT_EQ(projectsStatus(access), 401u);

    // A repeated authorize parameter goes back to the client, with no code.
    HttpResponse repeated = call("GET", authorizeUrl(pkce) + "&state=STATE");
    EXPECT_EQ(repeated.status, 302u);
    EXPECT_EQ(queryParam(repeated.headers["Location"], "error"), "invalid_request");
    EXPECT_EQ(queryParam(repeated.headers["Location"], "code"), "");
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
        for (const char* authorization : {"", "Bearer not-a-token", "Basic eDp5"}) {
            HttpHeaders headers = {{"Content-Type", "application/json"}};
            if (*authorization) headers["Authorization"] = authorization;
            HttpResponse r = call(c.method, cloud->apiBase() + c.path, headers, c.body);
            EXPECT_EQ(r.status, 401u) << c.method << " " << c.path << " " << authorization;
            EXPECT_EQ(r.headers["WWW-Authenticate"].rfind("Bearer", 0), 0u);
        }
    }

    std::string readOnly = cloud->issueAccessToken({"library.project.read"});
    EXPECT_EQ(projectsStatus(readOnly), 200u);
    HttpResponse create = call("PUT", cloud->apiBase() + "/projects",
                               {{"Content-Type", "application/json"}, {"Authorization", "Bearer " + readOnly}},
                               "{\"data\":{\"display_name\":\"x\"}}");
    EXPECT_EQ(create.status, 403u);
    EXPECT_TRUE(contains(create.headers["WWW-Authenticate"], "insufficient_scope"));
    std::string meshOnly = cloud->issueAccessToken({"plyx.mesh.write"});
    EXPECT_EQ(announce(meshOnly, project, 10, false).status, 201u);
    EXPECT_EQ(announce(meshOnly, project, 10, true).status, 403u);
}

TEST_F(AccountTest, StorageAddressTakesOneUploadOfTheAnnouncedSizeWithoutAuthorization) {
    const std::string token = cloud->issueAccessToken();
    const std::string url = EXMIImpl::readUploadUrl(announce(token, cloud->addProject("P", ""), 100).body);
    ASSERT_FALSE(url.empty());
    const HttpHeaders type = {{"Content-Type", "application/vnd.ms-package.3dmanufacturing-3dmodel+xml"}};
    HttpHeaders authorized = type, chunked = type;
    authorized["Authorization"] = "Bearer " + token;
    chunked["Transfer-Encoding"] = "chunked";
    // In order, against the one address: refusals leave it unspent.
    const struct {
        const char* what;
        std::string url;
        std::size_t size;
        HttpHeaders headers;
        unsigned status;
    } steps[] = {
        {"with Authorization", url, 100, authorized, 403},
        {"one byte short", url, 99, type, 400},
        {"one byte over", url, 101, type, 400},
        {"chunked, over", url, 120, chunked, 400},
        {"announced size", url, 100, type, 200},
        {"address spent", url, 100, type, 403},
        {"unknown address", cloud->accountServer() + "/storage/" + std::string(64, 'a'), 100, type, 404},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(call("PUT", s.url, s.headers, randomBytes(s.size, 131)).status, s.status) << s.what;
    }
    ASSERT_EQ(cloud->storedFiles().size(), 1u);
    EXPECT_EQ(cloud->storedFiles()[0].size, 100u);
}

// The program as scripts/demo runs it: the exports and the ready line on
// standard output, faults from the command line, and on SIGTERM the state
// it held in the state file, its certificates removed.
TEST(Standalone, PrintsAddressesServesAndWritesItsStateWhenTerminated) {
#ifdef _WIN32
    GTEST_SKIP() << "the emulator program is built for Linux only; the Windows demo uses it from there";
#else
    testing_support::ScratchFolder scratch;
    const std::string state = scratch / "state.json";
    // The shell prints its process id, which the program then takes over;
    // the program ends by itself after a minute should the test not stop it.
    const std::string command = "echo $$; exec '" EMULATOR_EXE "' --no-stdin --exit-after 60 --project Seeded "
                                "--fault projects-list=502,once --state-file '" +
                                state + "'";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[4096];
    const pid_t pid = fgets(line, sizeof line, out) ? std::atoi(line) : 0;
    std::map<std::string, std::string> env;
    bool ready = false;
    while (!ready && fgets(line, sizeof line, out)) {
        std::cmatch match;
        if (std::regex_match(line, match, std::regex("export (\\w+)='([^']*)'\n"))) env[match[1]] = match[2];
        ready = std::string(line).rfind("# stratavox-emulator ready on port ", 0) == 0;
    }
    ASSERT_TRUE(pid > 0 && ready);
    EXPECT_EQ(env.size(), 5u);
    const std::string origin = env["STRATAVOX_ACCOUNT_SERVER"];
    EXPECT_EQ(origin.rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(env["STRATAVOX_API_BASE"], origin + "/plyx/v1");
    // The fault from the command line is armed; without a token the API
    // would answer 401, so a 502 proves the fault came first.
    EXPECT_EQ(send(env["STRATAVOX_CA_BUNDLE"], "GET", env["STRATAVOX_API_BASE"] + "/projects").status, 502u);
    EXPECT_EQ(send(env["STRATAVOX_CA_BUNDLE"], "GET", env["STRATAVOX_API_BASE"] + "/projects").status, 401u);

    kill(pid, SIGTERM);
    const int status = pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    rapidjson::Document doc;
    doc.Parse(testing_support::readWholeFile(state).c_str());
    ASSERT_TRUE(doc.IsObject() && doc["projects"].IsArray() && doc["projects"].Size() == 1u);
    EXPECT_STREQ(doc["projects"][0]["display_name"].GetString(), "Seeded");
    EXPECT_FALSE(std::ifstream(env["STRATAVOX_CA_BUNDLE"]).good());

    for (const char* refused : {" --fault token=explode", " --frobnicate"}) {
        const int code = std::system(("'" EMULATOR_EXE "'" + std::string(refused) + " 2>/dev/null").c_str());
        EXPECT_TRUE(WIFEXITED(code) && WEXITSTATUS(code) == 2) << refused;
    }
#endif
}

}  // namespace
}  // namespace emulator_test
