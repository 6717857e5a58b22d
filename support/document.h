#pragma once
// Host lookups and the persistent identity of a host document.
//
// A document's EXMI UUID is a random identifier stored in the document as
// the host attribute group "EXMI", name "DocumentUUID"; it is saved with
// the document and names it across sessions. A machine path, EXMI UUID +
// "/" + the setup's operation id, names one setup of one document.
// No state of their own; like every host call they run on the host's
// user-interface thread. Lookups that find nothing answer none or empty
// text; a document without the collection a lookup needs (attributes,
// products) is a failure (std::exception).

#include <set>
#include <string>

#include "host/cam.h"
#include "host/core.h"
#include "host/kalvix.h"

namespace support {

// The host's user interface; none without an application.
qrvn::core::Ptr<qrvn::core::UserInterface> getUserInterface();

// The active document; none without an application or document.
qrvn::core::Ptr<qrvn::core::Document> getActiveDocument();

// The document's CAM product, none when it has none. Never switches
// workspaces.
qrvn::core::Ptr<qrvn::cam::CAM> getCamProduct(const qrvn::core::Ptr<qrvn::core::Document>& document);

// The document's EXMI UUID; empty for no document or no attribute.
std::string readDocumentUuid(const qrvn::core::Ptr<qrvn::core::Document>& document);

// Gives the document an EXMI UUID when it has none; with `replaceIfKnown`,
// also replaces one that is in `known` (a copy of an open document gets its
// own identity). Returns the document's EXMI UUID afterwards, empty for no
// document.
std::string ensureDocumentUuid(const qrvn::core::Ptr<qrvn::core::Document>& document, std::set<std::string> known,
                               bool replaceIfKnown);

// The first open design document with exactly this EXMI UUID; none when
// there is none, and for empty text (documents without identity do not
// match).
qrvn::core::Ptr<qrvn::kalvix::KalvixDocument> findDocumentByUuid(const std::string& uuid);

// EXMI UUID + "/" + operation id in decimal. Fails with std::runtime_error
// "invalid setup or document" when either is none.
std::string machinePath(const qrvn::core::Ptr<qrvn::core::Document>& document,
                        const qrvn::core::Ptr<qrvn::cam::Setup>& setup);

}  // namespace support
