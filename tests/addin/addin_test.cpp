// The add-in library loaded the way the host loads it (dlopen or
// LoadLibraryW, then its exported run and stop on the UI thread): what it
// exports, what run puts into the host, what stop takes out again, and a
// second load.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#include <netdb.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/exmi/handler_counts.h"
#include "tests/stratavox/vendor_fixture.h"

#ifndef _WIN32

// A name lookup that hangs, as on a machine whose DNS server never answers:
// the executable exports this getaddrinfo, so the library's transfers meet it
// first. Lookups of kStuckHost block until the test releases them (or half a
// minute has passed) and then fail; every other name goes to the real one.
namespace stuck_lookup {

const char* const kStuckHost = "stuck-lookup.invalid";
std::mutex mutex;
std::condition_variable changed;
bool released = false;
std::atomic<int> started{0};
std::atomic<int> ended{0};

void release() {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
    changed.notify_all();
}

}  // namespace stuck_lookup

extern "C" int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                           struct addrinfo** result) {
    using namespace stuck_lookup;
    if (node != nullptr && std::strcmp(node, kStuckHost) == 0) {
        ++started;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::seconds(30), [] { return released; });
        }
        ++ended;
        return EAI_AGAIN;
    }
    using Lookup = int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
    static const auto real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return real(node, service, hints, result);
}

#endif

namespace vendor_test {
namespace {

using Ids = std::vector<std::string>;
using exmi_test::documentHandlerCount;
using exmi_test::setupHandlerCount;
using testing_support::readWholeFile;

const std::string kLibrary = STRATAVOX_ADDIN_PATH;

#ifdef _WIN32

// The names in a DLL's export table, read from the mapped image.
std::set<std::string> exportedSymbols(const std::string& path) {
    std::set<std::string> names;
    const HMODULE module =
        LoadLibraryExW(testing_support::fsPath(path).wstring().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (module == nullptr) return names;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (table.Size != 0) {
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + table.VirtualAddress);
        const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i)
            names.insert(reinterpret_cast<const char*>(base + nameOffsets[i]));
    }
    FreeLibrary(module);
    return names;
}

bool libraryIsMapped() { return GetModuleHandleW(testing_support::fsPath(kLibrary).wstring().c_str()) != nullptr; }

#else

// The names of the symbols a shared library defines for others (.dynsym).
std::set<std::string> exportedSymbols(const std::string& path) {
    const std::string file = readWholeFile(path);
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr)) return names;
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (size_t i = 0; i < sections.size(); ++i) {
        std::memcpy(&sections[i], file.data() + header.e_shoff + i * header.e_shentsize, sizeof(Elf64_Shdr));
    }
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr& strings = sections.at(section.sh_link);
        for (size_t offset = 0; offset + sizeof(Elf64_Sym) <= section.sh_size; offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + section.sh_offset + offset, sizeof symbol);
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
            names.insert(file.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

bool libraryIsMapped() {
    return readWholeFile("/proc/self/maps").find(std::filesystem::canonical(kLibrary).string()) != std::string::npos;
}

#endif

size_t indexOf(const std::vector<Entry>& entries, const Entry& wanted) {
    return static_cast<size_t>(std::find(entries.begin(), entries.end(), wanted) - entries.begin());
}

TEST(AddInLibraryTest, ExportsOnlyRunAndStopAndShipsItsResources) {
    EXPECT_EQ(exportedSymbols(kLibrary), (std::set<std::string>{"run", "stop"}));
    const std::filesystem::path folder = std::filesystem::path(kLibrary).parent_path();
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "resources_html" / "index.html"));
    for (const char* icons : {"resources_html", "resources_opensvq", "resources_logout", "resources_createSetup"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / icons / "32x32.png")) << icons;
    }
}

class AddInTest : public ::testing::Test {
protected:
    explicit AddInTest(const qrvn::sim::HostOptions& options = qrvn::sim::HostOptions()) : host(options) {}

    void TearDown() override {
        addin.unload();
        EXPECT_FALSE(libraryIsMapped());
    }

    testing_support::EnvironmentOverride account{"STRATAVOX_ACCOUNT_SERVER", "https://127.0.0.1:9"};
    testing_support::EnvironmentOverride api{"STRATAVOX_API_BASE", "https://127.0.0.1:9/plyx/v1"};
    testing_support::EnvironmentOverride webApp{"STRATAVOX_WEB_APP", "https://127.0.0.1:9/app/library/"};
    testing_support::EnvironmentOverride redirect{"STRATAVOX_REDIRECT_URI", "https://127.0.0.1:9/stratavox/"};
    VendorHost host;
    qrvn::sim::AddIn addin;  // unloaded before the host ends
};

// Without an application, or without its user interface, run fails before
// starting anything, and stop still succeeds quietly.
class AddInWithoutHostPartsTest : public AddInTest, public ::testing::WithParamInterface<qrvn::sim::HostOptions> {
protected:
    AddInWithoutHostPartsTest() : AddInTest(GetParam()) {}
};

