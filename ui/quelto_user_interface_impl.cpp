#include "ui/quelto_user_interface_impl.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "audio/audio_settings.h"
#include "audio/signal_capture.h"
#include "conversation/activity_log.h"
#include "conversation/prompt.h"
#include "modem/baudot.h"
#include "modem/modem_control.h"
#include "settings/global_settings.h"
#include "settings/profile.h"
#include "settings/translation.h"
#include "settings/window_geometry.h"
#include "text/text_encoding.h"
#include "ui/conversation_scrollbars.h"
#include "ui/forms/about_texts.h"
#include "ui/forms/text_size.h"

namespace quelto {

namespace {

QueltoUserInterfaceImpl* theInstance = nullptr;

// The baud button shows the rate in force; the label is the same in both
// languages.
const char* baudButtonLabel(BaudRate baud) {
  return baud == BaudRate::Baud45 ? "45 &bauds" : "50 &bauds";
}

static_assert(setting::kVuMeterOffset.defaultValue == LevelMeter::kDefaultOffset &&
              setting::kVuMeterFactor.defaultValue == LevelMeter::kDefaultFactor &&
              setting::kVuMeterLed.defaultValue == LevelMeter::BarMode);

// Interface texts are written in English and shown in the current language:
// every label of every window, and every menu item, goes through translate()
// once when the windows are built.
void translateLabels(Fl_Widget* widget) {
  if (widget->label()) widget->label(translate(widget->label()));
  if (auto* menu = dynamic_cast<Fl_Menu_*>(widget)) {
    for (int i = 0; i < menu->size(); ++i) {
      auto* item = const_cast<Fl_Menu_Item*>(&menu->menu()[i]);
      if (item->label()) item->label(translate(item->label()));
    }
  }
  if (auto* group = widget->as_group())
    for (int i = 0; i < group->children(); ++i) translateLabels(group->child(i));
}

class FltkWindowGeometry : public WindowGeometry {
 public:
  explicit FltkWindowGeometry(Fl_Window* window) : window_(window) {}
  int x() const override { return window_->x(); }
  int y() const override { return window_->y(); }
  int w() const override { return window_->w(); }
  int h() const override { return window_->h(); }
  void resize(int x, int y, int w, int h) override { window_->resize(x, y, w, h); }

 private:
  Fl_Window* window_;
};

WorkArea workArea() {
  int x = 0, y = 0, w = 0, h = 0;
  Fl::screen_work_area(x, y, w, h);
  return WorkArea{w, h};
}

// The OK button of a dialog: its active Fl_Return_Button, or null.
Fl_Return_Button* returnButtonOf(Fl_Group* group) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* w = group->child(i);
    if (!w->visible_r() || !w->active_r()) continue;
    if (auto* b = dynamic_cast<Fl_Return_Button*>(w)) return b;
    if (Fl_Group* g = w->as_group())
      if (Fl_Return_Button* b = returnButtonOf(g)) return b;
  }
  return nullptr;
}

// Enter that the focused widget did not use presses the OK button of the
// modal dialog. The toolkit offers it first to the widgets under the mouse,
// and a group there takes it to move the focus down (a page of Personal
// Preferences), so OK never saw it.
int dispatchEvent(int event, Fl_Window* window) {
  if (event == FL_SHORTCUT && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
      !Fl::grab() && Fl::modal() && !Fl::event_state(FL_SHIFT | FL_CTRL | FL_ALT | FL_META)) {
    if (Fl_Return_Button* ok = returnButtonOf(Fl::modal())) {
      ok->do_callback();
      return 1;
    }
  }
  return Fl::handle_(event, window);
}

// The shift the window manager applies to a bordered window shown for the
// first time; (0, 0) until measured.
int frameDx = 0;
int frameDy = 0;

}  // namespace

