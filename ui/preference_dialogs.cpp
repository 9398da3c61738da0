// The preference and profile dialogs: Personal Preferences (its five pages,
// the contacts being edited, OK and Cancel), Global Preferences, the splash
// window, and the windows that edit and delete profiles. What to show and
// what to store is decided by ui/forms/personal_preferences.h,
// settings/global_preferences.h and settings/profile.h; this file moves
// values between those and the widgets.
#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>

#include "audio/announcements.h"
#include "audio/device_list.h"
#include "audio/sound_stream.h"
#include "conversation/activity_log.h"
#include "conversation/prompt.h"
#include "settings/global_preferences.h"
#include "settings/profile.h"
#include "settings/programmed_messages.h"
#include "settings/translation.h"
#include "ui/forms/about_texts.h"
#include "ui/forms/personal_preferences.h"
#include "ui/quelto_user_interface_impl.h"
#include "ui/widgets/colour_menu.h"

namespace quelto {

namespace {

constexpr int kPreviewSent = 0;
constexpr int kPrintSent = 0;

// A menu item's text is parsed by the toolkit: "/" opens a submenu, "&"
// marks a shortcut, a leading "_" draws a divider. Device names may hold
// any of them.
std::string menuText(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == '_') out += '\\';
    if (c == '&') out += '&';
    out += c;
  }
  return out;
}

// A device choice's entries; those the system does not list now are shown
// as not found.
void fillDeviceChoice(Fl_Choice* choice, const std::vector<std::string>& names,
                      const std::vector<std::string>& listed) {
  choice->clear();
  for (const std::string& name : names)
    choice->add(
        menuText(deviceChoiceLabel(name, listed, translate(Text::SoundDeviceNotFound))).c_str());
}

void setActive(Fl_Widget* widget, bool active) {
  if (active)
    widget->activate();
  else
    widget->deactivate();
}

void hideSplash(void* window) {
  static_cast<Fl_Window*>(window)->hide();
}

}  // namespace

// --- Building ---------------------------------------------------------------------------

void QueltoUserInterfaceImpl::buildPreferenceWindows() {
  const auto tr = [](const char* english) { return translate(english); };
  sentFontMenu->build(FontMenuButton::Kind::Preview, tr);
  receivedFontMenu->build(FontMenuButton::Kind::Preview, tr);
  bottomFontMenu->build(FontMenuButton::Kind::Bottom, tr);
  printSentFontMenu->build(FontMenuButton::Kind::Print, tr);
  printReceivedFontMenu->build(FontMenuButton::Kind::Print, tr);
  preferencesTabs->value(fontsColorsPage);

  // Names typed by the user are shown as they are, never as the browser's
  // "@" formatting codes.
  for (Fl_Browser* list : {contactList, deleteProfileList, vocalAnnounceList}) list->format_char(0);
  vocalAnnounceList->clear();
  for (const Announcement& a : announcements()) vocalAnnounceList->add(a.text.c_str());
  vocalAnnounceList->value(1);

  for (Fl_Input* input : {topMarginInput, leftMarginInput, rightMarginInput, bottomMarginInput})
    input->maximum_size(63);

  languageChoice->clear();
  for (int i = 0; i < languageCount(); ++i) languageChoice->add(menuText(languageName(i)).c_str());
  for (std::string& label : messageLabels_) label = translate(Text::NotProgrammed);

  // Closing the window with its close box or Escape is a Cancel: the message
  // buttons and the contacts are given back too.
  personalPreferencesWindow->callback(
      [](Fl_Widget*, void* data) {
        static_cast<QueltoUserInterfaceImpl*>(data)->cancelPersonalPreferences();
      },
      this);
}

// Without the lists taken at start-up the choices offer "Default" only.
const std::vector<std::string>& QueltoUserInterfaceImpl::inputDevices() const {
  static const std::vector<std::string> onlyDefault{kDefaultDeviceName};
  return deviceLists_ ? deviceLists_->inputList() : onlyDefault;
}

const std::vector<std::string>& QueltoUserInterfaceImpl::outputDevices() const {
  static const std::vector<std::string> onlyDefault{kDefaultDeviceName};
  return deviceLists_ ? deviceLists_->outputList() : onlyDefault;
}

