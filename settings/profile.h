// Profiles: who the user is, how the conversation is shown and printed, how
// the line is worked, ten programmed messages and a phonebook; all kept in
// the settings store below "profiles\<id>".
//
// Process-wide state (user-interface thread only):
// - profileList(): every profile, in the order of the "Profiles" setting.
// - currentProfile(): a copy of the element chosen at start-up; edits of the
//   current profile change this copy only, and saveAllProfiles writes it
//   last so that its edits win over its stale copy in the list.
//
// Texts are UTF-8 as typed. Colours are toolkit colour indexes (0 black,
// 1 red, 2 green, 3 yellow, 4 blue, 5 magenta, 6 cyan, 7 white, higher from
// the colour map); faces are toolkit font indexes (family * 4 + style;
// families 0 Helvetica, 1 Courier, 2 Times; styles 0 normal, 1 bold,
// 2 italic, 3 bold italic); sizes are points.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/phonebook.h"
#include "settings/translation.h"

namespace quelto {

constexpr int kProgrammedMessageCount = 10;
// Passwords hold at most this many characters (UTF-8 characters, not bytes).
constexpr int kMaxPasswordLength = 8;

// Print margin units and their factors relative to inches.
enum class MarginUnit : int { Inches = 0, Centimetres = 1, Millimetres = 2, Points = 3 };
// New value = old value * factor(new) / factor(old). Out-of-range units
// count as inches.
double marginUnitFactor(int units);
double convertMargin(double value, int fromUnits, int toUnits);

// The display of a fresh profile, which is also what the conversation shows
// before any profile is applied; "Default Color" in Personal Preferences
// puts these colours back.
namespace display_default {
constexpr int kSentTextColour = 0;          // black
constexpr int kSentTextFace = 0;            // Helvetica
constexpr int kReceivedTextColour = 138;    // dark teal (#00497F)
constexpr int kReceivedTextFace = 5;        // Courier bold
constexpr int kCurrentTextColour = 3;       // yellow: the bottom (current) text line
constexpr int kTextSize = 18;               // all three lines
constexpr int kBackgroundColour = 246;      // light blue (#BFDBFF), a colour-cube index
constexpr int kBottomBackgroundColour = 0;  // black
}  // namespace display_default

// One profile. The member initialisers are the defaults, also the values of
// a freshly built record. Copying copies everything, phonebook included.
struct Profile {
  std::int32_t id = 0;  // 0: the default profile; else its creation time (s since 1970, UTC)
  std::string name;
  std::string firstName;
  std::string lastName;
  std::string password;  // at most kMaxPasswordLength characters; empty: none
  int sentTextColor = display_default::kSentTextColour;
  int sentTextCapitals = 0;  // 0/1
  int sentTextFace = display_default::kSentTextFace;
  int sentTextSize = display_default::kTextSize;
  int receivedTextColor = display_default::kReceivedTextColour;
  int receivedTextCapitals = 1;
  int receivedTextFace = display_default::kReceivedTextFace;
  int receivedTextSize = display_default::kTextSize;
  int currentTextColor = display_default::kCurrentTextColour;
  int currentTextSize = display_default::kTextSize;
  int backgroundColor = display_default::kBackgroundColour;
  int bottomBackgroundColor = display_default::kBottomBackgroundColour;
  int defaultBaudRate = 1;    // 1 = 45.45 baud, 2 = 50 baud
  double sensitivity = 30.0;  // handed to the modem's receiver
  int vocalAnnounce = 0;      // index of the recorded announcement
  int units = 0;              // MarginUnit of the four margins
  double topMargin = 1.0;
  double leftMargin = 1.0;
  double rightMargin = 1.0;
  double bottomMargin = 1.0;
  int useScreenFaces = 0;  // print with the screen faces and sizes
  int printSentTextCapitals = 0;
  int printSentTextFace = 8;  // Times
  int printSentTextSize = 14;
  int printReceivedTextCapitals = 1;
  int printReceivedTextFace = 9;  // Times bold
  int printReceivedTextSize = 14;
  // 0/1: a received space returns the receiver to letters, for senders
  // that count on it.
  int unshiftOnSpace = 0;
  std::array<std::string, kProgrammedMessageCount> messages;  // sent by F3..F12
  Phonebook phonebook;

