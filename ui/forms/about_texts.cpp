#include "ui/forms/about_texts.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quelto {

const char* productVersion() {
  return QUELTO_VERSION;
}

namespace {
// The project has no web site; the box shows where the manual is installed.
constexpr const char* kAddress = QUELTO_INSTALL_DATA_DIR;
}  // namespace

AboutTexts aboutTexts(int language) {
  const std::string nameAndVersion = std::string(kProductName) + " " + productVersion();
  if (language == 1) {
    return {nameAndVersion,
            "Copyright © 2026 les développeurs de Quelto",
            "Écrit par les développeurs de Quelto",
            "Construit avec FLTK",
            "Réalisé par le projet Quelto",
            "Tous droits réservés.",
            kAddress};
  }
  return {nameAndVersion,
          "Copyright © 2026 the Quelto developers",
          "Written by the Quelto developers",
          "Built with FLTK",
          "Made by the Quelto project",
          "All rights reserved.",
          kAddress};
}

std::string helpFileName(const std::string& languageName) {
  return languageName.substr(0, 2) + ".fmt";
}

std::vector<std::string> helpFileFolders() {
  std::vector<std::string> folders;
  if (const char* dir = std::getenv("QUELTO_DATA_DIR"); dir && *dir) folders.emplace_back(dir);
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) folders.push_back((exe.parent_path().parent_path() / "share" / "quelto").string());
  folders.emplace_back(QUELTO_INSTALL_DATA_DIR);
  return folders;
}

std::optional<std::string> findHelpFile(const std::string& languageName) {
  const std::string name = helpFileName(languageName);
  for (const std::string& folder : helpFileFolders()) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
  }
  return std::nullopt;
}

}  // namespace quelto
