#include "ui/dialogs_logic/about_texts.h"

namespace quelto {

const char* productVersion() { return QUELTO_VERSION; }

AboutTexts aboutTexts(int language) {
    const std::string nameAndVersion = std::string(kProductName) + " " + productVersion();
    if (language == 1) {
        return {nameAndVersion, "Copyright © 2026 les développeurs de Quelto", "Écrit par les développeurs de Quelto",
                "Construit avec FLTK"};
    }
    return {nameAndVersion, "Copyright © 2026 the Quelto developers", "Written by the Quelto developers",
            "Built with FLTK"};
}

std::string helpFileName(const std::string& languageName) { return languageName.substr(0, 2) + ".fmt"; }

}  // namespace quelto
