// stratavox-emulator: runs the cloud emulator as a process of its own.
// Prints the shell exports a client needs and a readiness line, serves
// until SIGINT/SIGTERM, end of standard input or --exit-after, then prints
// (or writes with --state-file) what it holds as JSON.

#include "emulator/emulator.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    char byte = 1;
    // Only async-signal-safe calls here; a full pipe just means "already told".
    ssize_t ignored = write(signalPipe[1], &byte, 1);
    (void)ignored;
}

const char kUsage[] = "usage: stratavox-emulator [options]\n"
                      "  --port N              listen on 127.0.0.1:N (default: an ephemeral port)\n"
                      "  --fault ENDPOINT=SPEC arm a fault; may be repeated. ENDPOINT: authorize, token,\n"
                      "                        projects-list, project-create, thumbnail, files-announce,\n"
                      "                        jobs-announce, storage-put. SPEC: 500 | status:CODE[:BODY] |\n"
                      "                        malformed | wrongtype | delay:SECONDS | drop | untrusted,\n"
                      "                        optionally followed by ,once\n"
                      "  --token-lifetime S    access token lifetime in seconds (default 3600)\n"
                      "  --user NAME           the only user allowed to sign in (default: any non-empty)\n"
                      "  --password TEXT       sign-in password (default: secret)\n"
                      "  --storage-dir DIR     keep uploaded files in DIR (default: removed at exit)\n"
                      "  --project NAME        create a project at start; may be repeated\n"
                      "  --state-file PATH     write the final state as JSON to PATH instead of stdout\n"
                      "  --exit-after S        stop after S seconds\n"
                      "  --no-stdin            do not stop when standard input closes\n";

bool parseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
    emulator::CloudEmulator::Options options;
    std::vector<std::pair<emulator::Endpoint, emulator::Fault>> faults;
    std::vector<std::string> projects;
    std::string stateFile;
    double exitAfter = -1;
    bool watchStdin = true;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "stratavox-emulator: " << name << " needs a value\n" << kUsage;
                std::exit(2);
            }
            return argv[++i];
        };
        double seconds = 0;
        if (arg == "--port") {
            options.port = std::atoi(value("--port"));
        } else if (arg == "--fault") {
            emulator::Endpoint endpoint;
            emulator::Fault fault;
            std::string error;
            if (!emulator::parseFaultAssignment(value("--fault"), endpoint, fault, &error)) {
                std::cerr << "stratavox-emulator: " << error << "\n";
                return 2;
            }
            faults.emplace_back(endpoint, fault);
        } else if (arg == "--token-lifetime") {
            if (!parseSeconds(value("--token-lifetime"), seconds)) {
                std::cerr << "stratavox-emulator: invalid --token-lifetime\n";
                return 2;
            }
            options.tokenLifetime = std::chrono::seconds(static_cast<long long>(seconds));
        } else if (arg == "--user") {
            options.user = value("--user");
        } else if (arg == "--password") {
            options.password = value("--password");
        } else if (arg == "--storage-dir") {
            options.storageDir = value("--storage-dir");
        } else if (arg == "--project") {
            projects.push_back(value("--project"));
        } else if (arg == "--state-file") {
            stateFile = value("--state-file");
        } else if (arg == "--exit-after") {
            if (!parseSeconds(value("--exit-after"), exitAfter)) {
                std::cerr << "stratavox-emulator: invalid --exit-after\n";
                return 2;
            }
        } else if (arg == "--no-stdin") {
            watchStdin = false;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "stratavox-emulator: unknown option " << arg << "\n" << kUsage;
            return 2;
        }
    }

    if (pipe(signalPipe) != 0) {
        std::perror("stratavox-emulator: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    emulator::CloudEmulator cloud(options);
    if (!cloud.start()) {
        std::cerr << "stratavox-emulator: " << cloud.lastError() << "\n";
        return 1;
    }
    for (const auto& f : faults) cloud.setFault(f.first, f.second);
    for (const auto& name : projects) cloud.addProject(name, "");

    std::cout << cloud.environmentExports() << "# stratavox-emulator ready on port " << cloud.port() << std::endl;

    const auto started = std::chrono::steady_clock::now();
    bool stdinOpen = watchStdin;
    while (true) {
        int timeout = -1;
        if (exitAfter >= 0) {
            double left = exitAfter - std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (left <= 0) break;
            timeout = static_cast<int>(left * 1000) + 1;
        }
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        int count = poll(fds, stdinOpen ? 2 : 1, timeout);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) break;
        if (fds[0].revents != 0) break;
        if (stdinOpen && fds[1].revents != 0) {
            char buffer[256];
            ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0) break;  // end of input: the parent has gone away
        }
    }

    cloud.stop();
    std::string state = cloud.stateJson();
    if (stateFile.empty()) {
        std::cout << state << std::endl;
    } else {
        std::ofstream out(stateFile, std::ios::binary);
        out << state << "\n";
        if (!out) {
            std::cerr << "stratavox-emulator: cannot write " << stateFile << "\n";
            return 1;
        }
    }
    return 0;
}