// --- Personal Preferences: profile <-> widgets ----------------------------------------

void QueltoUserInterfaceImpl::applyProfileToPreferences() {
  const Profile& p = currentProfile();
  const PersonalPreferencesValues values = preferencesFromProfile(p);
  showPreferenceValues(values);
  previousUnits_ = unitsChoice->value();
  for (int i = 0; i < kProgrammedMessageCount; ++i) programmedMessageEdited(i);

  contacts_.load(p.phonebook);
  contactList->clear();
  for (const std::string& name : contacts_.listLines()) contactList->add(name.c_str());
  showContactFields();
}

void QueltoUserInterfaceImpl::showPreferenceValues(const PersonalPreferencesValues& v) {
  const auto preview = [](Fl_Widget* box, FontMenuButton* menu, const PreviewText& t, Text text) {
    box->labelcolor(static_cast<Fl_Color>(t.color));
    box->labelfont(static_cast<Fl_Font>(t.face));
    box->labelsize(static_cast<Fl_Fontsize>(t.size));
    box->label(translate(text));
    menu->mark(t.face, t.size, t.capitals);
  };
  preview(sentPreview, sentFontMenu, v.sent, sentPreviewText(v.sent.capitals));
  preview(receivedPreview, receivedFontMenu, v.received, receivedPreviewText(v.received.capitals));
  bottomTextPreview->labelcolor(static_cast<Fl_Color>(v.bottomTextColor));
  bottomTextPreview->labelsize(static_cast<Fl_Fontsize>(v.bottomTextSize));
  bottomTextPreview->color(static_cast<Fl_Color>(v.bottomBoxColor));
  bottomFontMenu->mark(0, v.bottomTextSize, false);
  previewBackground->color(static_cast<Fl_Color>(v.backgroundColor));

  baudRateChoice->value(v.baudChoice);
  sensitivitySlider->value(v.sensitivity);
  unshiftOnSpaceBox->value(v.unshiftOnSpace ? 1 : 0);
  if (v.vocalAnnounce && *v.vocalAnnounce < vocalAnnounceList->size())
    vocalAnnounceList->value(*v.vocalAnnounce + 1);
  else
    vocalAnnounceList->deselect();

  unitsChoice->value(v.units >= 0 && v.units < unitsChoice->size() - 1 ? v.units : 0);
  topMarginInput->value(v.margins.top.c_str());
  leftMarginInput->value(v.margins.left.c_str());
  rightMarginInput->value(v.margins.right.c_str());
  bottomMarginInput->value(v.margins.bottom.c_str());
  useScreenFacesBox->value(v.useScreenFaces ? 1 : 0);
  const auto print = [](FontMenuButton* menu, const PrintFont& f, Text label) {
    menu->label(translate(label));
    menu->labelfont(static_cast<Fl_Font>(f.face));
    menu->mark(f.face, f.size, f.capitals);
  };
  print(printSentFontMenu, v.printSent, printSentButtonLabel(v.printSent.capitals));
  print(printReceivedFontMenu, v.printReceived, printReceivedButtonLabel(v.printReceived.capitals));

  for (int i = 0; i < kProgrammedMessageCount; ++i) messageInput[i]->value(v.messages[i].c_str());
  personalPreferencesWindow->redraw();
}

