// The quelto program: one instance per user, the main window, the event
// loop, the final save, and restarting itself.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/restart.h"
#include "app/single_instance.h"
#include "audio/audio_settings.h"
#include "audio/device_list.h"
#include "audio/mixer.h"
#include "audio/signal_capture.h"
#include "audio/sound_stream.h"
#include "audio/system_sound_device.h"
#include "conversation/activity_log.h"
#include "conversation/conversation.h"
#include "conversation/recovery.h"
#include "modem/modem_control.h"
#include "settings/global_settings.h"
#include "settings/profile.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "settings/window_geometry.h"
#include "ui/fltk_prompt.h"
#include "ui/quelto_user_interface_impl.h"

using namespace quelto;

namespace {

QueltoUserInterfaceImpl* application = nullptr;
RecoveryCopy* recoveryCopy = nullptr;

// Opens a file named on the command line or handed over by a second start,
// asking first like File Open when there is something to lose.
void openNamedFile(const std::string& path) {
  if (readSetting(setting::kConfirmFileNew) && !application->askToSaveChanges()) return;
  application->openConversationFile(path);
}

// A second start connected to the wake-up socket: raise the main window,
// also when it was minimised, and open the file it was given.
void wakeUpHandler(int fd, void* data) {
  auto* instance = static_cast<SingleInstance*>(data);
  std::string file;
  if (!instance->acceptWakeUp(&file) || !application) return;
  (void)fd;
  showWindow(application->mainWindow);
  if (!file.empty()) openNamedFile(file);
}

// Keeps the crash-recovery copy up to date: at most a second after each
// change, on the user-interface thread, never on the modem's.
constexpr double kRecoveryInterval = 1.0;
void recoveryTick(void*) {
  if (application && recoveryCopy)
    recoveryCopy->update(application->conversationView->conversation, currentProfile().password);
  Fl::repeat_timeout(kRecoveryInterval, recoveryTick);
}

// The file named on the command line, made absolute so that the running
// copy finds it from its own folder. "" when none.
std::string fileArgument(int argc, char** argv, int first) {
  for (int i = first; i < argc; ++i) {
    if (argv[i][0] == '-' || argv[i][0] == '\0') continue;
    std::string path = argv[i];
    if (path[0] != '/') {
      char* here = ::getcwd(nullptr, 0);
      if (here) {
        path = std::string(here) + "/" + path;
        std::free(here);
      }
    }
    return path;
  }
  return std::string();
}

// The toolkit's colour switches, in the order of the stored colours below.
bool colourSwitchGiven(int argc, char** argv, int which) {
  static const char* const switches[3][2] = {
      {"-bg", "-background"}, {"-bg2", "-background2"}, {"-fg", "-foreground"}};
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], switches[which][0]) == 0 ||
        std::strcmp(argv[i], switches[which][1]) == 0)
      return true;
  return false;
}

// The stored interface colours ("r,g,b"). A colour given on the command
// line wins over the stored one.
void applyStoredColours(int argc, char** argv) {
  const TextSetting* colours[] = {&setting::kDefaultBackground, &setting::kDefaultBackground2,
                                  &setting::kDefaultForeground};
  for (int i = 0; i < 3; ++i) {
    if (colourSwitchGiven(argc, argv, i)) continue;
    const std::string text = readSetting(*colours[i]);
    int r = 0, g = 0, b = 0;
    if (text.empty() || std::sscanf(text.c_str(), "%d,%d,%d", &r, &g, &b) != 3) continue;
    const auto R = static_cast<uchar>(r), G = static_cast<uchar>(g), B = static_cast<uchar>(b);
    if (i == 0) Fl::background(R, G, B);
    if (i == 1) Fl::background2(R, G, B);
    if (i == 2) Fl::foreground(R, G, B);
  }
}

// The toolkit parses its own switches; the program's two are skipped here.
int programSwitch(int argc, char** argv, int& i) {
  const int length = programSwitchLength(argc, argv, i);
  i += length;
  return length;
}

}  // namespace

