// The texts of the about box and the splash screen, and the name of the help
// file. They are the program's own, given here in both interface languages
// so that they need no entries in the translation table. UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quelto {

constexpr const char* kProductName = "Quelto";

// The version the build was made from ("0.1.0").
const char* productVersion();

struct AboutTexts {
  std::string nameAndVersion;  // "Quelto 0.1.0": Times bold 24 in the about box
  const char* copyright;       // "Copyright © 2026 the Quelto developers"
  const char* authors;         // "Written by the Quelto developers"
  const char* toolkitCredit;   // "Built with FLTK"
  const char* maker;           // "Made by the Quelto project"
  const char* rights;          // "All rights reserved."
  const char* address;         // where the manual is installed, shown in Courier
};

// For kLanguageEnglish (0) or kLanguageFrench (1); any other index gives
// the English texts.
AboutTexts aboutTexts(int language);

// The help file of a language: the first two bytes of its name followed by
// ".fmt" ("English" -> "En.fmt", "Français" -> "Fr.fmt").
std::string helpFileName(const std::string& languageName);

// Where help files are looked for, in order: $QUELTO_DATA_DIR when set, the
// share/quelto folder beside the running program's bin folder (the build
// folder has one too), and the folder the build installs into. Never the
// source tree: an installed program finds its data in its prefix only.
std::vector<std::string> helpFileFolders();

// The first existing help file of that language in those folders.
std::optional<std::string> findHelpFile(const std::string& languageName);

}  // namespace quelto