PersonalPreferencesValues QueltoUserInterfaceImpl::shownPreferenceValues() const {
  PersonalPreferencesValues v;
  const auto preview = [](const Fl_Widget* box, const FontMenuButton* menu) {
    return PreviewText{static_cast<int>(box->labelcolor()), static_cast<int>(box->labelfont()),
                       static_cast<int>(box->labelsize()), menu->capitals()};
  };
  v.sent = preview(sentPreview, sentFontMenu);
  v.received = preview(receivedPreview, receivedFontMenu);
  v.bottomTextColor = static_cast<int>(bottomTextPreview->labelcolor());
  v.bottomTextSize = static_cast<int>(bottomTextPreview->labelsize());
  v.bottomBoxColor = static_cast<int>(bottomTextPreview->color());
  v.backgroundColor = static_cast<int>(previewBackground->color());

  v.baudChoice = baudRateChoice->value();
  v.sensitivity = sensitivitySlider->value();
  v.unshiftOnSpace = unshiftOnSpaceBox->value() != 0;
  if (vocalAnnounceList->value() > 0) v.vocalAnnounce = vocalAnnounceList->value() - 1;

  v.units = unitsChoice->value();
  v.margins = {topMarginInput->value(), leftMarginInput->value(), rightMarginInput->value(),
               bottomMarginInput->value()};
  v.useScreenFaces = useScreenFacesBox->value() != 0;
  // No checked size (cannot happen from the menu) keeps the profile's size.
  const auto print = [](const FontMenuButton* menu) {
    return PrintFont{static_cast<int>(menu->labelfont()), menu->checkedSize().value_or(0),
                     menu->capitals()};
  };
  v.printSent = print(printSentFontMenu);
  v.printReceived = print(printReceivedFontMenu);

  for (int i = 0; i < kProgrammedMessageCount; ++i) v.messages[i] = messageInput[i]->value();
  return v;
}

// --- Personal Preferences: showing, OK, Cancel -----------------------------------------

void QueltoUserInterfaceImpl::showPersonalPreferences() {
  applyProfileToInterface();
  const bool any = !contacts_.workingCopy().empty();
  for (Fl_Widget* w :
       {static_cast<Fl_Widget*>(renameContactButton), static_cast<Fl_Widget*>(removeContactButton),
        static_cast<Fl_Widget*>(contactTelephone), static_cast<Fl_Widget*>(contactNotes),
        static_cast<Fl_Widget*>(contactList)})
    setActive(w, any);
  if (any) {
    contactList->value(1);
    contactSelected();
  }
  runModal(personalPreferencesWindow);
}

void QueltoUserInterfaceImpl::showPhonebook() {
  preferencesTabs->value(phonebookPage);
  showPersonalPreferences();
}

void QueltoUserInterfaceImpl::applyPersonalPreferences() {
  hideDialog(personalPreferencesWindow);
  storePreferences(shownPreferenceValues(), contacts_.workingCopy(), currentProfile());
  storeCurrentProfile();
  applyProfileToInterface();
  conversationView->relayout();
  conversationView->redrawAll();
}

void QueltoUserInterfaceImpl::cancelPersonalPreferences() {
  hideDialog(personalPreferencesWindow);
  applyProfileToInterface();
  conversationView->relayout();
  conversationView->redrawAll();
}

void QueltoUserInterfaceImpl::moveTab(int step) {
  std::optional<int> current;
  for (int i = 0; i < preferencesTabs->children(); ++i)
    if (preferencesTabs->child(i)->visible()) current = i;
  const std::optional<int> next = steppedPage(current, step, preferencesTabs->children());
  if (!next) return;
  preferencesTabs->value(preferencesTabs->child(*next));
  preferencesTabs->redraw();
}

// --- "Fonts & Colors" ------------------------------------------------------------------

void QueltoUserInterfaceImpl::previewFontPicked(int which) {
  FontMenuButton* menus[] = {sentFontMenu, receivedFontMenu, bottomFontMenu};
  Fl_Widget* boxes[] = {sentPreview, receivedPreview, bottomTextPreview};
  if (which < 0 || which > 2) return;
  FontMenuButton* menu = menus[which];
  Fl_Widget* box = boxes[which];
  const auto choice = menu->choice();
  if (!choice) return;
  using What = FontMenuButton::Choice::What;
  switch (choice->what) {
    case What::Color:
      box->labelcolor(static_cast<Fl_Color>(chooseColor(
          static_cast<int>(box->labelcolor()),
          ScreenPoint{personalPreferencesWindow->x(), personalPreferencesWindow->y()})));
      break;
    case What::Capitals:
      box->label(translate(which == kPreviewSent ? sentPreviewText(menu->capitals())
                                                 : receivedPreviewText(menu->capitals())));
      break;
    case What::Family:
      box->labelfont(static_cast<Fl_Font>(faceWithFamily(box->labelfont(), choice->value)));
      break;
    case What::Style:
      box->labelfont(static_cast<Fl_Font>(faceWithStyle(box->labelfont(), choice->value)));
      break;
    case What::Size:
      box->labelsize(static_cast<Fl_Fontsize>(choice->value));
      break;
  }
  preferencesTabs->redraw();
}

