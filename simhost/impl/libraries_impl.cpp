#include "simhost/impl/libraries_impl.h"

#include <fstream>

#include "simhost/impl/common.h"

namespace qrvn {
namespace impl {

namespace {

std::string escapeXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

class CapabilitiesImpl : public cam::MachineCapabilities {
public:
    CapabilitiesImpl(bool hasTechnology, int32_t technology) : hasTechnology_(hasTechnology), technology_(technology) {}
    bool hasTechnology() override { return hasTechnology_; }
    int32_t technology() override { return technology_; }
    bool isAdditive() override { return hasTechnology_; }

private:
    bool hasTechnology_;
    int32_t technology_;
};

class MachineQueryImpl : public cam::MachineQuery {
public:
    MachineQueryImpl(std::shared_ptr<LibraryContents> contents, cam::LibraryLocations location, std::string vendor,
                     std::string model)
        : contents_(std::move(contents)), location_(location), vendor_(std::move(vendor)), model_(std::move(model)) {}
    cam::LibraryLocations location() override { return location_; }
    std::string vendor() override { return vendor_; }
    bool vendor(const std::string& vendor) override {
        vendor_ = vendor;
        return true;
    }
    std::string model() override { return model_; }
    bool model(const std::string& model) override {
        model_ = model;
        return true;
    }
    int32_t technology() override { return technology_; }
    bool technology(int32_t technology) override {
        technology_ = technology;
        return true;
    }
    std::vector<core::Ptr<cam::Machine>> execute() override {
        std::vector<core::Ptr<cam::Machine>> result;
        if (scriptedFailure("MachineQuery::execute")) return result;
        for (auto& entry : contents_->machines) {
            auto& m = *entry.machine;
            if (entry.location != location_) continue;
            if (!vendor_.empty() && m.vendor_ != vendor_) continue;
            if (!model_.empty() && m.model_ != model_) continue;
            if (technology_ >= 0 && (!m.hasTechnology_ || m.technology_ != technology_)) continue;
            result.push_back(entry.machine);
        }
        return result;
    }

private:
    std::shared_ptr<LibraryContents> contents_;
    cam::LibraryLocations location_;
    std::string vendor_, model_;
    int32_t technology_ = -1;
};

class PrintSettingQueryImpl : public cam::PrintSettingQuery {
public:
    PrintSettingQueryImpl(std::shared_ptr<LibraryContents> contents, cam::LibraryLocations location)
        : contents_(std::move(contents)), location_(location) {}
    cam::LibraryLocations location() override { return location_; }
    std::string vendor() override { return vendor_; }
    bool vendor(const std::string& vendor) override {
        vendor_ = vendor;
        return true;
    }
    std::string technology() override { return technology_; }
    bool technology(const std::string& technology) override {
        technology_ = technology;
        return true;
    }
    std::vector<core::Ptr<cam::PrintSetting>> execute() override {
        std::vector<core::Ptr<cam::PrintSetting>> result;
        if (scriptedFailure("PrintSettingQuery::execute")) return result;
        for (auto& entry : contents_->printSettings) {
            auto& p = *entry.printSetting;
            if (entry.location != location_) continue;
            if (!vendor_.empty() && p.vendor_ != vendor_) continue;
            if (!technology_.empty() && p.technology_ != technology_) continue;
            result.push_back(entry.printSetting);
        }
        return result;
    }

private:
    std::shared_ptr<LibraryContents> contents_;
    cam::LibraryLocations location_;
    std::string vendor_, technology_;
};

class MachineLibraryImpl : public cam::MachineLibrary {
public:
    explicit MachineLibraryImpl(std::shared_ptr<LibraryContents> contents) : contents_(std::move(contents)) {}
    core::Ptr<cam::MachineQuery> createQuery(cam::LibraryLocations location, const std::string& vendor,
                                             const std::string& model) override {
        if (scriptedFailure("MachineLibrary::createQuery")) return core::Ptr<cam::MachineQuery>();
        return make<MachineQueryImpl>(contents_, location, vendor, model);
    }

private:
    std::shared_ptr<LibraryContents> contents_;
};

class PrintSettingLibraryImpl : public cam::PrintSettingLibrary {
public:
    explicit PrintSettingLibraryImpl(std::shared_ptr<LibraryContents> contents) : contents_(std::move(contents)) {}
    core::Ptr<cam::PrintSettingQuery> createQuery(cam::LibraryLocations location) override {
        if (scriptedFailure("PrintSettingLibrary::createQuery")) return core::Ptr<cam::PrintSettingQuery>();
        return make<PrintSettingQueryImpl>(contents_, location);
    }

private:
    std::shared_ptr<LibraryContents> contents_;
};

class LibraryManagerImpl : public cam::CAMLibraryManager {
public:
    explicit LibraryManagerImpl(std::shared_ptr<LibraryContents> contents) : contents_(std::move(contents)) {}
    core::Ptr<cam::MachineLibrary> machineLibrary() override {
        if (scriptedFailure("CAMLibraryManager::machineLibrary")) return core::Ptr<cam::MachineLibrary>();
        return make<MachineLibraryImpl>(contents_);
    }
    core::Ptr<cam::PrintSettingLibrary> printSettingLibrary() override {
        if (scriptedFailure("CAMLibraryManager::printSettingLibrary")) return core::Ptr<cam::PrintSettingLibrary>();
        return make<PrintSettingLibraryImpl>(contents_);
    }

private:
    std::shared_ptr<LibraryContents> contents_;
};

}  // namespace

core::Ptr<cam::MachineCapabilities> MachineImpl::capabilities() {
    if (scriptedFailure("Machine::capabilities")) return core::Ptr<cam::MachineCapabilities>();
    return make<CapabilitiesImpl>(hasTechnology_, technology_);
}

std::string MachineImpl::descriptionXml() const {
    if (hasScriptedDescriptionXml_) return scriptedDescriptionXml_;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<machine version=\"1\">\n";
    xml += "  <general>\n";
    xml += "    <id>" + escapeXml(id_) + "</id>\n";
    xml += "    <vendor>" + escapeXml(vendor_) + "</vendor>\n";
    xml += "    <model>" + escapeXml(model_) + "</model>\n";
    xml += "    <description>" + escapeXml(description_) + "</description>\n";
    xml += "  </general>\n";
    if (!postProcessor_.empty()) {
        xml += "  <post>\n    <postProcessor>" + escapeXml(postProcessor_) + "</postProcessor>\n  </post>\n";
    }
    xml += "</machine>\n";
    return xml;
}

bool MachineImpl::exportToFile(int format, const std::string& filePath) {
    if (scriptedFailure("Machine::exportToFile")) return false;
    if (format != cam::MachineDescriptionExportFormat) {
        setLastError(core::InvalidArgumentError, "unsupported machine export format " + std::to_string(format));
        return false;
    }
    std::ofstream out(filePath, std::ios::binary | std::ios::trunc);
    if (!out) {
        setLastError(core::OperationFailedError, "cannot write " + filePath);
        return false;
    }
    out << descriptionXml();
    out.close();
    if (!out) {
        setLastError(core::OperationFailedError, "cannot write " + filePath);
        return false;
    }
    return true;
}

CAMManagerImpl::CAMManagerImpl() : contents_(std::make_shared<LibraryContents>()) {}

core::Ptr<cam::CAMLibraryManager> CAMManagerImpl::libraryManager() {
    if (scriptedFailure("CAMManager::libraryManager")) return core::Ptr<cam::CAMLibraryManager>();
    return make<LibraryManagerImpl>(contents_);
}

}  // namespace impl
}  // namespace qrvn
