#include "settings/phonebook.h"

#include <gtest/gtest.h>

#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

using PhonebookTest = ScratchStore;

Phonebook bookOf(int count) {
  Phonebook book;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    book.append({"name" + n, "555-" + n, "notes " + n});
  }
  return book;
}

TEST_F(PhonebookTest, ProfileWithoutPhonebookLoadsEmpty) {
  Phonebook book = bookOf(3);
  loadPhonebook(book, "profiles\\7");
  EXPECT_TRUE(book.empty());
  // An empty key leaves the list alone.
  book = bookOf(3);
  loadPhonebook(book, "");
  EXPECT_EQ(book.size(), 3);
  EXPECT_EQ(savePhonebook(book, ""), kSettingWriteOk);
  EXPECT_FALSE(storeExists());
}

TEST_F(PhonebookTest, SavingTwoOverFiveKeepsTheRestUnread) {
  ASSERT_EQ(savePhonebook(bookOf(5), "profiles\\7"), kSettingWriteOk);
  Phonebook two;
  two.append({"Zed", "1", ""});
  two.append({"Yan", "2", "x"});
  ASSERT_EQ(savePhonebook(two, "profiles\\7"), kSettingWriteOk);
  EXPECT_EQ(raw("profiles\\7\\bottin\\numEntries"), "2");
  EXPECT_EQ(raw("profiles\\7\\bottin\\entry0name"), "Zed");
  EXPECT_EQ(raw("profiles\\7\\bottin\\entry1notes"), "x");
  EXPECT_EQ(raw("profiles\\7\\bottin\\entry4name"), "name4");
  Phonebook read;
  loadPhonebook(read, "profiles\\7");
  EXPECT_EQ(read, two);
}

TEST_F(PhonebookTest, DamagedCountsLoadWhatIsSensible) {
  setSettingInt("profiles\\7\\bottin\\numEntries", -3);
  Phonebook book = bookOf(2);
  loadPhonebook(book, "profiles\\7");
  EXPECT_TRUE(book.empty());
  setSettingInt("profiles\\7\\bottin\\numEntries", 2);
  setSettingString("profiles\\7\\bottin\\entry0name", "Only");
  loadPhonebook(book, "profiles\\7");
  ASSERT_EQ(book.size(), 2);
  EXPECT_EQ(book.entry(0).name, "Only");
  EXPECT_EQ(book.entry(1).name, "");
}

TEST_F(PhonebookTest, OutOfRangeGivesTheDummyWhichRemovalIgnores) {
  Phonebook book = bookOf(2);
  EXPECT_EQ(book.entry(2).name, "ERROR DUMMY");
  EXPECT_EQ(book.entry(-1).name, "ERROR DUMMY");
  EXPECT_EQ(book.entry(-1).number, "");
  EXPECT_EQ(book.editableEntry(2), nullptr);
  book.remove(2);
  book.remove(-1);
  EXPECT_EQ(book.size(), 2);
  book.remove(0);
  EXPECT_EQ(book.entry(0).name, "name1");
}

TEST_F(PhonebookTest, DiallingListLines) {
  Phonebook book = bookOf(1);
  book.append({"No number", "", ""});
  EXPECT_EQ(diallingListLines(book), (std::vector<std::string>{"555-0 : name0", " : No number"}));
}

TEST_F(PhonebookTest, EditorSelectsEditsAndKeepsTheSourceUntouched) {
  const Phonebook source = bookOf(3);
  PhonebookEditor editor;
  editor.load(source);
  EXPECT_EQ(editor.listLines(), (std::vector<std::string>{"name0", "name1", "name2"}));
  EXPECT_FALSE(editor.fields().enabled);

  editor.select(2);
  PhonebookEditor::Fields f = editor.fields();
  EXPECT_TRUE(f.enabled);
  EXPECT_EQ(f.telephone, "555-1");
  EXPECT_EQ(f.notes, "notes 1");
  editor.editNumber("911");
  editor.editNotes("");
  EXPECT_EQ(editor.workingCopy().entry(1).number, "911");
  EXPECT_EQ(editor.workingCopy().entry(1).notes, "");
  EXPECT_EQ(source.entry(1).number, "555-1");  // Cancel would lose nothing

  editor.select(9);
  EXPECT_EQ(editor.selectedLine(), 0);
  editor.editNumber("lost");
  EXPECT_EQ(editor.workingCopy(), [] {
    Phonebook b = bookOf(3);
    b.editableEntry(1)->number = "911";
    b.editableEntry(1)->notes = "";
    return b;
  }());
}

TEST_F(PhonebookTest, EditorAddRenameAndRemoveFollowTheSelection) {
  PhonebookEditor editor;
  editor.load(bookOf(3));
  EXPECT_FALSE(editor.addContact(std::nullopt));
  EXPECT_FALSE(editor.addContact(std::string()));
  EXPECT_EQ(editor.workingCopy().size(), 3);
  EXPECT_TRUE(editor.addContact(std::string("New")));
  EXPECT_EQ(editor.selectedLine(), 4);
  EXPECT_EQ(editor.fields().telephone, "");
  EXPECT_TRUE(editor.fields().enabled);

  EXPECT_EQ(editor.selectedName(), "New");
  EXPECT_FALSE(editor.renameContact(std::nullopt));
  EXPECT_TRUE(editor.renameContact(std::string("")));
  EXPECT_EQ(editor.listLines().back(), "");

  // Removing the last line selects the new last line.
  editor.removeContact();
  EXPECT_EQ(editor.selectedLine(), 3);
  // Removing a middle line selects the line that took its number.
  editor.select(2);
  editor.removeContact();
  EXPECT_EQ(editor.selectedLine(), 2);
  EXPECT_EQ(editor.fields().telephone, "555-2");
  editor.select(1);
  editor.removeContact();
  editor.removeContact();
  EXPECT_EQ(editor.selectedLine(), 0);
  EXPECT_FALSE(editor.fields().enabled);
  EXPECT_TRUE(editor.workingCopy().empty());
  editor.removeContact();
  EXPECT_FALSE(editor.renameContact(std::string("x")));
}

}  // namespace
}  // namespace quelto