void QueltoUserInterfaceImpl::pickBoxColour(Fl_Widget* box) {
  box->color(static_cast<Fl_Color>(
      chooseColor(static_cast<int>(box->color()),
                  ScreenPoint{personalPreferencesWindow->x(), personalPreferencesWindow->y()})));
  preferencesTabs->redraw();
}

void QueltoUserInterfaceImpl::setDefaultColours(int flag) {
  const PreviewColours c = defaultPreviewColours(flag);
  sentPreview->labelcolor(static_cast<Fl_Color>(c.sentTextColor));
  receivedPreview->labelcolor(static_cast<Fl_Color>(c.receivedTextColor));
  bottomTextPreview->labelcolor(static_cast<Fl_Color>(c.bottomTextColor));
  previewBackground->color(static_cast<Fl_Color>(c.backgroundColor));
  bottomTextPreview->color(static_cast<Fl_Color>(c.bottomBoxColor));
  personalPreferencesWindow->redraw();
}

// --- "Print Options" --------------------------------------------------------------------

void QueltoUserInterfaceImpl::printFontPicked(int which) {
  FontMenuButton* menu = which == kPrintSent ? printSentFontMenu : printReceivedFontMenu;
  const auto choice = menu->choice();
  if (!choice) return;
  using What = FontMenuButton::Choice::What;
  switch (choice->what) {
    case What::Capitals:
      menu->label(translate(which == kPrintSent ? printSentButtonLabel(menu->capitals())
                                                : printReceivedButtonLabel(menu->capitals())));
      break;
    case What::Family:
      menu->labelfont(static_cast<Fl_Font>(faceWithFamily(menu->labelfont(), choice->value)));
      break;
    case What::Style:
      menu->labelfont(static_cast<Fl_Font>(faceWithStyle(menu->labelfont(), choice->value)));
      break;
    case What::Color:
    case What::Size:
      break;  // the checked size item is the size
  }
  preferencesTabs->redraw();
}

void QueltoUserInterfaceImpl::printUnitsChanged() {
  const int units = unitsChoice->value();
  const MarginTexts shown{topMarginInput->value(), leftMarginInput->value(),
                          rightMarginInput->value(), bottomMarginInput->value()};
  const MarginTexts converted = convertMarginTexts(shown, previousUnits_, units);
  topMarginInput->value(converted.top.c_str());
  leftMarginInput->value(converted.left.c_str());
  rightMarginInput->value(converted.right.c_str());
  bottomMarginInput->value(converted.bottom.c_str());
  previousUnits_ = units;
  preferencesTabs->redraw();
}

// --- "Messages" -------------------------------------------------------------------------

void QueltoUserInterfaceImpl::programmedMessageEdited(int index) {
  if (index < 0 || index >= kProgrammedMessageCount) return;
  messageLabels_[index] = programmedMessageLabel(index, messageInput[index]->value());
  showProgrammedMessageLabel(index);
}

void QueltoUserInterfaceImpl::showProgrammedMessageLabel(int index) {
  programmedMessageButton[index]->copy_label(messageLabels_[index].c_str());
  programmedMessageButton[index]->redraw();
}

// --- "Phonebook" ------------------------------------------------------------------------

void QueltoUserInterfaceImpl::showContactFields() {
  const PhonebookEditor::Fields f = contacts_.fields();
  contactTelephone->value(f.telephone.c_str());
  contactNotes->value(f.notes.c_str());
  for (Fl_Widget* w :
       {static_cast<Fl_Widget*>(contactTelephone), static_cast<Fl_Widget*>(contactNotes),
        static_cast<Fl_Widget*>(renameContactButton), static_cast<Fl_Widget*>(removeContactButton)})
    setActive(w, f.enabled);
  if (f.enabled) {
    contactTelephone->position(static_cast<int>(f.telephone.size()));
    contactNotes->position(static_cast<int>(f.notes.size()));
  }
  contactTelephone->redraw();
  contactNotes->redraw();
}

