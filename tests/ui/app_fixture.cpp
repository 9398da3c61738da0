#include "app_fixture.h"

#include "modem/modem_control.h"
#include "settings/settings_store.h"
#include "synthetic_events.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quelto::test {

std::unique_ptr<QueltoUserInterfaceImpl> startApp(ScriptedPrompt& prompt, bool openingSize) {
  closeSettingsStore();
  const std::string store = std::string(std::getenv("XDG_CONFIG_HOME")) + "/quelto/settings.sqlite";
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((store + suffix).c_str());
  // The questions before losing work are off unless a test asks for them.
  for (const char* name :
       {"ConfirmFileNew", "ConfirmFileQuit", "ConfirmEditCut", "ConfirmOptionsRestart"})
    setSettingBool(name, false);
  auto app = std::make_unique<QueltoUserInterfaceImpl>(std::make_unique<ModemControl>(), prompt);
  if (openingSize) app->mainWindow->size(515, 400);
  app->mainWindow->show();
  app->mainWindow->wait_for_expose();
  settle();
  return app;
}

}  // namespace quelto::test
