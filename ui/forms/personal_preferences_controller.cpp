#include "ui/forms/personal_preferences_controller.h"

#include "conversation/print_layout.h"
#include "conversation/prompt.h"
#include "settings/programmed_messages.h"
#include "settings/translation.h"

namespace quelto {

PersonalPreferencesController::PersonalPreferencesController(Prompt& prompt,
                                                             PersonalPreferencesWindow& window)
    : prompt_(prompt), window_(window) {
  for (std::string& label : messageLabels_) label = translate(Text::NotProgrammed);
}

void PersonalPreferencesController::load(const Profile& profile) {
  PersonalPreferencesValues values = preferencesFromProfile(profile);
  if (values.units < 0 || values.units > static_cast<int>(MarginUnit::Points)) values.units = 0;
  window_.showValues(values);
  shownUnits_ = values.units;
  messageLabels_ = messageButtonLabels(values);
  for (int i = 0; i < kProgrammedMessageCount; ++i) window_.showMessageLabel(i, messageLabels_[i]);

  contacts_.load(profile.phonebook);
  window_.showContactList(contacts_.listLines());
  window_.showContactFields(contacts_.fields());
}

void PersonalPreferencesController::open() {
  window_.applyProfile();
  const bool any = !contacts_.workingCopy().empty();
  window_.enableContactList(any);
  if (any) selectContact(1);
  window_.run();
}

bool PersonalPreferencesController::accept() {
  Profile changed = currentProfile();
  storePreferences(window_.shownValues(), contacts_.workingCopy(), changed);
  if (!marginsLeavePrintableArea(changed)) {
    prompt_.alert(translate(Text::MarginsLeaveNoRoom));
    return false;
  }
  window_.close();
  currentProfile() = std::move(changed);
  storeCurrentProfile();
  window_.applyProfile();
  window_.redrawConversation();
  return true;
}

void PersonalPreferencesController::cancel() {
  window_.close();
  window_.applyProfile();
  window_.redrawConversation();
}

void PersonalPreferencesController::unitsChanged() {
  const PersonalPreferencesValues shown = window_.shownValues();
  window_.showMargins(convertMarginTexts(shown.margins, shownUnits_, shown.units));
  shownUnits_ = shown.units;
}

void PersonalPreferencesController::messageEdited(int index, const std::string& text) {
  if (index < 0 || index >= kProgrammedMessageCount) return;
  messageLabels_[index] = programmedMessageLabel(index, text);
  window_.showMessageLabel(index, messageLabels_[index]);
}

void PersonalPreferencesController::selectContact(int line) {
  contacts_.select(line);
  window_.selectContactLine(contacts_.selectedLine());
  window_.showContactFields(contacts_.fields());
}

void PersonalPreferencesController::editTelephone(const std::string& number) {
  contacts_.editNumber(number);
}

void PersonalPreferencesController::editNotes(const std::string& notes) {
  contacts_.editNotes(notes);
}

bool PersonalPreferencesController::addContact() {
  const auto name = prompt_.input(translate(Text::NameOfContact), "");
  if (!contacts_.addContact(name)) return false;
  window_.addContactLine(*name);
  selectContact(contacts_.selectedLine());
  return true;
}

void PersonalPreferencesController::renameContact() {
  const int line = contacts_.selectedLine();
  if (line == 0) return;
  const auto name = prompt_.input(translate(Text::NewNameOfContact), contacts_.selectedName());
  if (!contacts_.renameContact(name)) return;
  window_.renameContactLine(line, *name);
}

void PersonalPreferencesController::removeContact() {
  const int line = contacts_.selectedLine();
  if (line == 0) return;
  contacts_.removeContact();
  window_.removeContactLine(line);
  selectContact(contacts_.selectedLine());
}

}  // namespace quelto
