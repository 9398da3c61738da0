#include "ui/forms/personal_preferences.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "settings/programmed_messages.h"

namespace quelto {
namespace {

// A profile whose every page field differs from the defaults.
Profile unusualProfile() {
  Profile p;
  p.id = 1700000000;
  p.name = "Marie";
  p.sentTextColor = 4;
  p.sentTextCapitals = 1;
  p.sentTextFace = 10;
  p.sentTextSize = 24;
  p.receivedTextColor = 1;
  p.receivedTextCapitals = 0;
  p.receivedTextFace = 2;
  p.receivedTextSize = 12;
  p.currentTextColor = 5;
  p.currentTextSize = 20;
  p.backgroundColor = 7;
  p.bottomBackgroundColor = 4;
  p.defaultBaudRate = 2;
  p.sensitivity = 55.5;
  p.vocalAnnounce = 1;
  p.units = 1;
  p.topMargin = 2.5;
  p.leftMargin = 1.25;
  p.rightMargin = 3.0;
  p.bottomMargin = 0.5;
  p.useScreenFaces = 1;
  p.printSentTextCapitals = 1;
  p.printSentTextFace = 4;
  p.printSentTextSize = 10;
  p.printReceivedTextCapitals = 0;
  p.printReceivedTextFace = 1;
  p.printReceivedTextSize = 36;
  for (int i = 0; i < kProgrammedMessageCount; ++i) p.messages[i] = "MSG " + std::to_string(i);
  p.phonebook.append({"Paul", "5551234", "evenings"});
  p.phonebook.append({"Relay", "", ""});
  return p;
}

TEST(PersonalPreferences, EveryPageValueGoesToTheWindowAndComesBackOnOk) {
  const Profile original = unusualProfile();
  const PersonalPreferencesValues shown = preferencesFromProfile(original);
  EXPECT_EQ(shown.baudChoice, 1);
  EXPECT_EQ(shown.vocalAnnounce, 1);
  EXPECT_EQ(shown.margins.top, "2.500000");

  Profile stored;  // defaults everywhere
  stored.id = original.id;
  stored.name = original.name;
  storePreferences(shown, original.phonebook, stored);
  EXPECT_EQ(stored, original);
}

TEST(PersonalPreferences, CancelGivesBackPreviewMessagesLabelsAndContacts) {
  const Profile profile = unusualProfile();
  PersonalPreferencesValues values = preferencesFromProfile(profile);
  PhonebookEditor contacts;
  contacts.load(profile.phonebook);
  const PersonalPreferencesValues opened = values;
  const auto openedLabels = messageButtonLabels(values);
  const auto openedLines = contacts.listLines();
  EXPECT_EQ(openedLabels[0], "[F3] MSG 0");

  // Edits: a font, a message (its button follows at once), the contacts.
  values.sent.face = faceWithFamily(values.sent.face, 1);
  values.messages[0] = "HELLO GA";
  EXPECT_EQ(messageButtonLabels(values)[0], "[F3] HELLO GA");
  contacts.select(1);
  contacts.editNumber("999");
  contacts.removeContact();
  contacts.addContact(std::string("Anne"));
  applyDefaultColours(values, kDefaultBlackAndWhite);
  ASSERT_NE(values, opened);

  // Cancel: the window is filled again from the unchanged profile.
  values = preferencesFromProfile(profile);
  contacts.load(profile.phonebook);
  EXPECT_EQ(values, opened);
  EXPECT_EQ(messageButtonLabels(values), openedLabels);
  EXPECT_EQ(contacts.listLines(), openedLines);
  EXPECT_EQ(contacts.workingCopy(), profile.phonebook);
  EXPECT_EQ(contacts.selectedLine(), 0);
}

TEST(PersonalPreferences, EmptyMessagesLabelTheirButtonsWithTheKeyOnly) {
  const auto labels = messageButtonLabels(preferencesFromProfile(Profile{}));
  EXPECT_EQ(labels[0], "[F3] ");
  EXPECT_EQ(labels[2], "[F5] ");
  EXPECT_EQ(labels[9], "[F12] ");
}

TEST(PersonalPreferences, DefaultColourSetsThenOk) {
  struct Case {
    int flag;
    int sent, received, bottomText, background;
  } cases[] = {{kDefaultColour, 0, 138, 3, 246}, {kDefaultBlackAndWhite, 0, 0, 7, 7}};
  for (const Case& c : cases) {
    Profile p = unusualProfile();
    PersonalPreferencesValues v = preferencesFromProfile(p);
    applyDefaultColours(v, c.flag);
    storePreferences(v, p.phonebook, p);
    EXPECT_EQ(p.sentTextColor, c.sent) << c.flag;
    EXPECT_EQ(p.receivedTextColor, c.received) << c.flag;
    EXPECT_EQ(p.currentTextColor, c.bottomText) << c.flag;
    EXPECT_EQ(p.backgroundColor, c.background) << c.flag;
    EXPECT_EQ(p.bottomBackgroundColor, 0) << c.flag;
    EXPECT_EQ(p.sentTextFace, 10) << "fonts are not colours";
  }
}

TEST(MarginUnits, OneInchIsTwoPointFiveFourCentimetresThenSeventyTwoPoints) {
  MarginTexts m{"1.000000", "1", "0.5", "2"};
  m = convertMarginTexts(m, 0, 1);
  EXPECT_EQ(m.top, "2.540000");
  EXPECT_EQ(m.left, "2.540000");
  EXPECT_EQ(m.right, "1.270000");
  EXPECT_EQ(m.bottom, "5.080000");
  m = convertMarginTexts(m, 1, 3);
  EXPECT_EQ(m.top, "72.000000");
  EXPECT_EQ(m.right, "36.000000");
  m = convertMarginTexts(m, 3, 2);
  EXPECT_EQ(m.top, "25.400000");
  m = convertMarginTexts(m, 2, 0);
  EXPECT_EQ(m.top, "1.000000");
}

TEST(MarginUnits, TextsThatAreNotNumbersAreLeftAlone) {
  const MarginTexts m = convertMarginTexts({"", "abc", "2.5cm", "-1"}, 0, 1);
  EXPECT_EQ(m.top, "");
  EXPECT_EQ(m.left, "abc");
  EXPECT_EQ(m.right, "6.350000");  // the number at the start counts
  EXPECT_EQ(m.bottom, "-2.540000");

  Profile p;
  PersonalPreferencesValues v = preferencesFromProfile(p);
  v.margins = {"oops", "", "3", "x1"};
  storePreferences(v, p.phonebook, p);
  EXPECT_EQ(p.topMargin, 1.0);
  EXPECT_EQ(p.leftMargin, 1.0);
  EXPECT_EQ(p.rightMargin, 3.0);
  EXPECT_EQ(p.bottomMargin, 1.0);
}

TEST(MarginUnits, TheUsersLocaleDoesNotChangeTheDecimalPoint) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no French locale on this machine";
  EXPECT_EQ(formatMargin(2.54), "2.540000");
  EXPECT_EQ(parseMargin("2.54"), 2.54);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(PersonalPreferences, PrintSizesOffTheMenuAndNoAnnouncementAreKeptAsTheyAre) {
  Profile p;
  p.printSentTextSize = 13;  // not a menu size: no item is checked
  PersonalPreferencesValues v = preferencesFromProfile(p);
  EXPECT_FALSE(fontSizeItem(v.printSent.size));
  v.vocalAnnounce.reset();
  storePreferences(v, p.phonebook, p);
  EXPECT_EQ(p.printSentTextSize, 13);
  EXPECT_EQ(p.vocalAnnounce, -1);
  EXPECT_FALSE(preferencesFromProfile(p).vocalAnnounce);
}

TEST(FontMenus, FamilyAndStyleItemsChangeOnlyTheirPart) {
  struct Case {
    int face;
    int family;  // -1: set the style instead
    int style;
    int result;
  } cases[] = {
      {9, 1, 0, 5},    // Times bold -> Courier bold
      {2, 2, 0, 10},   // Helvetica italic -> Times italic
      {5, -1, 2, 6},   // Courier bold -> Courier italic
      {11, -1, 0, 8},  // Times bold italic -> Times
      {0, -1, 3, 3},   // Helvetica -> bold italic
  };
  for (const Case& c : cases) {
    const int got =
        c.family >= 0 ? faceWithFamily(c.face, c.family) : faceWithStyle(c.face, c.style);
    EXPECT_EQ(got, c.result) << "face " << c.face;
  }
  EXPECT_EQ(fontSizeItem(8), 0);
  EXPECT_EQ(fontSizeItem(36), 12);
  EXPECT_EQ(fontSizeItem(18), 7);
}

TEST(BaudRate, ChoiceAndButtonFollowTheProfileRate) {
  EXPECT_EQ(baudChoiceFromRate(1), 0);
  EXPECT_EQ(baudChoiceFromRate(2), 1);
  EXPECT_EQ(baudChoiceFromRate(7), 0);
  EXPECT_EQ(baudRateFromChoice(0), 1);
  EXPECT_EQ(baudRateFromChoice(1), 2);
  EXPECT_STREQ(baudButtonLabel(1), "45 &bauds");
  EXPECT_STREQ(baudButtonLabel(2), "50 &bauds");
}

TEST(MoveTab, SteppingWrapsAtBothEnds) {
  struct Case {
    std::optional<int> current;
    int step;
    std::optional<int> next;
  } cases[] = {
      {4, +1, 0}, {0, -1, 4}, {2, +1, 3}, {2, -1, 1}, {std::nullopt, +1, 0}, {std::nullopt, -1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(steppedPage(c.current, c.step, 5), c.next);
  EXPECT_EQ(steppedPage(0, 1, 0), std::nullopt);
  EXPECT_EQ(steppedPage(0, 1, 1), 0);
}

}  // namespace
}  // namespace quelto
