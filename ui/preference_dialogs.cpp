// The preference and profile dialogs: Personal Preferences (its widgets,
// behind PersonalPreferencesController, and the font and colour pickers of
// its pages), Global Preferences, the splash window, and the windows that
// edit and delete profiles. What to show and what to store is decided by
// ui/forms/personal_preferences_controller.h, ui/forms/personal_preferences.h,
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
#include "ui/forms/personal_preferences_controller.h"
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
// as not found. The system's default device is shown in the interface
// language; the choice is read back by position, so its stored name stays.
void fillDeviceChoice(Fl_Choice* choice, const std::vector<std::string>& names,
                      const std::vector<std::string>& listed) {
  choice->clear();
  for (const std::string& name : names) {
    const std::string label =
        name == kDefaultDeviceName
            ? std::string(translate("Default device"))
            : deviceChoiceLabel(name, listed, translate(Text::SoundDeviceNotFound));
    choice->add(menuText(label).c_str());
  }
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

// The widgets behind PersonalPreferencesController: they hold the values
// while the window is open.
class FltkPreferencesWindow : public PersonalPreferencesWindow {
 public:
  explicit FltkPreferencesWindow(QueltoUserInterfaceImpl& app) : app_(app) {}

  void showValues(const PersonalPreferencesValues& v) override {
    QueltoUserInterfaceImpl& a = app_;
    const auto preview = [](Fl_Widget* box, FontMenuButton* menu, const PreviewText& t, Text text) {
      box->labelcolor(static_cast<Fl_Color>(t.color));
      box->labelfont(static_cast<Fl_Font>(t.face));
      box->labelsize(static_cast<Fl_Fontsize>(t.size));
      box->label(translate(text));
      menu->mark(t.face, t.size, t.capitals);
    };
    preview(a.sentPreview, a.sentFontMenu, v.sent, sentPreviewText(v.sent.capitals));
    preview(a.receivedPreview, a.receivedFontMenu, v.received,
            receivedPreviewText(v.received.capitals));
    a.bottomTextPreview->labelcolor(static_cast<Fl_Color>(v.bottomTextColor));
    a.bottomTextPreview->labelsize(static_cast<Fl_Fontsize>(v.bottomTextSize));
    a.bottomTextPreview->color(static_cast<Fl_Color>(v.bottomBoxColor));
    a.bottomFontMenu->mark(0, v.bottomTextSize, false);
    a.previewBackground->color(static_cast<Fl_Color>(v.backgroundColor));

    a.baudRateChoice->value(v.baudChoice);
    a.sensitivitySlider->value(v.sensitivity);
    a.unshiftOnSpaceBox->value(v.unshiftOnSpace ? 1 : 0);
    if (v.vocalAnnounce && *v.vocalAnnounce < a.vocalAnnounceList->size())
      a.vocalAnnounceList->value(*v.vocalAnnounce + 1);
    else
      a.vocalAnnounceList->deselect();

    a.unitsChoice->value(v.units);
    showMargins(v.margins);
    a.useScreenFacesBox->value(v.useScreenFaces ? 1 : 0);
    const auto print = [](FontMenuButton* menu, const PrintFont& f, Text label) {
      menu->label(translate(label));
      menu->labelfont(static_cast<Fl_Font>(f.face));
      menu->mark(f.face, f.size, f.capitals);
    };
    print(a.printSentFontMenu, v.printSent, printSentButtonLabel(v.printSent.capitals));
    print(a.printReceivedFontMenu, v.printReceived,
          printReceivedButtonLabel(v.printReceived.capitals));

    for (int i = 0; i < kProgrammedMessageCount; ++i)
      a.messageInput[i]->value(v.messages[i].c_str());
    a.personalPreferencesWindow->redraw();
  }

  PersonalPreferencesValues shownValues() const override {
    const QueltoUserInterfaceImpl& a = app_;
    PersonalPreferencesValues v;
    const auto preview = [](const Fl_Widget* box, const FontMenuButton* menu) {
      return PreviewText{static_cast<int>(box->labelcolor()), static_cast<int>(box->labelfont()),
                         static_cast<int>(box->labelsize()), menu->capitals()};
    };
    v.sent = preview(a.sentPreview, a.sentFontMenu);
    v.received = preview(a.receivedPreview, a.receivedFontMenu);
    v.bottomTextColor = static_cast<int>(a.bottomTextPreview->labelcolor());
    v.bottomTextSize = static_cast<int>(a.bottomTextPreview->labelsize());
    v.bottomBoxColor = static_cast<int>(a.bottomTextPreview->color());
    v.backgroundColor = static_cast<int>(a.previewBackground->color());

    v.baudChoice = a.baudRateChoice->value();
    v.sensitivity = a.sensitivitySlider->value();
    v.unshiftOnSpace = a.unshiftOnSpaceBox->value() != 0;
    if (a.vocalAnnounceList->value() > 0) v.vocalAnnounce = a.vocalAnnounceList->value() - 1;

    v.units = a.unitsChoice->value();
    v.margins = {a.topMarginInput->value(), a.leftMarginInput->value(), a.rightMarginInput->value(),
                 a.bottomMarginInput->value()};
    v.useScreenFaces = a.useScreenFacesBox->value() != 0;
    // No checked size (cannot happen from the menu) keeps the profile's size.
    const auto print = [](const FontMenuButton* menu) {
      return PrintFont{static_cast<int>(menu->labelfont()), menu->checkedSize().value_or(0),
                       menu->capitals()};
    };
    v.printSent = print(a.printSentFontMenu);
    v.printReceived = print(a.printReceivedFontMenu);

    for (int i = 0; i < kProgrammedMessageCount; ++i) v.messages[i] = a.messageInput[i]->value();
    return v;
  }

  void showMargins(const MarginTexts& m) override {
    app_.topMarginInput->value(m.top.c_str());
    app_.leftMarginInput->value(m.left.c_str());
    app_.rightMarginInput->value(m.right.c_str());
    app_.bottomMarginInput->value(m.bottom.c_str());
  }

  void showMessageLabel(int index, const std::string& label) override {
    app_.programmedMessageButton[index]->copy_label(label.c_str());
    app_.programmedMessageButton[index]->redraw();
  }

  void showContactList(const std::vector<std::string>& names) override {
    app_.contactList->clear();
    for (const std::string& name : names) app_.contactList->add(name.c_str());
  }

  void enableContactList(bool enabled) override { setActive(app_.contactList, enabled); }

  void addContactLine(const std::string& name) override {
    app_.contactList->add(name.c_str());
    app_.contactList->activate();
  }

  void renameContactLine(int line, const std::string& name) override {
    app_.contactList->text(line, name.c_str());
    app_.contactList->redraw();
  }

  void removeContactLine(int line) override { app_.contactList->remove(line); }

  void selectContactLine(int line) override {
    if (line > 0) {
      app_.contactList->value(line);
      Fl::focus(app_.contactList);
    } else {
      app_.contactList->deselect();
    }
  }

  void showContactFields(const PhonebookEditor::Fields& f) override {
    Fl_Input* telephone = app_.contactTelephone;
    Fl_Input* notes = app_.contactNotes;
    telephone->value(f.telephone.c_str());
    notes->value(f.notes.c_str());
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(telephone), static_cast<Fl_Widget*>(notes),
                         static_cast<Fl_Widget*>(app_.renameContactButton),
                         static_cast<Fl_Widget*>(app_.removeContactButton)})
      setActive(w, f.enabled);
    if (f.enabled) {
      telephone->position(static_cast<int>(f.telephone.size()));
      notes->position(static_cast<int>(f.notes.size()));
    }
    telephone->redraw();
    notes->redraw();
  }

  void run() override { app_.runModal(app_.personalPreferencesWindow); }
  void close() override { app_.hideDialog(app_.personalPreferencesWindow); }
  void applyProfile() override { app_.applyProfileToInterface(); }
  void redrawConversation() override {
    app_.conversationView->relayout();
    app_.conversationView->redrawAll();
  }

 private:
  QueltoUserInterfaceImpl& app_;
};

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
  preferencesWindow_ = std::make_unique<FltkPreferencesWindow>(*this);
  preferences_ = std::make_unique<PersonalPreferencesController>(prompt_, *preferencesWindow_);

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