// The main window's part in the File commands.
class QueltoUserInterfaceImpl::FilesWindow : public FileCommandsWindow {
 public:
  explicit FilesWindow(QueltoUserInterfaceImpl& app) : app_(app) {}
  void showConversationName(const std::string& name) override { app_.setTitle(name); }
  bool askFileInfo() override { return app_.showFileInfo(); }
  void clearConversation() override {
    ConversationView& view = *app_.conversationView;
    view.clearing = true;
    view.clearConversation();
    view.clearing = false;
  }
  void showReplacedConversation() override {
    ConversationView& view = *app_.conversationView;
    view.relayout();
    view.resetScroll();
    view.redrawAll();
  }

 private:
  QueltoUserInterfaceImpl& app_;
};

void showWindow(Fl_Window* window) {
  if (!window) return;
  if (!window->shown()) {
    if (!window->border()) {
      window->show();
    } else if (frameDx != 0 || frameDy != 0) {
      window->position(window->x() + frameDx, window->y() + frameDy);
      window->show();
    } else {
      int x0 = window->x(), y0 = window->y();
      window->show();
      bool moved = false;
      for (int i = 0; i < 10 && !moved; ++i) {
        Fl::wait(0.005);
        moved = window->x() != x0 || window->y() != y0;
      }
      if (!moved) return;
      frameDx = x0 - window->x();
      frameDy = y0 - window->y();
      if (x0 < 10) x0 = 10;
      if (y0 < 20) y0 = 20;
      window->position(x0, y0);
    }
    return;
  }
  window->show();  // raises a shown window and restores a minimised one
}

QueltoUserInterfaceImpl::QueltoUserInterfaceImpl(std::unique_ptr<ModemControl> modem,
                                                 Prompt& prompt)
    : modem_(std::move(modem)),
      prompt_(prompt),
      lastState_(static_cast<std::uint8_t>(ModemState::Listening)),
      lastShift_(FIGS) {
  if (theInstance) std::exit(1);
  theInstance = this;
  for (Fl_Window* w : {mainWindow, profileChooserWindow, createProfileWindow, fileInfoWindow})
    translateLabels(w);
  for (Fl_Window* w : {programmedMessagesWindow, diallingWindow, aboutWindow, helpWindow})
    translateLabels(w);
  setUpToolWindows();
  for (Fl_Window* w :
       {personalPreferencesWindow, globalPreferencesWindow, editProfileWindow, deleteProfileWindow})
    translateLabels(w);
  buildPreferenceWindows();
  mainWindow->callback(
      [](Fl_Widget*, void* data) {
        // Escape must not end a call; the window's close box does.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        static_cast<QueltoUserInterfaceImpl*>(data)->quit();
      },
      this);
  profileChooserWindow->callback(
      [](Fl_Widget*, void* data) {
        // Its close box and Escape are its Quit button: no profile is
        // chosen yet, so nothing is lost.
        static_cast<QueltoUserInterfaceImpl*>(data)->quitFromChooser();
      },
      this);
  // Typing goes on into the conversation after a click on the bottom line:
  // its buttons never take the keyboard focus.
  for (Fl_Widget* w : {static_cast<Fl_Widget*>(baudButton), static_cast<Fl_Widget*>(stopButton),
                       static_cast<Fl_Widget*>(letterButtonWidget)})
    w->clear_visible_focus();

  LevelMeter::setThresholds(readSetting(setting::kVuMeterOffset),
                            readSetting(setting::kVuMeterFactor));
  vuMeter->restoreMode(readSetting(setting::kVuMeterLed));

  Fl::event_dispatch(dispatchEvent);
  Fl::add_timeout(kRefreshSeconds, statusTimer, this);
  conversationView->setModem(modem_.get());
  conversationView->setPrompt(&prompt_);
  lineAttention_ = std::make_unique<LineAttention>(*mainWindow, *conversationView);
  conversationView->setFunctionKeyAction([this](int i) { sendProgrammedMessage(i); });
  conversationView->setTextSizeAction([this](int step) { changeTextSize(step); });
  conversationView->setCopyAction([this] { editCopy(); });
  conversationView->setPasteAction([this] { editPaste(); });
  conversationView->setSaveAction([this] {
    fileSave();
    return conversationView->conversation.modified == 0;
  });

  filesWindow_ = std::make_unique<FilesWindow>(*this);
  files_ = std::make_unique<FileCommands>(conversationView->conversation, prompt_, *filesWindow_);
  scrollbars_ =
      std::make_unique<ConversationScrollbars>(*mainWindow, *conversationGroup, *conversationView);
  scrollbars_->show(ConversationScrollbars::Axis::Horizontal, true);
  scrollbars_->show(ConversationScrollbars::Axis::Vertical, true);
  setDefaultColours(1);
  baseTitle_ = std::string(translate(Text::Quelto)) + " Version " + productVersion();
  setTitle("Conversation1");
  statusText->label(identificationLine());
  applyProfileToInterface();
}