void QueltoUserInterfaceImpl::contactSelected() {
  contacts_.select(contactList->value());
  showContactFields();
  if (contacts_.selectedLine() > 0) Fl::focus(contactList);
}

void QueltoUserInterfaceImpl::contactTelephoneEdited() {
  contacts_.editNumber(contactTelephone->value());
}

void QueltoUserInterfaceImpl::contactNotesEdited() {
  contacts_.editNotes(contactNotes->value());
}

void QueltoUserInterfaceImpl::addContact() {
  const auto name = prompt_.input(translate(Text::NameOfContact), "");
  if (!contacts_.addContact(name)) return;
  contactList->add(name->c_str());
  contactList->activate();
  contactList->value(contactList->size());
  contactSelected();
  Fl::focus(contactTelephone);
  preferencesTabs->redraw();
}

void QueltoUserInterfaceImpl::renameContact() {
  const int line = contacts_.selectedLine();
  if (line == 0) return;
  const auto name = prompt_.input(translate(Text::NewNameOfContact), contacts_.selectedName());
  if (!contacts_.renameContact(name)) return;
  contactList->text(line, name->c_str());
  contactList->redraw();
}

void QueltoUserInterfaceImpl::removeContact() {
  const int line = contacts_.selectedLine();
  if (line == 0) return;
  contacts_.removeContact();
  contactList->remove(line);
  if (contacts_.selectedLine() > 0)
    contactList->value(contacts_.selectedLine());
  else
    contactList->deselect();
  contactSelected();
  preferencesTabs->redraw();
}

// --- Global Preferences -----------------------------------------------------------------

void QueltoUserInterfaceImpl::showGlobalPreferences() {
  const GlobalPreferencesValues v = readGlobalPreferences();
  languageChoice->value(v.languageIndex);
  disableSplashBox->value(v.disableSplash ? 1 : 0);
  splashDurationOutput->value(v.durationDisplay);
  splashDurationSlider->value(v.durationSlider);
  confirmFileNewBox->value(v.confirmFileNew ? 1 : 0);
  confirmFileQuitBox->value(v.confirmFileQuit ? 1 : 0);
  confirmEditCutBox->value(v.confirmEditCut ? 1 : 0);
  confirmRestartBox->value(v.confirmOptionsRestart ? 1 : 0);
  muteOnQuitBox->value(v.muteWaveOnQuit ? 1 : 0);
  activityLogBox->value(v.keepActivityLog ? 1 : 0);
  // The devices plugged in now: the lists follow the system while the
  // program runs.
  if (deviceLists_) deviceLists_->refresh();
  // A chosen device that is unplugged stays chosen, shown as not found.
  const std::vector<std::string> inputs = deviceChoices(inputDevices(), v.inputDeviceName);
  const std::vector<std::string> outputs = deviceChoices(outputDevices(), v.outputDeviceName);
  fillDeviceChoice(inputDeviceChoice, inputs, inputDevices());
  fillDeviceChoice(outputDeviceChoice, outputs, outputDevices());
  inputDeviceChoice->value(listIndex(inputs, v.inputDeviceName));
  outputDeviceChoice->value(listIndex(outputs, v.outputDeviceName));
  runModal(globalPreferencesWindow);
  showWindow(mainWindow);
}

