// The application object for a window test suite.
#pragma once

#include "conversation/scripted_prompt.h"
#include "ui/quelto_user_interface_impl.h"

#include <memory>

namespace quelto::test {

// Empties the suite's scratch settings store (earlier runs saved their state
// in it), builds the application over `prompt` and shows its main window,
// at the program's opening size of 515 x 400 when `openingSize` is set.
std::unique_ptr<QueltoUserInterfaceImpl> startApp(ScriptedPrompt& prompt, bool openingSize);

}  // namespace quelto::test
