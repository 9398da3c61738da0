#include "settings/phonebook.h"

#include <cstdio>

#include "settings/settings_store.h"

namespace quelto {
namespace {

std::string entryName(const std::string& key, int index, const char* field) {
  return key + "\\bottin\\entry" + std::to_string(index) + field;
}

}  // namespace

const PhonebookEntry& Phonebook::entry(int index) const {
  static const PhonebookEntry dummy{kPhonebookDummyName, "", ""};
  if (index < 0 || index >= size()) return dummy;
  return entries_[static_cast<std::size_t>(index)];
}

PhonebookEntry* Phonebook::editableEntry(int index) {
  if (index < 0 || index >= size()) return nullptr;
  return &entries_[static_cast<std::size_t>(index)];
}

void Phonebook::append(PhonebookEntry entry) {
  entries_.push_back(std::move(entry));
}

void Phonebook::remove(int index) {
  if (index < 0 || index >= size()) return;
  entries_.erase(entries_.begin() + index);
}

bool Phonebook::operator==(const Phonebook& other) const {
  if (entries_.size() != other.entries_.size()) return false;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const PhonebookEntry& a = entries_[i];
    const PhonebookEntry& b = other.entries_[i];
    if (a.name != b.name || a.number != b.number || a.notes != b.notes) return false;
  }
  return true;
}

void loadPhonebook(Phonebook& phonebook, const std::string& key) {
  if (key.empty()) return;
  int count = getSettingInt(key + "\\bottin\\numEntries", 0);
  if (count < 0) count = 0;
  if (count > kMaxPhonebookEntries) count = kMaxPhonebookEntries;
  phonebook.clear();
  for (int i = 0; i < count; ++i) {
    phonebook.append({getSettingString(entryName(key, i, "name"), ""),
                      getSettingString(entryName(key, i, "number"), ""),
                      getSettingString(entryName(key, i, "notes"), "")});
  }
}

int savePhonebook(const Phonebook& phonebook, const std::string& key) {
  if (key.empty()) return kSettingWriteOk;
  SettingsBatch batch;
  int result = setSettingInt(key + "\\bottin\\numEntries", phonebook.size());
  for (int i = 0; i < phonebook.size(); ++i) {
    const PhonebookEntry& e = phonebook.entry(i);
    result |= setSettingString(entryName(key, i, "name"), e.name);
    result |= setSettingString(entryName(key, i, "number"), e.number);
    result |= setSettingString(entryName(key, i, "notes"), e.notes);
  }
  result |= batch.finish();
  return result == kSettingWriteOk ? kSettingWriteOk : kSettingWriteFailed;
}

std::vector<std::string> diallingListLines(const Phonebook& phonebook) {
  std::vector<std::string> lines;
  lines.reserve(phonebook.entries().size());
  for (const PhonebookEntry& e : phonebook.entries()) lines.push_back(e.number + " : " + e.name);
  return lines;
}

void PhonebookEditor::load(const Phonebook& source) {
  copy_ = source;
  selected_ = 0;
}

std::vector<std::string> PhonebookEditor::listLines() const {
  std::vector<std::string> lines;
  for (const PhonebookEntry& e : copy_.entries()) lines.push_back(e.name);
  return lines;
}

void PhonebookEditor::select(int line) {
  selected_ = line >= 1 && line <= copy_.size() ? line : 0;
}

PhonebookEditor::Fields PhonebookEditor::fields() const {
  Fields f;
  if (selected_ == 0) return f;
  const PhonebookEntry& e = copy_.entry(selected_ - 1);
  f.enabled = true;
  f.telephone = e.number;
  f.notes = e.notes;
  return f;
}

void PhonebookEditor::editNumber(const std::string& number) {
  if (PhonebookEntry* e = copy_.editableEntry(selected_ - 1)) e->number = number;
}

void PhonebookEditor::editNotes(const std::string& notes) {
  if (PhonebookEntry* e = copy_.editableEntry(selected_ - 1)) e->notes = notes;
}

bool PhonebookEditor::addContact(const std::optional<std::string>& name) {
  if (!name || name->empty()) return false;
  copy_.append({*name, "", ""});
  selected_ = copy_.size();
  return true;
}

std::string PhonebookEditor::selectedName() const {
  return selected_ == 0 ? std::string() : copy_.entry(selected_ - 1).name;
}

bool PhonebookEditor::renameContact(const std::optional<std::string>& newName) {
  PhonebookEntry* e = copy_.editableEntry(selected_ - 1);
  if (!e || !newName) return false;
  e->name = *newName;
  return true;
}

void PhonebookEditor::removeContact() {
  if (selected_ == 0) return;
  copy_.remove(selected_ - 1);
  if (selected_ > copy_.size()) selected_ = copy_.size();
}

}  // namespace quelto
