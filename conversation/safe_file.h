// Writing a whole file so that the previous version survives any failure:
// the bytes go to a new file beside the target, every write is checked, the
// new file is flushed to disk and then renamed over the target. A full disk,
// an I/O error or a crash at any moment leaves either the old file or the
// complete new one, never a mix.
#pragma once

#include <string>

namespace quelto {

enum class SafeWriteResult {
  Ok,
  CannotCreate,  // no file could be created beside the target (missing or
                 // read-only folder); nothing was touched
  WriteFailed,   // a write, flush or rename failed; the target is untouched
  ReadOnly,      // the target has no write permission bit: left alone
};

// Writes `bytes` as the whole content of `path`. A new file gets mode 0600
// (conversations are private); a replaced file keeps its mode. A symbolic
// link is followed and its target written. Copies left beside the target
// by saves of processes that no longer run are removed first.
SafeWriteResult writeFileSafely(const std::string& path, const std::string& bytes);

// Removes the temporary copies that interrupted saves of `path` left behind
// (those of processes that no longer run).
void removeStaleTemporaryFiles(const std::string& path);

// Reads a whole regular file. False when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes);

}  // namespace quelto
