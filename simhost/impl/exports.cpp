#include "simhost/impl/exports.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <sys/stat.h>
#include <vector>

#include "Model/COM/NMR_DLLInterfaces.h"

#include "host/cam/machine.h"
#include "host/cam/post_process.h"
#include "simhost/impl/cam_impl.h"
#include "simhost/impl/common.h"
#include "simhost/impl/design_impl.h"
#include "simhost/sim/cam.h"

namespace qrvn {
namespace impl {

namespace {

// Releases a lib3mf object when it goes out of scope.
struct Lib3mfHandle {
    NMR::PLib3MFBase* object = nullptr;
    ~Lib3mfHandle() {
        if (object) NMR::lib3mf_release(object);
    }
};

// Adds one box per body of `component` and of the components placed in it,
// shifted along x so the boxes do not overlap.
bool addBoxes(NMR::PLib3MFModel* model, const ComponentImpl& component, int& placed) {
    std::vector<std::string> names;
    for (auto& body : component.bodies_) names.push_back(body->name_);
    for (auto& mesh : component.meshes_) names.push_back(mesh->name_);
    for (const std::string& name : names) {
        Lib3mfHandle mesh;
        if (NMR::lib3mf_model_addmeshobject(model, &mesh.object) != LIB3MF_OK) return false;
        NMR::lib3mf_object_setnameutf8(mesh.object, name.c_str());
        const float x = 30.0f * static_cast<float>(placed++);
        const float size = 20.0f;
        NMR::MODELMESHVERTEX vertices[8];
        for (int i = 0; i < 8; ++i) {
            vertices[i].m_fPosition[0] = x + ((i & 1) ? size : 0.0f);
            vertices[i].m_fPosition[1] = (i & 2) ? size : 0.0f;
            vertices[i].m_fPosition[2] = (i & 4) ? size : 0.0f;
        }
        const unsigned faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                       {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
        NMR::MODELMESHTRIANGLE triangles[12];
        for (int i = 0; i < 12; ++i) {
            for (int j = 0; j < 3; ++j) triangles[i].m_nIndices[j] = faces[i][j];
        }
        if (NMR::lib3mf_meshobject_setgeometry(mesh.object, vertices, 8, triangles, 12) != LIB3MF_OK) return false;
        Lib3mfHandle item;
        if (NMR::lib3mf_model_addbuilditem(model, mesh.object, nullptr, &item.object) != LIB3MF_OK) return false;
    }
    for (auto& occurrence : component.occurrences_) {
        if (!addBoxes(model, *occurrence->component_, placed)) return false;
    }
    return true;
}

bool folderExists(const std::string& folder) {
    struct stat info {};
    return !folder.empty() && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool write3MF(const std::string& filePath, const ComponentImpl& root) {
    Lib3mfHandle model;
    if (NMR::lib3mf_createmodel(&model.object) != LIB3MF_OK) {
        setLastError(core::UnexpectedError, "cannot create a 3MF model");
        return false;
    }
    int placed = 0;
    if (!addBoxes(model.object, root, placed)) {
        setLastError(core::UnexpectedError, "cannot build the 3MF meshes");
        return false;
    }
    Lib3mfHandle writer;
    if (NMR::lib3mf_model_querywriter(model.object, "3mf", &writer.object) != LIB3MF_OK ||
        NMR::lib3mf_writer_writetofileutf8(writer.object, filePath.c_str()) != LIB3MF_OK) {
        setLastError(core::OperationFailedError, "cannot write " + filePath);
        return false;
    }
    recordWrittenFile(filePath);
    return true;
}

bool writeGCode(const SetupImpl& setup, const cam::PostProcessInput& input, std::string* path) {
    if (!folderExists(input.outputFolder())) {
        setLastError(core::OperationFailedError, "output folder does not exist: " + input.outputFolder());
        return false;
    }
    const std::string filePath = input.outputFolder() + "/" + input.programName() + ".gcode";
    std::ofstream out(filePath, std::ios::binary | std::ios::trunc);
    if (!out) {
        setLastError(core::OperationFailedError, "cannot write " + filePath);
        return false;
    }
    out << "; program: " << input.programName() << "\n";
    out << "; post: " << input.postConfiguration() << "\n";
    out << "; setup: " << setup.name_ << " (" << setup.operationId_ << ")\n";
    if (setup.machine_) out << "; machine: " << setup.machine_->name() << "\n";
    if (setup.printSetting_) out << "; print setting: " << setup.printSetting_->name() << "\n";
    out << "; units: " << (input.outputUnits() == cam::InchesOutput ? "in" : "mm") << "\n";
    auto properties = input.postProperties();
    for (size_t i = 0; i < properties->count(); ++i) {
        std::string name;
        auto value = properties->item(i, &name);
        out << "; property " << name << " = " << value->stringValue() << "\n";
    }
    out << "G21\nG90\nG28\nG1 Z0.2 F1200\nG1 X10 Y10 E1\nM84\n";
    out.close();
    if (!out) {
        setLastError(core::OperationFailedError, "cannot write " + filePath);
        return false;
    }
    if (path) *path = filePath;
    recordWrittenFile(filePath);
    return true;
}

namespace {

std::mutex writtenMutex;
std::vector<sim::WrittenFile> written;

}  // namespace

void recordWrittenFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::lock_guard<std::mutex> lock(writtenMutex);
    written.push_back(sim::WrittenFile{path, std::move(bytes)});
}

std::vector<sim::WrittenFile> writtenFiles() {
    std::lock_guard<std::mutex> lock(writtenMutex);
    return written;
}

}  // namespace impl
}  // namespace qrvn
