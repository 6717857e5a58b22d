// The standalone executable: prints its addresses, serves, and on the end
// of its standard input stops and prints what it holds.

#include "tests/emulator/https_client.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>

extern char** environ;

namespace emulator_test {
namespace {

// Runs the executable with pipes on stdin and stdout.
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
        while (output.find(marker) == std::string::npos) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{stdout_, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[4096];
            ssize_t got = read(stdout_, buffer, sizeof buffer);
            if (got <= 0) return output.find(marker) != std::string::npos;
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
    EXPECT_EQ(get(env["STRATAVOX_WEB_APP"] + "project/x?wait_for_new_files=true", o).status, 200);
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
}

TEST(Standalone, RefusesUnknownOptionsAndFaults) {
    Process bad({EMULATOR_EXE, "--fault", "token=explode"});
    ASSERT_TRUE(bad.started());
    EXPECT_EQ(bad.wait(), 2);
    Process unknown({EMULATOR_EXE, "--frobnicate"});
    ASSERT_TRUE(unknown.started());
    EXPECT_EQ(unknown.wait(), 2);
}

}  // namespace
}  // namespace emulator_test
