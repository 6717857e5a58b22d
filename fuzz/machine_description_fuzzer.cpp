// The machine description the host writes for a setup's machine, read by
// the upload palette to find the post-processor. The input is what the
// simulated host writes as the description; the palette reads it through
// its public readPostProcessorPath on a StratavoxMachine for "Setup1" of
// "Bracket". Malformed XML may raise only the parser's error; a path is
// only ever found inside <machine><post><postProcessor>, "system://" is
// always resolved to the host's post folder, and the scratch file is gone
// afterwards however reading ended.
#include <rapidxml/rapidxml.hpp>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "exmi/machine_definition.h"
#include "fuzz/checks.h"
#include "host/qrvn.h"
#include "simhost/sim/sim.h"
#include "stratavox/stratavox_machine.h"
#include "support/document.h"
#include "support/files.h"

namespace {

const char* const kSystemPosts = "/opt/quorvane/posts";

qrvn::sim::MachineSpec printer() {
    qrvn::sim::MachineSpec spec;
    spec.id = "svx-s5";
    spec.name = "Stratavox S5";
    spec.vendor = "Stratavox";
    spec.model = "S5";
    spec.description = "Stratavox S5 printer";
    spec.hasDescriptionXml = true;
    return spec;
}

// Lives for the whole run and is never destroyed: libFuzzer ends the
// process with exit(), and the host must not be torn down under the
// machine's feet then.
struct Bench {
    std::string scratch;
    qrvn::core::Ptr<qrvn::cam::Setup> setup;
    std::shared_ptr<StratavoxMachine> machine;
};

Bench* bench = nullptr;

void removeScratch() {
    if (bench == nullptr) return;
    std::error_code ignored;
    std::filesystem::remove_all(bench->scratch, ignored);
}

bool scratchFileLeft() {
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(bench->scratch + "/" + support::tempFolderName(), error)) {
        if (entry.path().filename().string().compare(0, 8, "machine_") == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    bench = new Bench;
    std::string pattern = (std::filesystem::temp_directory_path() / "machine-fuzz-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) fuzz::fail("cannot make a scratch folder");
    bench->scratch = pattern;
    atexit(removeScratch);
    // Descriptions (and the log, should anything be logged) stay in the
    // scratch folder.
    setenv("TMPDIR", bench->scratch.c_str(), 1);
    setenv("APPDATA", bench->scratch.c_str(), 1);

    qrvn::sim::reset();
    qrvn::sim::setSystemPostFolder(kSystemPosts);
    auto document = qrvn::sim::newDocument("Bracket");
    qrvn::sim::ensureCamProduct(document);
    bench->setup = qrvn::sim::addSetup(document, "Setup1", qrvn::sim::addMachine(printer()));
    if (!bench->setup) fuzz::fail("the host made no setup");
    const std::string uuid = support::ensureDocumentUuid(document, {}, false);

    EXMI::MachineDefinition definition;
    definition.name = "Stratavox Machine";
    definition.vendors = {"Stratavox"};
    definition.factory = &makeStratavoxMachine;
    bench->machine =
        std::static_pointer_cast<StratavoxMachine>(makeStratavoxMachine(uuid, bench->setup->operationId(), definition));
    if (!bench->machine) fuzz::fail("no StratavoxMachine");
    qrvn::sim::clearLibraries();
    qrvn::sim::pump();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string description = fuzz::bytes(data, size);
    qrvn::sim::MachineSpec spec = printer();
    spec.descriptionXml = description;
    fuzz::check(bench->setup->machine(qrvn::sim::addMachine(spec)), "the host refused the machine");
    qrvn::sim::pump();

    std::string path;
    bool parsed = true;
    try {
        path = bench->machine->getPalette()->readPostProcessorPath();
    } catch (const rapidxml::parse_error&) {
        parsed = false;
    }
    fuzz::check(!scratchFileLeft(), "the machine description was left in the temporary folder");
    qrvn::sim::clearLibraries();

    if (!parsed || path.empty()) return 0;
    // The text of an element whose name appears nowhere cannot be found.
    // (Names are never entity-decoded; the text may be.)
    const std::string visible = description.substr(0, description.find('\0'));
    fuzz::check(visible.find("machine") != std::string::npos && visible.find("post") != std::string::npos &&
                    visible.find("postProcessor") != std::string::npos,
                "a path was found outside <machine><post><postProcessor>: " + path);
    fuzz::check(path.compare(0, 9, "system://") != 0, "a system:// path was not resolved: " + path);
    return 0;
}
