// logAndNotify lives apart from the log itself: only this part needs the
// host, so the plain log stays usable where no host is linked.
#include <string>

#include "support/document.h"
#include "support/log.h"

namespace support {

void logAndNotify(const std::string& message, const std::string& title, bool show, int32_t icon) {
    log(message, title);
    if (!show) return;
    qrvn::core::Ptr<qrvn::core::UserInterface> ui = getUserInterface();
    if (!ui) return;
    // Codes the host does not define would not be a valid enumerator value.
    const auto iconType = icon >= qrvn::core::NoIconIconType && icon <= qrvn::core::CriticalIconType
                              ? static_cast<qrvn::core::MessageBoxIconTypes>(icon)
                              : qrvn::core::NoIconIconType;
    ui->messageBox(message, title, qrvn::core::OKButtonType, iconType);
}

}  // namespace support
