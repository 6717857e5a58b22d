// The files the simulated host writes for the CAM product's exports: a 3MF
// package of a component tree (one box mesh per body) and a G-code program
// for a setup. Both return false, with the host's last error set, when the
// file cannot be written.
#pragma once

#include <string>
#include <vector>

#include "host/core/base.h"
#include "simhost/sim/cam.h"

namespace qrvn {
namespace cam {
class PostProcessInput;
}
namespace impl {

class ComponentImpl;
class SetupImpl;

bool write3MF(const std::string& filePath, const ComponentImpl& root);
// Writes outputFolder/programName.gcode; `path` receives the file written.
bool writeGCode(const SetupImpl& setup, const cam::PostProcessInput& input, std::string* path);
// Keeps a copy of a file the host has just written (see sim::writtenFiles).
void recordWrittenFile(const std::string& path);
std::vector<sim::WrittenFile> writtenFiles();

}  // namespace impl
}  // namespace qrvn
