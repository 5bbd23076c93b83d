#include "tavrine/model/PrivacySettingsOpening.h"

#include "tavrine/core/Log.h"

namespace tavrine {

namespace {
std::shared_ptr<PrivacySettingsOpening>& installedOpener() {
    static std::shared_ptr<PrivacySettingsOpening> opener;
    return opener;
}
} // namespace

void PrivacySettingsOpening::install(std::shared_ptr<PrivacySettingsOpening> opener) {
    installedOpener() = std::move(opener);
}

void PrivacySettingsOpening::open(const QString& anchor) {
    // A copy: the opener may install another while it runs.
    const auto opener = installedOpener();
    if (!opener) {
        log::error(logFocus(), QStringLiteral("No desktop settings opener is installed; nothing to open"));
        return;
    }
    opener->openAnchor(anchor);
}

} // namespace tavrine