int main(int argc, char** argv) {
  // A restarted run inherits QUELTOEXEC from the run that restarted it.
  const bool restarted = std::getenv("QUELTOEXEC") != nullptr;
  RestartCommand restart(argc, argv);
  int next = 0;
  Fl::args(argc, argv, next, programSwitch);
  const std::string fileToOpen = fileArgument(argc, argv, next);

  SingleInstance instance;
  if (!instance.acquire()) {
    instance.wakeRunning(fileToOpen);
    return 0;
  }
  // The sound server or the card: the mixer acts on the chosen devices.
  const std::unique_ptr<SoundDevice> device = openSystemSoundDevice();
  DeviceLists lists(*device);
  loadDeviceChoices();
  const MixerOpener mixer = chosenDevicesMixer(*device);
  adjustMixer(mixer);

  const ProgramSwitches switches = readProgramSwitches(argc, argv);
  signalCapture().setCaptureMode(switches.capture);
  if (switches.dumpPath) signalCapture().openRawDump(*switches.dumpPath, restarted);
  if (!switches.capture) startActivityLog(readSetting(setting::kLogFilePrefix));

  // The toolkit's current look; a "-scheme" switch on the command line wins.
  if (!Fl::scheme()) Fl::scheme("gtk+");
  // The toolkit applies its colour switches only through show(argc, argv),
  // which the program does not use; take them now, then the stored colours.
  if (colourSwitchGiven(argc, argv, 0) || colourSwitchGiven(argc, argv, 1) ||
      colourSwitchGiven(argc, argv, 2))
    Fl::get_system_colors();
  applyStoredColours(argc, argv);

  FltkPrompt prompt;
  auto app = std::make_unique<QueltoUserInterfaceImpl>(startModem(*device), prompt);
  application = app.get();
  app->setDeviceLists(&lists);
  RecoveryCopy recovery;
  recoveryCopy = &recovery;
  // The lock and the socket are close-on-exec: a successful exec hands
  // them to the new run, a failed one leaves this run holding them. The
  // recovery copy goes: the question before the restart was the user's
  // chance to save.
  app->setRestarter([&recovery, &restart] {
    recovery.remove();
    restart.exec();
  });
  if (instance.listenFd() >= 0) Fl::add_fd(instance.listenFd(), FL_READ, wakeUpHandler, &instance);

  Fl_Window* main = app->mainWindow;
  prompt.owner(main);
  translateToolkitTexts();
  int areaX, areaY, areaW, areaH;
  Fl::screen_work_area(areaX, areaY, areaW, areaH);
  const WindowSize firstRun = firstRunMainWindowSize({areaW, areaH});
  main->size(firstRun.w, firstRun.h);
  main->size_range(kMainWindowMinimumSize.w, 125, 0, 0, 0, 0, 0);
  app->restoreState();  // the profile is chosen here
  loadStreamSwitches();

  Conversation& conversation = app->conversationView->conversation;
  conversation.ownerId = static_cast<std::uint32_t>(currentProfile().id);
  if (recovery.exists()) {
    // Asked over the main window, so that it is plain which program asks.
    showWindow(main);
    if (prompt.choice(translate(Text::RestoreConversation), translate(Text::No),
                      translate(Text::Yes), "") == 1 &&
        recovery.restore(conversation, prompt))
      app->showLoadedConversation("Conversation1");
  }
  if (!fileToOpen.empty()) {
    showWindow(main);
    openNamedFile(fileToOpen);
  }
  Fl::add_timeout(kRecoveryInterval, recoveryTick);

  for (;;) {
    showWindow(main);
    adjustMixer(mixer);
    while (main->shown()) Fl::wait();
    showWindow(main);
    if (!readSetting(setting::kConfirmFileQuit)) break;
    if (app->askToSaveChanges()) break;
  }

  application = nullptr;
  Fl::remove_timeout(recoveryTick);
  // A normal end: the user was asked (or chose not to be) about the text.
  recovery.remove();
  recoveryCopy = nullptr;
  app->saveState();
  if (readSetting(setting::kMuteWaveOnQuit)) turnDownWaveOutput(mixer);
  signalCapture().closeRawDump();
  app.reset();
  return 0;
}