  bool operator==(const Profile& other) const;
  bool operator!=(const Profile& other) const { return !(*this == other); }
};

using ProfileList = std::vector<Profile>;

ProfileList& profileList();
Profile& currentProfile();

// "profiles\<id>".
std::string profileKey(std::int32_t id);

// Reads every field below key, each with the field's current value as its
// default, then the phonebook. Always succeeds.
void readProfile(Profile& profile, const std::string& key);

// Writes every field below key in table order ("\id", "\name", ...,
// "\message0".."\message9"), then the phonebook, in one SettingsBatch.
// Returns kSettingWriteFailed when any write failed.
int writeProfile(const Profile& profile, const std::string& key);

// Rebuilds profileList() from the first `count` ids of the comma-separated
// `ids` (fewer when the text has fewer). An entry whose settings were never
// written keeps the id of its key rather than 0. When nothing was loaded,
// the list holds a copy of currentProfile(). Returns the list size.
int loadProfiles(int count, const std::string& ids);
// loadProfiles with "NProfiles" (default 1) and "Profiles" (default "0").
int loadProfilesFromSettings();

// Writes every list element to profileKey(its id), then currentProfile(),
// all in one SettingsBatch. "NProfiles" and "Profiles" are not written.
int saveAllProfiles();

// Writes currentProfile() below its own key now. The preference and profile
// windows call it on OK so that a change is on disk at once: a run that
// ends without quitting (a crash, a power cut) keeps it.
int storeCurrentProfile();

// Appends a fresh profile with those texts; its id is the first number from
// `now` upwards that no listed profile has (two profiles created within the
// same second must not share a settings key). Returns the new list size.
int createProfile(const std::string& name, const std::string& firstName,
                  const std::string& lastName, const std::string& password,
                  std::time_t now = std::time(nullptr));

// Removes element index and deletes its settings tree. An index outside the
// list does nothing. Returns the new list size.
int removeProfile(int index);

// The ids of profileList(), "%d" joined by ",".
std::string profileIdList();

// Stores "NProfiles" = list size and "Profiles" = profileIdList().
int storeProfileListSettings();

// The element's name; a nameless element first gets one written into it:
// "Default" for id 0, else "NoName%d" with ++counter.
const std::string& profileDisplayName(Profile& element, int& counter);

// The display names of every element in list order, with a counter from 0
// (fillProfileChooser, showDeleteProfile).
std::vector<std::string> profileDisplayNames();

// ---- The checks behind the profile dialogs -------------------------------
// Each returns what the window does next. With an alert the window shows
// translate(*alert) and the dialog stays open.

struct ProfileDialogOutcome {
  bool done = false;          // the change was made: hide the window
  std::optional<Text> alert;  // what to tell the user, if anything
};

// Asks "Enter Password" (translated) and gives the answer; nullopt when the
// user cancelled.
using PasswordQuestion = std::function<std::optional<std::string>()>;

struct CreateProfileFields {
  std::string name, firstName, lastName, password, confirmation;
};
// applyCreateProfile: checks the name, the password length and the
// confirmation, then createProfile, writes the new profile and
// storeProfileListSettings, in one SettingsBatch.
ProfileDialogOutcome applyCreateProfile(const CreateProfileFields& fields,
                                        std::time_t now = std::time(nullptr));

// What the "Editing Profile..." window shows (showEditProfile).
struct EditProfileForm {
  bool nameEnabled = false;
  std::string name;  // translate(Text::Default) for the default profile
  bool oldPasswordEnabled = false;
  bool newPasswordEnabled = false;  // the new password and its confirmation
  std::string firstName, lastName;
};
EditProfileForm editProfileForm();

struct EditProfileFields {
  std::string name, firstName, lastName, oldPassword, newPassword, confirmation;
};
// applyEditProfile on currentProfile(): name, old password, new password
// length, confirmation; then the change, stored at once
// (storeCurrentProfile).
ProfileDialogOutcome applyEditProfile(const EditProfileFields& fields);

// chooseProfile: line counts from 1. With askPassword and a protected
// element the question is asked; a cancelled, empty or wrong answer (or a
// line outside the list) is not done and has no alert: the chooser stays open.
// Otherwise currentProfile() becomes a copy of the element: done.
ProfileDialogOutcome chooseProfile(int line, bool askPassword, const PasswordQuestion& ask);

// deleteProfile: refuses the default and the current profile with an alert;
// asks the password of a protected element only when the current profile is
// not the default one and askPassword is set (wrong answer: silently not
// done); then removeProfile and storeProfileListSettings.
ProfileDialogOutcome deleteProfile(int line, bool askPassword, const PasswordQuestion& ask);

}  // namespace quelto
