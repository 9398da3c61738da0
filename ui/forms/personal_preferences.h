// The decisions behind the Personal Preferences window, without the window:
// what each page shows for a profile, what OK stores back, the default
// colour sets, the margin units conversion, the font menus' arithmetic and
// the page stepping of the "@<"/"@>" buttons.
//
// The window keeps the truth in its widgets while it is open. Its
// controller (personal_preferences_controller.h) fills them from
// preferencesFromProfile() ("apply profile to interface"), reads them back
// into a PersonalPreferencesValues and hands that to storePreferences() on
// OK ("read interface into profile"). Cancel fills them again from the
// unchanged profile, together with the contact list
// (PhonebookEditor::load) and the message buttons (messageButtonLabels),
// so every edit is given back.
//
// Texts are UTF-8. Colours are toolkit colour indexes, faces toolkit font
// indexes (family * 4 + style). No toolkit is needed here.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "settings/phonebook.h"
#include "settings/profile.h"

namespace quelto {

// One line of the conversation preview ("sent text", "RECEIVED TEXT").
struct PreviewText {
  int color = display_default::kSentTextColour;
  int face = display_default::kSentTextFace;
  int size = display_default::kTextSize;
  bool capitals = false;
};

// A print font menu button ("Sent Text Font", "Received Text Font").
struct PrintFont {
  int face = 8;
  int size = 14;
  bool capitals = false;
};

// The four margin fields as the user typed them, in the current units.
struct MarginTexts {
  std::string top, left, right, bottom;
};

// Everything the five pages show, as plain values.
struct PersonalPreferencesValues {
  // "Fonts & Colors"
  PreviewText sent;
  PreviewText received;
  int bottomTextColor =
      display_default::kCurrentTextColour;          // the "Bottom Text" box's label colour
  int bottomTextSize = display_default::kTextSize;  // and label size
  int bottomBoxColor = display_default::kBottomBackgroundColour;  // the box's own colour
  int backgroundColor = display_default::kBackgroundColour;       // the background box
  // "Communication"
  int baudChoice = 0;                // 0 "45 bauds", 1 "50 bauds"
  double sensitivity = 30.0;         // 0..100
  std::optional<int> vocalAnnounce;  // selected announcement (0-based), or none
  bool unshiftOnSpace = false;
  // "Print Options"
  int units = 0;  // 0 inches, 1 cm, 2 mm, 3 points
  MarginTexts margins;
  bool useScreenFaces = false;
  PrintFont printSent;
  PrintFont printReceived;
  // "Messages"
  std::array<std::string, kProgrammedMessageCount> messages;

  bool operator==(const PersonalPreferencesValues& o) const;
  bool operator!=(const PersonalPreferencesValues& o) const { return !(*this == o); }
};

// Apply profile to interface: the values every page shows for profile.
PersonalPreferencesValues preferencesFromProfile(const Profile& profile);

// Read interface into profile (OK): every page value, the ten messages and
// the contacts. A margin text that does not read as a number leaves that
// margin unchanged; so does a print size that is not one of the menu's.
void storePreferences(const PersonalPreferencesValues& values, const Phonebook& contacts,
                      Profile& profile);

// The labels of the ten programmed-message buttons for the message fields.
std::array<std::string, kProgrammedMessageCount> messageButtonLabels(
    const PersonalPreferencesValues& values);

// ---- "Default B&&W" / "Default Color" ---------------------------------------

struct PreviewColours {
  int sentTextColor;
  int receivedTextColor;
  int bottomTextColor;
  int backgroundColor;
  int bottomBoxColor;
};
constexpr int kDefaultBlackAndWhite = 0;
constexpr int kDefaultColour = 1;
// flag 1: a new profile's colours (black and dark teal on light blue, yellow
// on black in the band); flag 0: black, black, white (7) on white (7). The
// bottom box is black (0) in both.
PreviewColours defaultPreviewColours(int flag);
void applyDefaultColours(PersonalPreferencesValues& values, int flag);

// ---- Margins -----------------------------------------------------------------

// Margins are shown and read like "%lf" in the C locale ("2.540000"),
// whatever the user's locale, so a value typed in one run reads back in the
// next. parseMargin takes a leading number and ignores what follows it;
// nothing when the text does not start with one.
std::string formatMargin(double value);
std::optional<double> parseMargin(const std::string& text);

// printUnitsChanged: each margin text converted from one unit to the other
// (factor per inch: 1.0, 2.54, 25.4, 72.0). A text that does not read as a
// number is left as it is.
MarginTexts convertMarginTexts(const MarginTexts& margins, int fromUnits, int toUnits);

// ---- Font menus --------------------------------------------------------------

// The "Size" submenu's sizes, in menu order.
constexpr std::array<int, 13> kFontMenuSizes = {8, 10, 11, 12, 14, 16, 17, 18, 20, 24, 25, 34, 36};
// The item of that size, or nothing when the size is not on the menu.
std::optional<int> fontSizeItem(int size);

// "Helvetica" (0), "Courier" (1), "Times" (2): the family changes, the
// style stays.
int faceWithFamily(int face, int family);
// "Normal" (0), "Bold" (1), "Italic" (2), "Italic + Bold" (3): the style
// changes, the family stays.
int faceWithStyle(int face, int style);

// The preview boxes' texts and the print menu buttons' labels in their
// capital or small form (translate them).
Text sentPreviewText(bool capitals);
Text receivedPreviewText(bool capitals);
Text printSentButtonLabel(bool capitals);
Text printReceivedButtonLabel(bool capitals);

// ---- Baud rate ---------------------------------------------------------------

// The "Default &Baud Rate:" choice for a profile's rate (1 = 45, 2 = 50;
// anything else shows 45) and back.
int baudChoiceFromRate(int defaultBaudRate);
int baudRateFromChoice(int choice);
// The main window's baud button for a rate (English; translate it).
const char* baudButtonLabel(int defaultBaudRate);  // "45 &bauds" / "50 &bauds"

// ---- Pages -------------------------------------------------------------------

// moveTab: the page after stepping from current among count pages,
// wrapping before the first to the last and after the last to the first.
// Without a current page the first page. Nothing when there are no pages.
std::optional<int> steppedPage(std::optional<int> current, int step, int count);

}  // namespace quelto
