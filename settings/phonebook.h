// A profile's phonebook: contacts with a name, a number and free notes, kept
// in the settings store below the profile's key, plus the working copy that
// the Phonebook tab edits and the lines of the dialling list.
//
// Texts are UTF-8 as typed. Everything here is used on the user-interface
// thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quelto {

struct PhonebookEntry {
  std::string name;
  std::string number;
  std::string notes;
};

// An ordered list of entries, owned by value: copying a phonebook copies
// every entry.
class Phonebook {
 public:
  int size() const { return static_cast<int>(entries_.size()); }
  bool empty() const { return entries_.empty(); }

  // The entry at index (0-based). An index outside the list gives the shared
  // placeholder named "ERROR DUMMY" (empty number and notes), which is never
  // stored and cannot be changed through this class.
  const PhonebookEntry& entry(int index) const;

  // The entry to change, or nullptr outside the list.
  PhonebookEntry* editableEntry(int index);

  void append(PhonebookEntry entry);
  // Removes the entry at index; an index outside the list is ignored.
  void remove(int index);
  void clear() { entries_.clear(); }

  const std::vector<PhonebookEntry>& entries() const { return entries_; }

  bool operator==(const Phonebook& other) const;

 private:
  std::vector<PhonebookEntry> entries_;
};

// The placeholder's name.
constexpr const char* kPhonebookDummyName = "ERROR DUMMY";

// Reads the phonebook stored below key ("profiles\<id>"): key +
// "\bottin\numEntries" entries (default 0) named "%s\bottin\entry%dname",
// "...number", "...notes". An empty key does nothing. A negative count loads
// nothing; a count above kMaxPhonebookEntries loads that many only, so that
// a damaged count cannot stall the start-up.
void loadPhonebook(Phonebook& phonebook, const std::string& key);
constexpr int kMaxPhonebookEntries = 100000;

// Writes the count and every entry below key. Entries of an earlier, longer
// list stay in the store unread. An empty key does nothing. Returns
// kSettingWriteFailed when any write failed.
int savePhonebook(const Phonebook& phonebook, const std::string& key);

// The dialling list: one line per entry, "<number> : <name>".
std::vector<std::string> diallingListLines(const Phonebook& phonebook);

// The working copy that the Phonebook tab edits. Lines count from 1 like the
// toolkit's browser; 0 means no line is selected.
class PhonebookEditor {
 public:
  // What the "Telephone:" and "Notes" fields and the "&Rename..." and
  // "Re&move" buttons show: enabled with the selected entry's texts, or
  // empty and disabled when no line is selected.
  struct Fields {
    bool enabled = false;
    std::string telephone;
    std::string notes;
  };

  // The working copy becomes a copy of source, no line selected.
  void load(const Phonebook& source);
  const Phonebook& workingCopy() const { return copy_; }

  // The "Contact List" lines: the names in order.
  std::vector<std::string> listLines() const;

  int selectedLine() const { return selected_; }
  // contactSelected: select line (0 or out of range: none).
  void select(int line);
  Fields fields() const;

  // contactTelephoneEdited / contactNotesEdited: without a selection
  // nothing changes.
  void editNumber(const std::string& number);
  void editNotes(const std::string& notes);

  // addContact with the answer to "Name of contact?": nothing for a
  // cancelled (nullopt) or empty answer; otherwise appends the contact and
  // selects it. Returns whether a contact was added.
  bool addContact(const std::optional<std::string>& name);

  // renameContact with the answer to "New name of contact?" (asked with the
  // selected entry's name as default): unless cancelled, the answer (empty
  // too) becomes the name. Returns whether the name was set.
  bool renameContact(const std::optional<std::string>& newName);
  // The default text of that question: the selected entry's name.
  std::string selectedName() const;

  // removeContact: removes the selected entry; selects the line with the
  // same number, or the new last line, or none when the list is empty.
  void removeContact();

 private:
  Phonebook copy_;
  int selected_ = 0;
};

}  // namespace quelto
