// Where the program keeps what it writes about calls, apart from the
// settings store: the crash-recovery copy and the activity logs live in the
// state folder, $XDG_STATE_HOME/quelto (default ~/.local/state/quelto).
// Folders the program creates there are 0700: they hold private
// conversations.
#pragma once

#include <string>

namespace quelto {

// $XDG_STATE_HOME/quelto, or ~/.local/state/quelto when XDG_STATE_HOME is
// unset or not absolute. The environment is read at every call.
std::string stateFolder();

// The "LogFilePrefix" the activity-log switch stores: the state folder's
// "logs" folder, absolute, with its trailing slash.
std::string activityLogFolder();

// Creates every missing folder of `path` (up to its last '/' when it ends
// with one, the whole path otherwise) with mode 0700; folders that exist
// keep their mode. Returns whether the folder exists afterwards.
bool makePrivateFolders(const std::string& path);

}  // namespace quelto
