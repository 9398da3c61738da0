// The activity log: an optional plain-text record of each conversation,
// every character received or sent (backspaces included) under time-stamped
// headings, and the file events. Each conversation goes to a new numbered
// file "<prefix><user>-<host>-<yyyymmdd>-<n>.txt", created with mode 0600
// because it holds private conversations. The conversation model writes the
// entries, and the user interface the line events it is shown.
//
// Threads: user-interface thread only. Failures are silent: a log file that
// cannot be created turns logging off for the rest of the run, and write
// errors are ignored (the log must never disturb a call).
//
// Text written is Windows-1252, as the conversation holds it.
#pragma once

#include "modem/line_events.h"

#include <ctime>
#include <functional>
#include <string>

namespace quelto {

enum class LogCode : int {
  Received = 1,     // received character or received backspace
  Sent = 2,         // sent character or sent backspace
  Saving = 3,       // conversation saved
  SavingRtf = 4,    // RTF export
  LoadingFile = 5,  // conversation file loaded
  New = 6,          // conversation cleared; closes the file
  Quit = 7,         // conversation destroyed at the end; closes the file
  // What the line is doing (modem/line_events.h); LineQuiet when an event
  // ends. Like the file events, a heading with no characters.
  DialTone = 8,
  Ringing = 9,
  Busy = 10,
  Reorder = 11,
  Voice = 12,
  LineQuiet = 13,
  // Typed text the sound card refused: it never reached the line.
  NotSent = 14,
};

// The heading that records a line event; LineQuiet for LineEvent::Quiet.
LogCode logCodeFor(LineEvent event);

// Turns logging on for this run with the "LogFilePrefix" setting's value:
// the start of every log file path, folder included. An empty prefix keeps
// logging off (and so does never calling this, as in signal-capture mode).
// Closes a file left open by an earlier start. The prefix's folder (up to its
// last '/') is created with mode 0700 where missing, here and again before
// each new file.
void startActivityLog(const std::string& prefix);

// Closes the current file and turns logging off.
void stopActivityLog();

// Whether entries are being written (started, and no file creation failed).
bool activityLogEnabled();

// Records one event. For Received and Sent, ch is the character, or 0 for a
// backspace (written "\BACKSPACE "); other codes pass 0. The first entry
// after a close opens the next numbered file, starting from the
// "LogFileNextId" setting (default 1), skipping existing files, and stores
// the number after the one used.
void logEvent(LogCode code, unsigned char ch = 0);

// The local time used for headings and for the date in file names; the
// default reads the system clock. Tests set a fixed time; an empty function
// restores the default.
void setActivityLogClock(std::function<std::tm()> clock);

// The path of the file being written, "" when none is open.
std::string activityLogPath();

}  // namespace quelto
