// The interface texts: one row per text, its English form (the key the
// program writes, in ui/quelto.fl or through a Text name) beside its French
// form. English is shown as the key itself. All texts are static UTF-8
// literals that live for the whole run.
#pragma once

#include <cstddef>

namespace quelto {

struct TranslationRow {
  const char* english;
  const char* french;
};

// The rows in table order; every key appears once.
struct TranslationRows {
  const TranslationRow* first;
  std::size_t count;
  const TranslationRow* begin() const { return first; }
  const TranslationRow* end() const { return first + count; }
  std::size_t size() const { return count; }
};
TranslationRows translationRows();

// The row whose English text equals `english` byte for byte, or nullptr.
const TranslationRow* findTranslationRow(const char* english);

}  // namespace quelto
