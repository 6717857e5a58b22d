#pragma once
// The loaded module (shared library or executable) this code belongs to.

namespace platform {

// Keeps the module that holds this code mapped until the process ends, even
// after its host unloads it: for when a thread of ours must be left running
// and would otherwise return into unmapped code. Later loads of the same file
// get the same, still loaded, copy. False when the module could not be
// pinned.
bool pinThisModule();

}  // namespace platform
