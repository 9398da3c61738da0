// QueltoUserInterfaceImpl: the application object. It owns every window
// (built once by QueltoUserInterface, shown and hidden, never destroyed),
// the ModemControl block shared with the modem thread and the two scroll
// bars, and implements the operations the controls call. Some forward to a
// small class of their own: the scroll bars to ConversationScrollbars, the
// File commands to FileCommands (conversation/file_commands.h), Personal
// Preferences to PersonalPreferencesController
// (ui/forms/personal_preferences_controller.h).
//
// Threads: everything here runs on the user-interface thread; the status
// timer reads the modem's published bytes without the lock and drains the
// receive queue under it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversation/file_commands.h"
#include "modem/status_notice.h"
#include "settings/phonebook.h"
#include "settings/profile.h"
#include "ui/forms/personal_preferences_controller.h"
#include "ui/line_attention.h"
#include "ui/quelto.h"

namespace quelto {

class ConversationScrollbars;
class DeviceLists;
class ModemControl;
class Prompt;
struct Profile;

// Shows a top-level window or brings it to the front; null does nothing. A
// bordered window shown for the first time is moved back by the offset the
// window manager's frame adds, once that offset is known.
void showWindow(Fl_Window* window);

class QueltoUserInterfaceImpl : public QueltoUserInterface {
 public:
  // Status refresh period, in seconds.
  static constexpr double kRefreshSeconds = 0.0891;

  // Builds every window, connects the view to `modem` (whose thread the
  // caller has started, or not in tests) and arms the status timer. A second
  // application object in one process ends it with exit code 1.
  QueltoUserInterfaceImpl(std::unique_ptr<ModemControl> modem, Prompt& prompt);
  ~QueltoUserInterfaceImpl() override;

  static QueltoUserInterfaceImpl* instance();

  // What restartApplication runs after saving: give up the single-instance
  // lock and replace the process. It returns only when that failed.
  void setRestarter(std::function<void()> restarter) { restarter_ = std::move(restarter); }

  ModemControl& modem() { return *modem_; }
  Prompt& prompt() { return prompt_; }
  const std::string& title() const { return title_; }
  const std::string& baseTitle() const { return baseTitle_; }
  static const char* identificationLine();

  // One status refresh: the timer's work (received characters into the
  // conversation, then the status text and meter when the state or shift
  // changed).
  void refreshStatus();
  void showLineStatus();

  // The save-changes question while the conversation is modified. Cancel
  // stops (false); No goes on; Yes saves and asks again while still
  // modified. `withCancel` false offers "No" and "Yes" only.
  bool askToSaveChanges();

  // The current profile's display values onto the view, the baud button and
  // the modem.
  virtual void applyProfileToInterface();

  // --- Slot operations ---------------------------------------------------------
  void restartApplication() override;
  void quit() override;
  void restoreState() override;
  void saveState() override;
  void showGlobalPreferences() override;
  void applyGlobalPreferences() override;
  void showCreateProfile() override;
  void applyCreateProfile() override;
  void showPersonalPreferences() override;
  void deleteProfile(int line, bool askPassword) override;
  void showDeleteProfile() override;
  void editCut() override;
  void editCopy() override;
  void editPaste() override;
  void fileNew() override;
  void fileSave() override;
  void fileSaveAs() override;
  void fileOpen() override;
  // Opens a conversation file without a chooser (the command line, a
  // second start); refusals are told through the prompt. No question
  // about the conversation it replaces: the caller asks first.
  bool openConversationFile(const std::string& path);
  // Shows a conversation just loaded into the view under `title`.
  void showLoadedConversation(const std::string& title);
  void askNumberToDial() override;
  void applyPersonalPreferences() override;
  void exportRtf() override;
  void printConversation() override;
  void setDefaultColours(int colour) override;
  void showAbout() override;
  void toggleBaud() override;
  void switchToLetters() override;
  void switchToFigures() override;
  void letterButton() override;
  void sendProgrammedMessage(int index) override;
  void programmedMessageEdited(int index) override;
  void playVocalAnnounce() override;
  void printUnitsChanged() override;
  void showPhonebook() override;
  void stopSending() override;
  void contactSelected() override;
  void contactTelephoneEdited() override;
  void contactNotesEdited() override;
  void addContact() override;
  void renameContact() override;
  void removeContact() override;
  void cancelPersonalPreferences() override;
  void dialFromList() override;
  void dialManual() override;
  void chooseProfile(int line, bool askPassword) override;
  void fillProfileChooser() override;
  bool showFileInfo() override;
  void applyFileInfo() override;
  void showEditProfile() override;
  void applyEditProfile() override;
  void moveTab(int step) override;
  void diagnostic() override;

