// The Personal Preferences window's behaviour, without the window: what its
// pages, message buttons and contact list show for the current profile, the
// contacts being edited, the margin units the fields are expressed in, and
// OK (checked, then stored at once) and Cancel. The window's part is behind
// PersonalPreferencesWindow, so the dialog is tested without a display; the
// toolkit window implements it in ui/preference_dialogs.cpp and forwards its
// controls here.
//
// Threads: user-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "settings/phonebook.h"
#include "settings/profile.h"
#include "ui/forms/personal_preferences.h"

namespace quelto {

class Prompt;

// What the controller needs of the window. Contact lines count from 1.
class PersonalPreferencesWindow {
 public:
  virtual ~PersonalPreferencesWindow() = default;
  // Every page's fields (the contacts and message buttons aside).
  virtual void showValues(const PersonalPreferencesValues& values) = 0;
  // What every page's fields hold now.
  virtual PersonalPreferencesValues shownValues() const = 0;
  // The four margin fields alone.
  virtual void showMargins(const MarginTexts& margins) = 0;
  // The programmed-message button `index` (0..9) of the main window.
  virtual void showMessageLabel(int index, const std::string& label) = 0;
  // The contact list replaced by `names`, no line selected.
  virtual void showContactList(const std::vector<std::string>& names) = 0;
  // The contact list made usable or not (it is not while it is empty at
  // opening).
  virtual void enableContactList(bool enabled) = 0;
  // A name appended to the list, which becomes usable.
  virtual void addContactLine(const std::string& name) = 0;
  virtual void renameContactLine(int line, const std::string& name) = 0;
  virtual void removeContactLine(int line) = 0;
  // The selected line, 0 for none; a selected list takes the keyboard.
  virtual void selectContactLine(int line) = 0;
  // The telephone and notes fields, and whether they and the rename and
  // remove buttons can be used.
  virtual void showContactFields(const PhonebookEditor::Fields& fields) = 0;
  // Shows the window and returns once it is closed.
  virtual void run() = 0;
  // Hides the window; the keyboard goes back to the conversation.
  virtual void close() = 0;
  // currentProfile() onto the whole interface: the main window, the modem,
  // and this window again through PersonalPreferencesController::load.
  virtual void applyProfile() = 0;
  // The conversation laid out again and redrawn in full (its fonts may
  // have changed).
  virtual void redrawConversation() = 0;
};

class PersonalPreferencesController {
 public:
  // The prompt and the window outlive this object.
  PersonalPreferencesController(Prompt& prompt, PersonalPreferencesWindow& window);
  PersonalPreferencesController(const PersonalPreferencesController&) = delete;
  PersonalPreferencesController& operator=(const PersonalPreferencesController&) = delete;

  // Fills the window from `profile`: every page, the message buttons and a
  // working copy of the contacts with no line selected. Units out of range
  // show (and count) as inches.
  void load(const Profile& profile);

  // Opening: the current profile applied again, the first contact selected
  // when there is one; returns once the window is closed.
  void open();

  // OK. Refused, with the reason told through the prompt and the window
  // left open, when the margins leave no printable area
  // (marginsLeavePrintableArea); nothing is stored then. Otherwise the
  // window closes, the pages and contacts go into currentProfile(), which
  // is written to the settings store at once and applied. True when stored.
  bool accept();
  // Cancel (also the close box and Escape): the window closes and shows the
  // unchanged profile again, so every edit is given back.
  void cancel();

  // The "Units" choice changed: the margin fields are converted from the
  // units they were in.
  void unitsChanged();

  // A message field changed: its button in the main window follows.
  void messageEdited(int index, const std::string& text);
  // The main window's message button labels ("Not Programmed" until a
  // profile is loaded).
  const std::string& messageLabel(int index) const { return messageLabels_.at(index); }

  // The contact list's line `line` was clicked (0: none selected).
  void selectContact(int line);
  void editTelephone(const std::string& number);
  void editNotes(const std::string& notes);
  // Asks for a name; an answered, non-empty name is appended and selected.
  // True when a contact was added.
  bool addContact();
  // Asks for the selected contact's new name, offering the current one.
  void renameContact();
  // Removes the selected contact; the next one (or the new last) is
  // selected.
  void removeContact();
  // The working copy of the contacts.
  const PhonebookEditor& contacts() const { return contacts_; }

 private:
  Prompt& prompt_;
  PersonalPreferencesWindow& window_;
  PhonebookEditor contacts_;
  int shownUnits_ = 0;
  std::array<std::string, kProgrammedMessageCount> messageLabels_;
};

}  // namespace quelto