QueltoUserInterfaceImpl::~QueltoUserInterfaceImpl() {
  Fl::remove_timeout(statusTimer, this);
  conversationView->setModem(nullptr);
  theInstance = nullptr;
}

QueltoUserInterfaceImpl* QueltoUserInterfaceImpl::instance() {
  return theInstance;
}

const char* QueltoUserInterfaceImpl::identificationLine() {
  return "Quelto TDD";
}

void QueltoUserInterfaceImpl::setTitle(const std::string& bracketed) {
  title_ = baseTitle_ + "  -  [" + bracketed + "]";
  mainWindow->copy_label(title_.c_str());
}

void QueltoUserInterfaceImpl::runModal(Fl_Window* window) {
  showWindow(window);
  while (window->shown()) Fl::wait();
}

void QueltoUserInterfaceImpl::hideDialog(Fl_Window* window) {
  window->hide();
  if (mainWindow->shown()) Fl::focus(conversationView);
}

// --- Status refresh ----------------------------------------------------------------

void QueltoUserInterfaceImpl::statusTimer(void* data) {
  auto* self = static_cast<QueltoUserInterfaceImpl*>(data);
  if (self->mainWindow->shown()) self->refreshStatus();
  Fl::repeat_timeout(kRefreshSeconds, statusTimer, data);
}

void QueltoUserInterfaceImpl::refreshStatus() {
  const bool textArrived = conversationView->pumpReceived();
  const std::uint8_t state = modem_->state.load();
  const std::uint8_t shift = modem_->shift.load();
  const std::string missing = missingSoundDevice(streamOptions());
  const double now =
      std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  if (notice_.update(modem_->noticeCount.load(), static_cast<ModemNotice>(modem_->notice.load()),
                     static_cast<ModemState>(state), now) == ModemNotice::TextNotSent)
    logEvent(LogCode::NotSent);
  const ModemNotice notice = notice_.shown();
  const bool noticeChanged = notice != shownNotice_;
  shownNotice_ = notice;
  if (lineAttention_->update(static_cast<LineEvent>(modem_->lineEvent.load()), textArrived) &&
      notice == ModemNotice::Nothing &&
      state != static_cast<std::uint8_t>(ModemState::Unavailable) &&
      state != static_cast<std::uint8_t>(ModemState::Fault)) {
    showLineStatus();
    bottomGroup->redraw();
  }
  // The level follows the signal while it lasts, not only when the state
  // changes.
  if (vuMeter->barMode() && modem_->inputLevel.load() != vuMeter->value()) {
    vuMeter->value(modem_->inputLevel.load());
    vuMeter->redraw();
  }
  if (shift != lastShift_) {
    lastShift_ = shift;
    bottomGroup->redraw();
  }
  if (state == lastState_ && missing == missingDevice_ && !noticeChanged) return;
  lastState_ = state;
  missingDevice_ = missing;
  if (noticeChanged) showLineStatus();
  switch (static_cast<ModemState>(state)) {
    case ModemState::Unavailable:
      statusText->label(translate(Text::CouldNotOpenSoundcard));
      break;
    case ModemState::Fault:
      statusText->label(translate(Text::SoundcardProblem));
      break;
    case ModemState::Dialling:
      vuMeter->color(FL_YELLOW);
      break;
    case ModemState::Sending:
    case ModemState::Announcing:
      vuMeter->color(FL_GREEN);
      break;
    case ModemState::SignalPresent:
      vuMeter->color(FL_RED);
      break;
    case ModemState::Listening:
    default:
      if (missing.empty()) {
        showLineStatus();
      } else {
        char text[512];
        std::snprintf(text, sizeof text, translate(Text::SoundDeviceNotFound), missing.c_str());
        missingDeviceText_ = text;
        statusText->label(missingDeviceText_.c_str());
      }
      vuMeter->color(0);  // index 0, black unless the user changed the foreground
      break;
  }
  // A failure the modem reported stays over everything but a sound card
  // that cannot be opened (StatusNotice::shown).
  if (notice == ModemNotice::TextNotSent)
    statusText->label(translate(Text::TextNotSent));
  else if (notice == ModemNotice::DialStopped)
    statusText->label(translate(Text::DiallingStopped));
  bottomGroup->redraw();
  vuMeter->redraw();
}

