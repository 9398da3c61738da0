#include "settings/data_folders.h"

#include <sys/stat.h>

#include <cstdlib>

namespace quelto {

std::string stateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + "/quelto";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/tmp") + "/.local/state/quelto";
}

std::string activityLogFolder() {
  return stateFolder() + "/logs/";
}

bool makePrivateFolders(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) return false;
  for (size_t at = 1; at != std::string::npos;) {
    at = folder.find('/', at + 1);
    ::mkdir(folder.substr(0, at).c_str(), 0700);
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace quelto
