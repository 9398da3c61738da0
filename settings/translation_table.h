// The two columns of the translation table, in table order. Keys and texts
// are static UTF-8 literals that live for the whole run.
#pragma once

#include <array>
#include <cstddef>

namespace quelto {

struct TranslationEntry {
  const char* key;   // the English text written in the program
  const char* text;  // what the user sees in that language
};

constexpr std::size_t kTranslationEntryCount = 205;

extern const std::array<TranslationEntry, kTranslationEntryCount> kEnglishTexts;
extern const std::array<TranslationEntry, kTranslationEntryCount> kFrenchTexts;

}  // namespace quelto