TEST_P(AddInWithoutHostPartsTest, RunFailsWithoutStartingAnythingAndStopStillSucceeds) {
    ASSERT_TRUE(addin.load(kLibrary)) << addin.error();
    EXPECT_FALSE(addin.run());
    EXPECT_TRUE(addin.stop());
    EXPECT_TRUE(host.log.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(NoApplicationOrNoUserInterface, AddInWithoutHostPartsTest,
                         ::testing::Values(qrvn::sim::HostOptions{false, false}, qrvn::sim::HostOptions{true, false}));

TEST_F(AddInTest, StopTakesOutEverythingRunPutInAndTheLibraryLoadsAgain) {
    host.openBracket();
    ASSERT_TRUE(qrvn::sim::definitionIds().empty());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(addin.load(kLibrary)) << addin.error();
        ASSERT_TRUE(addin.run());
        EXPECT_EQ(qrvn::sim::controlIds(kPanelId), (Ids{kUploadId, kOpenId}));
        EXPECT_GT(qrvn::sim::definitionIds().size(), 2u);  // Create Setup's too
        EXPECT_GT(documentHandlerCount(), 0u);
        EXPECT_GT(setupHandlerCount(host.document), 0u);

        // One beat of the library's heartbeat thread reaches the UI thread.
        qrvn::sim::pump();
        ASSERT_TRUE(testing_support::waitUntil([] { return qrvn::sim::pending() > 0; }, std::chrono::seconds(5)));
        qrvn::sim::pump();

        // The upload button opens the palette on the sign-in page, and the
        // page gets the printer once it has loaded.
        ASSERT_TRUE(qrvn::sim::pressControl(kUploadId));
        ASSERT_TRUE(qrvn::sim::findPalette(kPaletteId));
        EXPECT_EQ(qrvn::sim::findPalette(kPaletteId)->pageURL().rfind("https://127.0.0.1:9/authorize?", 0), 0u);
        qrvn::sim::sendFromPage(kPaletteId, "apploaded", "{}");
        ASSERT_EQ(messagesNamed("materials").size(), 1u);
        EXPECT_EQ(messagesNamed("materials")[0].get("printer"), "Stratavox S5");

        host.log.mark();
        EXPECT_TRUE(addin.stop());
        const std::vector<Entry> stopping = host.log.since();
        // The add-in's own line first, then the framework's stop.
        EXPECT_EQ(indexOf(stopping, Entry{"", "Stopping Stratavox AddIn"}), 0u);
        EXPECT_LT(indexOf(stopping, Entry{"EXMI", "Stopping EXMI AddIn: Stratavox AddIn"}), stopping.size());

        EXPECT_TRUE(qrvn::sim::definitionIds().empty());
        EXPECT_FALSE(qrvn::sim::findPalette(kPaletteId));
        EXPECT_EQ(documentHandlerCount(), 0u);
        EXPECT_EQ(setupHandlerCount(host.document), 0u);

        // Nothing of the add-in reacts any more.
        qrvn::sim::activateDocument(qrvn::sim::newDocument("After"));
        qrvn::sim::pump();
        EXPECT_EQ(host.log.since().size(), stopping.size());
        addin.unload();
        EXPECT_FALSE(libraryIsMapped());
        ASSERT_TRUE(qrvn::sim::activateDocument(host.document));
    }
    EXPECT_EQ(host.log.count(Entry{"EXMI", "Started EXMI AddIn: Stratavox AddIn"}), 2u);
    EXPECT_TRUE(qrvn::sim::handlerFailures().empty());
}

#ifndef _WIN32

// Threads of the process, without GLib's own: once the credential store has
// started GLib, its worker threads live as long as the process (GLib never
// stops them, and the store keeps GLib mapped), which is no add-in code.
size_t threadCount() {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (comm && name != "gmain" && name != "gdbus" && name.rfind("pool", 0) != 0) ++count;
    }
    return count;
}

// A sign-in whose token request hangs in the name lookup past stop()'s wait;
// the host unloads the library, then the lookup ends. The worker that made the
// request must come back into mapped code: the process outlives it. Run in a
// child process, whose exit code says how far it got.
void stopAndUnloadDuringAStuckLookup(VendorHost& host, qrvn::sim::AddIn& addin) {
    testing_support::EnvironmentOverride stuck{"STRATAVOX_ACCOUNT_SERVER",
                                               std::string("https://") + stuck_lookup::kStuckHost};
    host.openBracket();
    // A sanitizer's runtime starts a thread of its own at the first thread
    // creation; let that happen before counting.
    std::thread([] {}).join();
    const size_t threadsBefore = threadCount();
    if (!addin.load(kLibrary) || !addin.run()) std::_Exit(2);
    if (!qrvn::sim::pressControl(kUploadId)) std::_Exit(3);
    // The answer to the sign-in the palette opened on: its state.
    const auto palette = qrvn::sim::findPalette(kPaletteId);
    if (!palette) std::_Exit(3);
    const std::string signIn = palette->pageURL();
    const size_t state = signIn.find("&state=") + 7;
    qrvn::sim::navigatePalette(kPaletteId, "https://127.0.0.1:9/stratavox/?code=stuck&state=" +
                                               signIn.substr(state, signIn.find('&', state) - state));
    if (!qrvn::sim::runUntil([] { return stuck_lookup::started > 0; }, std::chrono::seconds(20))) std::_Exit(4);
    addin.stop();
    addin.unload();
    stuck_lookup::release();
    if (!testing_support::waitUntil([] { return stuck_lookup::ended > 0; }, std::chrono::seconds(20))) std::_Exit(5);
    // Every thread the add-in started has ended, the stuck worker too.
    if (!testing_support::waitUntil([&] { return threadCount() <= threadsBefore; }, std::chrono::seconds(20))) {
        std::_Exit(6);
    }
    std::_Exit(0);
}

#endif

TEST_F(AddInTest, ARequestStuckInTheLookupOutlivesStopAndUnloadWithoutCrashingTheHost) {
#ifdef _WIN32
    GTEST_SKIP() << "the hanging lookup replaces getaddrinfo by symbol interposition, which Windows does not do";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(stopAndUnloadDuringAStuckLookup(host, addin), ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
}  // namespace vendor_test
