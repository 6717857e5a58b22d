#include "demo/transcript.h"

#include <iostream>

namespace demo {

using qrvn::core::Ptr;
namespace kalvix = qrvn::kalvix;

void Checks::expect(bool holds, const std::string& what) {
    ++total_;
    if (!holds) ++missed_;
    std::cout << (holds ? "  [ok]      " : "  [MISSING] ") << what << "\n";
}

void heading(const std::string& title) { std::cout << "\n== " << title << " ==\n"; }

std::string join(const std::vector<std::string>& texts, const std::string& separator) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : separator) + text;
    return joined;
}

namespace {

std::string bodiesOf(const Ptr<kalvix::Component>& component) {
    std::vector<std::string> names;
    auto bodies = component->bRepBodies();
    for (size_t i = 0; bodies && i < bodies->count(); ++i) names.push_back(bodies->item(i)->name());
    auto meshes = component->meshBodies();
    for (size_t i = 0; meshes && i < meshes->count(); ++i) {
        names.push_back(meshes->item(i)->name() + " (mesh)");
    }
    return names.empty() ? "no bodies" : "bodies: " + join(names, ", ");
}

void printOccurrence(const Ptr<kalvix::Occurrence>& occurrence, const std::string& indent) {
    std::cout << indent << occurrence->name() << "  [" << bodiesOf(occurrence->component()) << "]\n";
    auto children = occurrence->childOccurrences();
    for (size_t i = 0; children && i < children->count(); ++i) {
        printOccurrence(children->item(i), indent + "  ");
    }
}

}  // namespace

void printDesign(const Ptr<kalvix::Component>& root) {
    std::cout << "  " << root->name() << "  [" << bodiesOf(root) << "]\n";
    auto occurrences = root->occurrences();
    for (size_t i = 0; occurrences && i < occurrences->count(); ++i) {
        printOccurrence(occurrences->item(i), "    ");
    }
}

std::string describeModel(const Ptr<qrvn::core::Base>& model) {
    if (auto body = model.query<kalvix::BRepBody>()) return "body " + body->name();
    if (auto mesh = model.query<kalvix::MeshBody>()) return "mesh body " + mesh->name();
    if (auto occurrence = model.query<kalvix::Occurrence>()) return "occurrence " + occurrence->name();
    return model ? std::string(model->objectType()) : "none";
}

std::vector<std::string> describeModels(const std::vector<Ptr<qrvn::core::Base>>& models) {
    std::vector<std::string> texts;
    for (const auto& model : models) texts.push_back(describeModel(model));
    return texts;
}

void printDropDown(const Ptr<qrvn::core::DropDownCommandInput>& dropDown) {
    std::cout << "  " << dropDown->name() << " (" << dropDown->id() << "):\n";
    auto items = dropDown->listItems();
    if (!items || items->count() == 0) std::cout << "      (empty)\n";
    for (size_t i = 0; items && i < items->count(); ++i) {
        auto item = items->item(i);
        std::cout << "      " << (item->isSelected() ? "[x] " : "[ ] ") << item->name() << "\n";
    }
}

}  // namespace demo