// The line event while there is one, the program's name otherwise.
void QueltoUserInterfaceImpl::showLineStatus() {
  const char* event = lineAttention_->statusText();
  statusText->label(event ? event : identificationLine());
}

// --- Profile onto the interface ---------------------------------------------------

void QueltoUserInterfaceImpl::applyProfileToInterface() {
  const Profile& p = currentProfile();
  ConversationDisplay d;
  d.receivedFace = p.receivedTextFace;
  d.receivedSize = p.receivedTextSize;
  d.receivedColor = p.receivedTextColor;
  d.sentFace = p.sentTextFace;
  d.sentSize = p.sentTextSize;
  d.sentColor = p.sentTextColor;
  d.currentSize = p.currentTextSize;
  d.currentColor = p.currentTextColor;
  d.background = p.backgroundColor;
  d.bottomBackground = p.bottomBackgroundColor;
  conversationView->setDisplay(d);
  const BaudRate baud = baudRateFromStored(p.defaultBaudRate);
  baudButton->label(baudButtonLabel(baud));
  bottomGroup->redraw();
  modem_->setLineParameters(p.sensitivity, baud);
  modem_->setUnshiftOnSpace(p.unshiftOnSpace != 0);
  preferences_->load(p);
}

void QueltoUserInterfaceImpl::changeTextSize(int step) {
  if (!stepTextSizes(currentProfile(), step)) return;
  storeCurrentProfile();
  applyProfileToInterface();
}

// --- Start and end ------------------------------------------------------------------

std::vector<std::pair<const char*, Fl_Window*>> QueltoUserInterfaceImpl::keptWindows() {
  Fl_Window* byName[12] = {mainWindow,
                           globalPreferencesWindow,
                           createProfileWindow,
                           personalPreferencesWindow,
                           aboutWindow,
                           helpWindow,
                           programmedMessagesWindow,
                           diallingWindow,
                           profileChooserWindow,
                           deleteProfileWindow,
                           fileInfoWindow,
                           editProfileWindow};
  std::vector<std::pair<const char*, Fl_Window*>> out;
  for (size_t i = 0; i < kWindowSettingNames.size(); ++i)
    if (byName[i]) out.emplace_back(kWindowSettingNames[i], byName[i]);
  return out;
}

void QueltoUserInterfaceImpl::restoreState() {
  std::vector<FltkWindowGeometry> adapters;
  const auto kept = keptWindows();
  adapters.reserve(kept.size());
  std::vector<NamedWindow> named;
  for (const auto& k : kept) {
    adapters.emplace_back(k.second);
    named.push_back({k.first, &adapters.back()});
  }
  restoreWindowLayout(named, workArea());

  loadProfilesFromSettings();
  showSplash();
  if (profileList().size() >= 2) {
    fillProfileChooser();
    runModal(profileChooserWindow);
  } else {
    currentProfile() = profileList().front();
  }
  applyProfileToInterface();
}