  void showProgrammedMessages() override;
  void showManual() override;
  void refreshScreen() override;
  void createProfileFromChooser() override;
  void quitFromChooser() override;
  void putCurrentDate(bool withTime) override;
  void hideDialog(Fl_Window* window) override;
  void previewFontPicked(int which) override;
  void printFontPicked(int which) override;
  void pickBoxColour(Fl_Widget* box) override;
  // Stores the new sizes in the current profile, writes it to the settings
  // store and shows them at once.
  void changeTextSize(int step) override;

  // The Phonebook page's working copy of the current profile's contacts.
  const PhonebookEditor& contactEditor() const;

  // The ten programmed-message button labels ("Not Programmed" until a
  // profile is applied, then "[F3] " and the message text, ...).
  const std::string& programmedMessageButtonLabel(int index) const;
  void showDialling() override;
  void editProgrammedMessages() override;

  // The conversation's scroll bars (both shown from the start).
  ConversationScrollbars& scrollbars() { return *scrollbars_; }

  // The device lists taken at start-up, for "&Diagnostic"; they must outlive
  // the application object. Without them the report lists no devices.
  void setDeviceLists(DeviceLists* lists) { deviceLists_ = lists; }

  // The number `askNumberToDial` offers next time.
  const std::string& lastDialledNumber() const { return lastDialledNumber_; }

  // Shows the splash window at start-up (when the settings ask for it).
  virtual void showSplash();

  // Runs a modal window until it is hidden.
  void runModal(Fl_Window* window);

  // The windows whose geometry is kept, with their setting names, in the
  // order they are restored and saved.
  virtual std::vector<std::pair<const char*, Fl_Window*>> keptWindows();

 private:
  static void statusTimer(void* data);
  void setTitle(const std::string& bracketed);
  void buildPreferenceWindows();
  const std::vector<std::string>& inputDevices() const;
  const std::vector<std::string>& outputDevices() const;
  void setUpToolWindows();
  void dial(const std::string& number);

  std::unique_ptr<ModemControl> modem_;
  Prompt& prompt_;
  std::function<void()> restarter_;
  std::unique_ptr<ConversationScrollbars> scrollbars_;
  // The File commands, with this window's part in them.
  class FilesWindow;
  std::unique_ptr<FilesWindow> filesWindow_;
  std::unique_ptr<FileCommands> files_;
  std::string baseTitle_;
  std::string title_;
  bool fileInfoCancelled_ = true;
  bool profileCreated_ = false;
  std::string lastDialledNumber_;
  DeviceLists* deviceLists_ = nullptr;
  std::uint8_t lastState_;
  std::uint8_t lastShift_;
  // The chosen sound device that is missing, as the status text shows it.
  std::string missingDevice_;
  std::string missingDeviceText_;
  std::unique_ptr<LineAttention> lineAttention_;
  // A failure the modem reported, while the status text shows it.
  StatusNotice notice_;
  ModemNotice shownNotice_ = ModemNotice::Nothing;
  // Personal Preferences, with this window's part in it.
  std::unique_ptr<PersonalPreferencesWindow> preferencesWindow_;
  std::unique_ptr<PersonalPreferencesController> preferences_;
};

}  // namespace quelto