// --- Personal Preferences: the controls -------------------------------------------------

void QueltoUserInterfaceImpl::showPersonalPreferences() {
  preferences_->open();
}

void QueltoUserInterfaceImpl::showPhonebook() {
  preferencesTabs->value(phonebookPage);
  showPersonalPreferences();
}

void QueltoUserInterfaceImpl::applyPersonalPreferences() {
  preferences_->accept();
}

void QueltoUserInterfaceImpl::cancelPersonalPreferences() {
  preferences_->cancel();
}

const std::string& QueltoUserInterfaceImpl::programmedMessageButtonLabel(int index) const {
  return preferences_->messageLabel(index);
}

const PhonebookEditor& QueltoUserInterfaceImpl::contactEditor() const {
  return preferences_->contacts();
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
  preferences_->unitsChanged();
  preferencesTabs->redraw();
}

// --- "Messages" -------------------------------------------------------------------------

void QueltoUserInterfaceImpl::programmedMessageEdited(int index) {
  if (index < 0 || index >= kProgrammedMessageCount) return;
  preferences_->messageEdited(index, messageInput[index]->value());
}

// --- "Phonebook" ------------------------------------------------------------------------

void QueltoUserInterfaceImpl::contactSelected() {
  preferences_->selectContact(contactList->value());
}

void QueltoUserInterfaceImpl::contactTelephoneEdited() {
  preferences_->editTelephone(contactTelephone->value());
}

void QueltoUserInterfaceImpl::contactNotesEdited() {
  preferences_->editNotes(contactNotes->value());
}

void QueltoUserInterfaceImpl::addContact() {
  if (!preferences_->addContact()) return;
  Fl::focus(contactTelephone);
  preferencesTabs->redraw();
}

void QueltoUserInterfaceImpl::renameContact() {
  preferences_->renameContact();
}

void QueltoUserInterfaceImpl::removeContact() {
  preferences_->removeContact();
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