void QueltoUserInterfaceImpl::saveState() {
  std::vector<FltkWindowGeometry> adapters;
  const auto kept = keptWindows();
  adapters.reserve(kept.size());
  std::vector<NamedWindow> named;
  for (const auto& k : kept) {
    adapters.emplace_back(k.second);
    named.push_back({k.first, &adapters.back()});
  }
  saveWindowLayout(named);
  writeSetting(setting::kVuMeterLed, vuMeter->savedMode());
  writeSetting(setting::kVuMeterOffset, LevelMeter::thresholdOffset());
  writeSetting(setting::kVuMeterFactor, LevelMeter::thresholdFactor());
  saveAllProfiles();
}

void QueltoUserInterfaceImpl::quit() {
  mainWindow->hide();
}

bool QueltoUserInterfaceImpl::askToSaveChanges() {
  return files_->askToSaveChanges();
}

void QueltoUserInterfaceImpl::restartApplication() {
  if (readSetting(setting::kConfirmOptionsRestart) && !askToSaveChanges()) return;
  saveState();
  if (restarter_) restarter_();
  prompt_.alert(translate(Text::RestartFailed));
}

// --- Profiles -------------------------------------------------------------------------

void QueltoUserInterfaceImpl::fillProfileChooser() {
  profileChooserList->fill(profileDisplayNames());
}

void QueltoUserInterfaceImpl::chooseProfile(int line, bool askPassword) {
  auto ask = [this]() { return prompt_.password(translate(Text::EnterPassword)); };
  if (quelto::chooseProfile(line, askPassword, ask).done) profileChooserWindow->hide();
}

void QueltoUserInterfaceImpl::createProfileFromChooser() {
  showCreateProfile();
  if (!profileCreated_) return;
  fillProfileChooser();
  chooseProfile(profileChooserList->size(), false);
}

void QueltoUserInterfaceImpl::quitFromChooser() {
  profileChooserWindow->hide();
  std::exit(0);
}

void QueltoUserInterfaceImpl::showCreateProfile() {
  for (Fl_Input* input : {createProfileName, createProfileFirstName, createProfileLastName,
                          createProfilePassword, createProfilePasswordConfirm})
    input->value("");
  profileCreated_ = false;
  runModal(createProfileWindow);
}

void QueltoUserInterfaceImpl::applyCreateProfile() {
  CreateProfileFields f;
  f.name = createProfileName->value();
  f.firstName = createProfileFirstName->value();
  f.lastName = createProfileLastName->value();
  f.password = createProfilePassword->value();
  f.confirmation = createProfilePasswordConfirm->value();
  const ProfileDialogOutcome outcome = quelto::applyCreateProfile(f);
  if (outcome.alert) prompt_.alert(translate(*outcome.alert));
  if (outcome.done) {
    profileCreated_ = true;
    hideDialog(createProfileWindow);
  }
}

// --- Edit -------------------------------------------------------------------------------

void QueltoUserInterfaceImpl::editCopy() {
  const std::string text =
      cp1252ToUtf8(ConversationView::clipboardText(conversationView->conversation));
  Fl::copy(text.c_str(), static_cast<int>(text.size()), 1);
}

void QueltoUserInterfaceImpl::editCut() {
  editCopy();
  conversationView->clearConversation();
}

void QueltoUserInterfaceImpl::editPaste() {
  Fl::paste(*conversationView, 1);
}

// --- Files ------------------------------------------------------------------------------

void QueltoUserInterfaceImpl::fileNew() {
  files_->newConversation();
}

void QueltoUserInterfaceImpl::fileOpen() {
  files_->open();
}

bool QueltoUserInterfaceImpl::openConversationFile(const std::string& path) {
  return files_->openFile(path);
}

