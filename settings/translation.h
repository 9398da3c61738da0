// The interface language: every text the user sees is written in the program
// in English and passed through translate(), which gives the text of the
// current language (English or French). Window labels are translated by
// their English text (they come from ui/quelto.fl); texts that the code
// shows are named by Text, so that a caller cannot misspell a key.
//
// All texts here are UTF-8 (the toolkit draws UTF-8); a caller that puts one
// into a file in Windows-1252 converts it with utf8ToCp1252.
//
// The language is chosen once, from the setting "Language" (or, when none is
// stored, from the user's locale: see settings/locale_language.h), at the
// first call of translate() or currentLanguage(); a change stored
// later takes effect at the next start of the program.
//
// Threads: the user-interface thread only.
#pragma once

#include <ctime>
#include <string>

namespace quelto {

constexpr int kLanguageEnglish = 0;
constexpr int kLanguageFrench = 1;

// The texts the code shows, beside the window labels. Each has a row in the
// translation table (settings/translation_table.h).
enum class Text {
  Quelto,         // the main window's title
  Default,        // the default profile's name
  NotProgrammed,  // a programmed-message button before a profile is loaded
  Yes,
  No,
  Cancel,
  RestartQuestion,  // after a global preference that needs a restart
  RestartFailed,
  MustSupplyName,
  PasswordTooLong,
  PasswordsDontMatch,
  WrongPassword,
  EnterPassword,
  CannotDeleteCurrentProfile,
  CannotDeleteDefaultProfile,
  FileBelongsTo,  // one %s: the owner's name
  NumberToDial,
  NameOfContact,
  NewNameOfContact,
  SoundcardProblem,       // status text: the sound card failed during a call
  CouldNotOpenSoundcard,  // status text: no sound card could be opened
  SoundDeviceNotFound,    // status text, one %s: the chosen device that is missing
  DialTone,               // status text: what the line is doing
  Ringing,
  Busy,
  Reorder,
  VoiceOnTheLine,
  TextNotSent,      // status text: the sound card refused typed text
  DiallingStopped,  // status text: a dial key could not be played
  Load,             // file chooser titles and filter names
  SaveAs,
  QueltoFiles,
  SaveToRtf,
  RtfFiles,
  FileNotWritten,
  NotSavedSaveChanges,
  // Why a conversation file was not opened.
  FileCannotBeOpened,
  FileTooLarge,
  NotAConversationFile,
  FileDamaged,
  FileHasTooManyLines,
  NotEnoughMemoryToOpen,
  // At start after a run that ended without removing its recovery copy.
  RestoreConversation,
  SentPreview,  // the Personal Preferences preview boxes, small and capitals
  SentPreviewCapitals,
  ReceivedPreview,
  ReceivedPreviewCapitals,
  PrintSentFont,  // the print font buttons, small and capitals
  PrintSentFontCapitals,
  PrintReceivedFont,
  PrintReceivedFontCapitals,
  ReceivedCall,  // printed and exported headings
  PlacedCall,
  PrintedBy,
  MarginsLeaveNoRoom,  // print margins refused in Personal Preferences or at printing
  // The Diagnostic report.
  InputDeviceNotSet,
  InputDeviceCount,  // one %d: how many input devices the computer has
  InputDeviceIs,     // followed by the device's name
  DigitalInputWarning,
  OutputDeviceNotSet,
  OutputDeviceCount,  // one %d
  OutputDeviceIs,
  DeviceNotFound,
};
constexpr int kTextCount = static_cast<int>(Text::DeviceNotFound) + 1;

// The English text (the table key) of a named text.
const char* englishText(Text text);

// The named text in the current language.
const char* translate(Text text);

// The text of the current language for an English text, compared byte for
// byte ("&" shortcut markers, case and punctuation included). A text with no
// entry comes back as the argument itself (the same pointer). Returned
// pointers to translated texts are static and live for the whole run, so
// they may be given to widgets as labels.
const char* translate(const char* english);

// The current language index (kLanguageEnglish or kLanguageFrench). On the
// first call it chooses through chooseLanguageFromSettings().
int currentLanguage();

// Reads "Language" and makes the matching language current; a name that
// matches none gives English, no stored name the locale's language.
// Returns the language chosen.
int chooseLanguageFromSettings();

// 0 and the index becomes current when 0 <= index < languageCount();
// -1 otherwise (nothing changes).
int setLanguage(int index);

// 0 when a language name starts with the same two bytes as name (compared
// with case: "En", "Fr"); that language becomes current. -1 otherwise.
int setLanguageByName(const std::string& name);

// "English" (0) or "Français" (1); an index out of range gives "Français".
const char* languageName(int index);

// 2.
int languageCount();

// The local date of `when` in the current language: "%A %d %B %Y, %H:%M:%S"
// with the time, "%A %d %B %Y" without. French uses the first locale that
// exists of fr_FR.UTF-8, fr_FR and "French" (output converted to UTF-8),
// else the "C" names; English uses "C". The process locale is not changed.
std::string formatDate(std::time_t when, bool withTime);

// formatDate for the current time.
std::string formatCurrentDate(bool withTime);

}  // namespace quelto
