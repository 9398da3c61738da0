// The interface language: every text the user sees is written in the program
// in English and passed through translate(), which gives the text of the
// current language (English or French).
//
// All texts here are UTF-8 (the toolkit draws UTF-8); a caller that puts one
// into a file in Windows-1252 converts it with utf8ToCp1252.
//
// The language is chosen once, from the setting "Language" (default "Fr"),
// at the first call of translate() or currentLanguage(); a change stored
// later takes effect at the next start of the program.
//
// Threads: the first call comes from static initialisation (messageTexts),
// before other threads exist; later calls come from the user-interface
// thread only.
#pragma once

#include <ctime>
#include <string>

namespace quelto {

constexpr int kLanguageEnglish = 0;
constexpr int kLanguageFrench = 1;

// The text of the current language for an English text, compared byte for
// byte ("&" shortcut markers, case and punctuation included). A text with no
// entry comes back as the argument itself (the same pointer). Returned
// pointers to translated texts are static and live for the whole run, so
// they may be given to widgets as labels.
const char* translate(const char* english);

// The current language index (kLanguageEnglish or kLanguageFrench). On the
// first call it reads "Language" (default "Fr") through
// chooseLanguageFromSettings().
int currentLanguage();

// Reads "Language" (default "Fr") and makes the matching language current;
// a name that matches none gives English. Returns the language chosen.
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

// Keys in the table that the windows use beside their own labels: the two
// arrow symbols of the toolkit (same in both languages) and the lines of the
// About window, in the order they are shown.
constexpr const char* kLeftArrowLabel = "@<-";
constexpr const char* kRightArrowLabel = "@->";
constexpr const char* kAboutLines[6] = {
    "Quelto 0.1.0 for Linux", "Copyright (C) 2026 Ostrevane",
    "All rights reserved.",   "Written by the Quelto developers",
    "Made by Ostrevane",      "Built with the FLTK toolkit"};

// The local date of `when` in the current language: "%A %d %B %Y, %H:%M:%S"
// with the time, "%A %d %B %Y" without. French uses the first locale that
// exists of fr_FR.UTF-8, fr_FR and "French" (output converted to UTF-8),
// else the "C" names; English uses "C". The process locale is not changed.
std::string formatDate(std::time_t when, bool withTime);

// formatDate for the current time.
std::string formatCurrentDate(bool withTime);

// The message texts shown later by the program, translated once at the
// first call. The program calls it during its static initialisation, before
// main, which also fixes the language for the run; nothing here does so by
// itself, so that linking this library never reads the settings early.
struct MessageTexts {
  const char* restartQuestion;  // "For the changes to take effect, ..."
  const char* yes;
  const char* no;
  const char* cancel;
  const char* mustSupplyName;         // "You must supply a name!"
  const char* passwordTooLong;        // "The supplied password is too long"
  const char* passwordsDontMatch;     // "Passwords don't match !"
  const char* restartFailed;          // "The program could not be restarted !"
  const char* numberToDial;           // "Number to dial?"
  const char* soundcardProblem;       // "Soundcard problem..."
  const char* couldNotOpenSoundcard;  // "Could not open soundcard !"
  const char* saveToRtf;              // "Save to RTF..."
  const char* rtfFiles;               // "RTF Files"
  const char* saveAs;                 // "Save as"
  const char* load;                   // "Load"
  const char* queltoFiles;            // "Quelto Files"
  const char* enterPassword;          // "Enter Password"
  const char* cannotDeleteCurrent;    // "You cannot delete the current profile!"
  const char* cannotDeleteDefault;    // "You cannot delete the default profile!"
  const char* fileBelongsTo;          // "This file belongs to '%s'. ..." (one %s)
  const char* sentTextFont;           // "Sent text font"
  const char* sentTextFontCaps;       // "SENT TEXT FONT"
  const char* receivedTextFont;       // "Received text font"
  const char* receivedTextFontCaps;   // "RECEIVED TEXT FONT"
  const char* receivedCall;           // "Received Call"
  const char* placedCall;             // "Placed Call"
  const char* printedBy;              // "Printed by"
  const char* nameOfContact;          // "Name of contact?"
  const char* newNameOfContact;       // "New name of contact?"
  const char* wrongPassword;          // "Wrong password!"
  const char* fileNotWritten;         // "The file could not be written!"
  const char* notSavedSaveChanges;  // "The text in the conversation has not been saved. Do you want
                                    // to save the changes?"
};
const MessageTexts& messageTexts();

}  // namespace quelto