void QueltoUserInterfaceImpl::applyGlobalPreferences() {
  hideDialog(globalPreferencesWindow);
  GlobalPreferencesValues v;
  v.languageIndex = languageChoice->value();
  v.disableSplash = disableSplashBox->value() != 0;
  v.durationDisplay = splashDurationOutput->value();
  v.confirmFileNew = confirmFileNewBox->value() != 0;
  v.confirmFileQuit = confirmFileQuitBox->value() != 0;
  v.confirmEditCut = confirmEditCutBox->value() != 0;
  v.confirmOptionsRestart = confirmRestartBox->value() != 0;
  v.muteWaveOnQuit = muteOnQuitBox->value() != 0;
  v.keepActivityLog = activityLogBox->value() != 0;
  v.inputDevicePosition = inputDeviceChoice->value();
  v.outputDevicePosition = outputDeviceChoice->value();
  // The same entries as shown: the stored names have not changed meanwhile.
  const GlobalPreferencesValues shown = readGlobalPreferences();
  const GlobalPreferencesStored stored =
      storeGlobalPreferences(v, deviceChoices(inputDevices(), shown.inputDeviceName),
                             deviceChoices(outputDevices(), shown.outputDeviceName));
  // The new devices are used from the modem's next open on.
  streamOptions().inputDevice.set(chosenDevice(stored.inputDeviceName));
  streamOptions().outputDevice.set(chosenDevice(stored.outputDeviceName));
  // The log follows its switch at once; a file starts with the next entry.
  if (stored.logSwitched) {
    if (stored.logFilePrefix.empty())
      stopActivityLog();
    else
      startActivityLog(stored.logFilePrefix);
  }
  if (!stored.offerRestart) return;
  if (prompt_.choice(translate(Text::RestartQuestion), translate(Text::No), translate(Text::Yes),
                     "") == 1)
    restartApplication();
}

void QueltoUserInterfaceImpl::showSplash() {
  const SplashPlan plan = splashPlan();
  if (!plan.show) return;
  const AboutTexts texts = aboutTexts(currentLanguage());
  splashName->copy_label(texts.nameAndVersion.c_str());
  splashCopyright->label(texts.copyright);
  splashAuthors->label(texts.authors);
  splashCredit->label(texts.toolkitCredit);
  int wx = 0, wy = 0, ww = 0, wh = 0;
  Fl::screen_work_area(wx, wy, ww, wh);
  splashWindow->position((ww - splashWindow->w()) / 2, (wh - splashWindow->h()) / 2);
  Fl::add_timeout(plan.seconds, hideSplash, splashWindow);
  showWindow(splashWindow);
  while (splashWindow->shown()) Fl::wait();
}

// --- Profile windows --------------------------------------------------------------------

void QueltoUserInterfaceImpl::showEditProfile() {
  const EditProfileForm form = editProfileForm();
  editProfileName->value(form.name.c_str());
  setActive(editProfileName, form.nameEnabled);
  setActive(editProfileOldPassword, form.oldPasswordEnabled);
  setActive(editProfileNewPassword, form.newPasswordEnabled);
  setActive(editProfileNewPasswordConfirm, form.newPasswordEnabled);
  for (Fl_Input* input :
       {editProfileOldPassword, editProfileNewPassword, editProfileNewPasswordConfirm})
    input->value("");
  editProfileFirstName->value(form.firstName.c_str());
  editProfileLastName->value(form.lastName.c_str());
  runModal(editProfileWindow);
}

void QueltoUserInterfaceImpl::applyEditProfile() {
  EditProfileFields f;
  f.name = editProfileName->value();
  f.firstName = editProfileFirstName->value();
  f.lastName = editProfileLastName->value();
  f.oldPassword = editProfileOldPassword->value();
  f.newPassword = editProfileNewPassword->value();
  f.confirmation = editProfileNewPasswordConfirm->value();
  const ProfileDialogOutcome outcome = quelto::applyEditProfile(f);
  if (outcome.alert) prompt_.alert(translate(*outcome.alert));
  if (outcome.done) hideDialog(editProfileWindow);
}

void QueltoUserInterfaceImpl::showDeleteProfile() {
  deleteProfileList->clear();
  for (const std::string& name : profileDisplayNames()) deleteProfileList->add(name.c_str());
  runModal(deleteProfileWindow);
}

void QueltoUserInterfaceImpl::deleteProfile(int line, bool askPassword) {
  auto ask = [this]() { return prompt_.password(translate(Text::EnterPassword)); };
  const ProfileDialogOutcome outcome = quelto::deleteProfile(line, askPassword, ask);
  if (outcome.alert) prompt_.alert(translate(*outcome.alert));
  if (outcome.done) {
    hideDialog(deleteProfileWindow);
    return;
  }
  // A refused line can be clicked again.
  deleteProfileList->deselect();
}

}  // namespace quelto
