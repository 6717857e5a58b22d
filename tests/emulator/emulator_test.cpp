// What the emulator enforces, so that a client passing the product tests
// against it could not be doing these things wrong: PKCE and one-time codes,
// bearer tokens and their scopes, presigned storage addresses, and the fault
// texts of its command line and admin address. What every endpoint and fault
// does to the add-in is driven through the real client by the connector,
// upload workflow and fault matrix tests.

#include "emulator/account_service.h"
#include "tests/emulator/emulator_fixture.h"

#include <rapidjson/document.h>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>

extern char** environ;

namespace emulator_test {
namespace {

using emulator::Endpoint;
using emulator::Fault;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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
        {verifier + "x", challenge, false},
        {verifier, "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(emulator::pkceMatches(c.verifier, c.challenge), c.matches) << c.challenge;
}

using AccountTest = EmulatorTest;

TEST_F(AccountTest, TokenEndpointChecksTheVerifierSpendsCodesAndRefusesRepeatedParameters) {
    const Pkce pkce = makePkce();
    const struct {
        const char* what;
        std::function<std::string(const std::string& code)> body;
        long status;
        const char* says;
        bool codeSpent;  // whether the right verifier is refused afterwards
    } cases[] = {
        {"wrong verifier", [&](const std::string& code) { return exchangeBody(code, makePkce().verifier); }, 400,
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
    rapidjson::Document tokens;
    tokens.Parse(postToken(exchangeBody(code, pkce.verifier)).body.c_str());
    ASSERT_TRUE(tokens.IsObject() && tokens.HasMember("access_token"));
    const std::string access = tokens["access_token"].GetString();
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
    const std::string thumbnail = "{\"data\":{\"description\":\"d\",\"display_name\":\"B\",\"thumbnail\":\""
                                  "data:image/jpeg;base64," +
                                  base64(makeJpeg(8, 8)) + "\"}}";
    const struct {
        std::string method, path, body;
    } calls[] = {
        {"GET", "/projects", ""},
        {"PUT", "/projects", "{\"data\":{\"display_name\":\"x\",\"description\":\"\"}}"},
        {"POST", "/projects/" + project, thumbnail},
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
    EXPECT_EQ(cloud->projects().size(), 1u);
    EXPECT_EQ(cloud->projects()[0].thumbnailSize, 0u);

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
    const std::string url = uploadUrlOf(announce(token, cloud->addProject("P", ""), 100));
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

TEST(FaultText, ParsesEveryKindAndTheOnceSuffixAndRefusesOthers) {
    Endpoint e;
    Fault f;
    std::string error;
    ASSERT_TRUE(emulator::parseFaultAssignment("files-announce=status:403:no: way,once", e, f, &error)) << error;
    EXPECT_EQ(e, Endpoint::FilesAnnounce);
    EXPECT_EQ(f.kind, Fault::Kind::Status);
    EXPECT_EQ(f.status, 403);
    EXPECT_EQ(f.body, "no: way");
    EXPECT_TRUE(f.oneShot);

    const struct {
        const char* text;
        Fault::Kind kind;
        bool oneShot;
    } cases[] = {
        {"500", Fault::Kind::Status, false},
        {"delay:2.5", Fault::Kind::Delay, false},
        {"malformed", Fault::Kind::MalformedJson, false},
        {"wrongtype,once", Fault::Kind::WrongType, true},
        {"drop", Fault::Kind::DropConnection, false},
        {"untrusted", Fault::Kind::UntrustedCertificate, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(emulator::parseFault(c.text, f, &error)) << c.text << ": " << error;
        EXPECT_EQ(f.kind, c.kind) << c.text;
        EXPECT_EQ(f.oneShot, c.oneShot) << c.text;
    }
    ASSERT_TRUE(emulator::parseFault("delay:2.5", f, &error));
    EXPECT_DOUBLE_EQ(f.delaySeconds, 2.5);

    for (const char* bad : {"", "50", "5000", "status:abc", "delay:", "delay:-1", "delay:x", "boom", "once", ",once"}) {
        EXPECT_FALSE(emulator::parseFault(bad, f, &error)) << bad;
    }
    EXPECT_FALSE(emulator::parseFaultAssignment("tokens=500", e, f, &error));
    EXPECT_FALSE(emulator::parseFaultAssignment("token", e, f, &error));
    for (Endpoint each : emulator::allEndpoints()) {
        Endpoint back;
        ASSERT_TRUE(emulator::parseEndpoint(emulator::endpointName(each), back));
        EXPECT_EQ(back, each);
    }
}

TEST_F(AccountTest, AdminAddressArmsAFaultFromItsText) {
    const std::string token = cloud->issueAccessToken();
    const std::string faults = cloud->accountServer() + "/_emulator/faults";
    EXPECT_EQ(request("PUT", faults, "projects-list=418,once", options()).status, 204);
    Reply once = get(cloud->apiBase() + "/projects", bearer(token));
    EXPECT_EQ(once.status, 418);
    EXPECT_TRUE(contains(once.body, "injected_fault"));
    EXPECT_EQ(get(cloud->apiBase() + "/projects", bearer(token)).status, 200);
    EXPECT_EQ(request("PUT", faults, "nowhere=500", options()).status, 400);
}

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

TEST(Standalone, PrintsAddressesServesAndReportsStateWhenStdinCloses) {
    Process p({EMULATOR_EXE, "--project", "Seeded", "--fault", "projects-list=502,once"});
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(p.readUntil("# stratavox-emulator ready", std::chrono::seconds(20))) << p.output;
    std::map<std::string, std::string> env = exportsOf(p.output);
    ASSERT_EQ(env.size(), 5u) << p.output;
    const std::string origin = env["STRATAVOX_ACCOUNT_SERVER"];
    EXPECT_EQ(origin.rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(env["STRATAVOX_API_BASE"], origin + "/plyx/v1");
    EXPECT_EQ(env["STRATAVOX_WEB_APP"], origin + "/app/library/");
    EXPECT_EQ(env["STRATAVOX_REDIRECT_URI"], origin + "/stratavox/");

    RequestOptions o;
    o.caBundle = env["STRATAVOX_CA_BUNDLE"];
    EXPECT_EQ(get(origin + "/_emulator/state", o).status, 200);
    // The fault from the command line is armed; without a token the API
    // would answer 401, so a 502 proves the fault came first.
    EXPECT_EQ(get(env["STRATAVOX_API_BASE"] + "/projects", o).status, 502);
    EXPECT_EQ(get(env["STRATAVOX_API_BASE"] + "/projects", o).status, 401);

    p.closeStdin();
    ASSERT_TRUE(p.readUntil("\"stored_files\"", std::chrono::seconds(20))) << p.output;
    EXPECT_EQ(p.wait(), 0);
    std::string json = p.output.substr(p.output.find('{'));
    rapidjson::Document doc;
    doc.Parse(json.c_str());
    ASSERT_TRUE(doc.IsObject()) << json;
    ASSERT_EQ(doc["projects"].Size(), 1u);
    EXPECT_STREQ(doc["projects"][0]["display_name"].GetString(), "Seeded");
    EXPECT_TRUE(doc["stored_files"].IsArray());
    EXPECT_NE(access(env["STRATAVOX_CA_BUNDLE"].c_str(), F_OK), 0);  // removed at exit

    for (const std::vector<std::string>& refusedArgs :
         {std::vector<std::string>{EMULATOR_EXE, "--fault", "token=explode"}, {EMULATOR_EXE, "--frobnicate"}}) {
        Process refused(refusedArgs);
        ASSERT_TRUE(refused.started());
        EXPECT_EQ(refused.wait(), 2) << refusedArgs[1];
    }
}

}  // namespace
}  // namespace emulator_test