void QueltoUserInterfaceImpl::showLoadedConversation(const std::string& title) {
  files_->showLoaded(title);
}

void QueltoUserInterfaceImpl::fileSave() {
  files_->save();
}

void QueltoUserInterfaceImpl::fileSaveAs() {
  files_->saveAs();
}

// --- File information -----------------------------------------------------------------

bool QueltoUserInterfaceImpl::showFileInfo() {
  fileInfoCancelled_ = true;
  Conversation& c = conversationView->conversation;
  const Profile& p = currentProfile();
  c.ownerId = static_cast<std::uint32_t>(p.id);
  c.ownerName = utf8ToCp1252(p.name);
  c.ownerFirstName = utf8ToCp1252(p.firstName);
  c.ownerLastName = utf8ToCp1252(p.lastName);
  c.password = p.password;
  callerInput->value(cp1252ToUtf8(c.caller).c_str());
  dateInput->value(cp1252ToUtf8(c.date).c_str());
  notesInput->value(cp1252ToUtf8(c.notes).c_str());
  incomingCallBox->value(c.incoming ? 1 : 0);
  outgoingCallBox->value(c.incoming ? 0 : 1);
  // Typing goes into the caller's name, never into the radio buttons.
  // Shown once: showing waits briefly for the window manager, and a
  // dialog answered in that time must not come back.
  showWindow(fileInfoWindow);
  callerInput->take_focus();
  while (fileInfoWindow->shown()) Fl::wait();
  return !fileInfoCancelled_;
}

void QueltoUserInterfaceImpl::applyFileInfo() {
  fileInfoCancelled_ = false;
  Conversation& c = conversationView->conversation;
  const std::string caller = utf8ToCp1252(callerInput->value());
  const std::string date = utf8ToCp1252(dateInput->value());
  const std::string notes = utf8ToCp1252(notesInput->value());
  const uint8_t incoming = incomingCallBox->value() ? 1 : 0;
  // The call's details are part of the record: changing them is a change
  // to save.
  if (caller != c.caller || date != c.date || notes != c.notes || incoming != c.incoming)
    c.modified = 1;
  c.caller = caller;
  c.date = date;
  c.notes = notes;
  c.incoming = incoming;
  c.ownerId = static_cast<std::uint32_t>(currentProfile().id);
  hideDialog(fileInfoWindow);
}

void QueltoUserInterfaceImpl::putCurrentDate(bool withTime) {
  dateInput->value(formatCurrentDate(withTime).c_str());
}

// --- Line controls -----------------------------------------------------------------------

void QueltoUserInterfaceImpl::toggleBaud() {
  baudButton->label(baudButtonLabel(modem_->toggleBaudRate()));
  bottomGroup->redraw();
}

void QueltoUserInterfaceImpl::switchToLetters() {
  modem_->forceLetters();
}

void QueltoUserInterfaceImpl::switchToFigures() {
  modem_->forceFigures();
}

void QueltoUserInterfaceImpl::letterButton() {
  if (modem_->shift.load() == FIGS) switchToLetters();
}

void QueltoUserInterfaceImpl::stopSending() {
  conversationView->eraseWithdrawn(modem_->stopSending());
}

void QueltoUserInterfaceImpl::sendProgrammedMessage(int index) {
  if (index < 0 || index >= kProgrammedMessageCount) return;
  const std::string message = utf8ToCp1252(currentProfile().messages[index]);
  if (message.empty()) return;
  bool structure = false;
  {
    ModemControl::Lock lock(*modem_);
    for (unsigned char ch : message) conversationView->sendCharacter(lock, ch, structure);
  }
  conversationView->relayout();
  conversationView->redrawAll();
  mainWindow->redraw();
}

void QueltoUserInterfaceImpl::refreshScreen() {
  conversationView->relayout();
  conversationView->redrawAll();
  mainWindow->redraw();
}

}  // namespace quelto
