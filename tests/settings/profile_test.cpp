#include "settings/profile.h"

#include <gtest/gtest.h>

#include <deque>

#include "settings/translation.h"
#include "tests/settings/scratch_store.h"

namespace quelto {
namespace {

// The English text of an outcome's alert, or nullptr without one.
const char* alertText(const ProfileDialogOutcome& outcome) {
  return outcome.alert ? englishText(*outcome.alert) : nullptr;
}

class ProfileTest : public ScratchStore {
 protected:
  void SetUp() override {
    ScratchStore::SetUp();
    profileList().clear();
    currentProfile() = Profile{};
    setLanguage(kLanguageEnglish);
  }

  // A password question that gives scripted answers and counts the asks.
  PasswordQuestion answers(std::deque<std::optional<std::string>> script) {
    script_ = std::move(script);
    asked_ = 0;
    return [this]() -> std::optional<std::string> {
      ++asked_;
      if (script_.empty()) return std::nullopt;
      auto answer = script_.front();
      script_.pop_front();
      return answer;
    };
  }

  static Profile everyFieldChanged(std::int32_t id) {
    Profile p;
    p.id = id;
    p.name = "Émile";
    p.firstName = "First";
    p.lastName = "Last";
    p.password = "pässwörd";
    p.sentTextColor = 1;
    p.sentTextCapitals = 1;
    p.sentTextFace = 2;
    p.sentTextSize = 3;
    p.receivedTextColor = 4;
    p.receivedTextCapitals = 0;
    p.receivedTextFace = 6;
    p.receivedTextSize = 7;
    p.currentTextColor = 8;
    p.currentTextSize = 9;
    p.backgroundColor = 10;
    p.bottomBackgroundColor = 11;
    p.defaultBaudRate = 2;
    p.sensitivity = 12.5;
    p.vocalAnnounce = 1;
    p.units = 3;
    p.topMargin = 72.0;
    p.leftMargin = 36.5;
    p.rightMargin = 0.25;
    p.bottomMargin = 2.0;
    p.useScreenFaces = 1;
    p.printSentTextCapitals = 1;
    p.printSentTextFace = 13;
    p.printSentTextSize = 15;
    p.printReceivedTextCapitals = 0;
    p.printReceivedTextFace = 14;
    p.printReceivedTextSize = 16;
    p.unshiftOnSpace = 1;
    for (int i = 0; i < kProgrammedMessageCount; ++i)
      p.messages[i] = "message " + std::to_string(i);
    p.phonebook.append({"Ann", "555-1234", "work"});
    p.phonebook.append({"Bob", "", ""});
    return p;
  }

  std::deque<std::optional<std::string>> script_;
  int asked_ = 0;
};

TEST_F(ProfileTest, FreshRecordHasTheDocumentedDefaults) {
  const Profile p;
  EXPECT_EQ(p.id, 0);
  EXPECT_EQ(p.sentTextSize, 18);
  EXPECT_EQ(p.receivedTextColor, 138);
  EXPECT_EQ(p.receivedTextCapitals, 1);
  EXPECT_EQ(p.receivedTextFace, 5);
  EXPECT_EQ(p.currentTextColor, 3);
  EXPECT_EQ(p.backgroundColor, 246);
  EXPECT_EQ(p.defaultBaudRate, 1);
  EXPECT_DOUBLE_EQ(p.sensitivity, 30.0);
  EXPECT_DOUBLE_EQ(p.topMargin, 1.0);
  EXPECT_EQ(p.printSentTextFace, 8);
  EXPECT_EQ(p.printReceivedTextFace, 9);
  EXPECT_EQ(p.printReceivedTextCapitals, 1);
  EXPECT_EQ(p.printSentTextSize, 14);
}

TEST_F(ProfileTest, EmptyStoreLoadsOneDefaultProfileAndWritesNothing) {
  EXPECT_EQ(loadProfilesFromSettings(), 1);
  EXPECT_EQ(profileList()[0], Profile{});
  EXPECT_FALSE(storeExists());
  EXPECT_EQ(profileDisplayNames(), std::vector<std::string>{"Default"});
  const auto outcome = deleteProfile(1, true, answers({}));
  EXPECT_FALSE(outcome.done);
  EXPECT_STREQ(alertText(outcome), "You cannot delete the default profile!");
}

TEST_F(ProfileTest, WriteThenReadKeepsEveryFieldUnderTheListedNames) {
  const Profile original = everyFieldChanged(12);
  ASSERT_EQ(writeProfile(original, profileKey(12)), kSettingWriteOk);
  const auto stored = rows();
  const char* names[] = {"id",
                         "name",
                         "firstName",
                         "lastName",
                         "password",
                         "sentTextColor",
                         "sentTextCapitals",
                         "sentTextFace",
                         "sentTextSize",
                         "receivedTextColor",
                         "receivedTextCapitals",
                         "receivedTextFace",
                         "receivedTextSize",
                         "currentTextColor",
                         "currentTextSize",
                         "backgroundColor",
                         "bottomBackgroundColor",
                         "defaultBaudRate",
                         "sensitivity",
                         "vocalAnnounce",
                         "units",
                         "topMargin",
                         "leftMargin",
                         "rightMargin",
                         "bottomMargin",
                         "useScreenFaces",
                         "printSentTextCapitals",
                         "printSentTextFace",
                         "printSentTextSize",
                         "printReceivedTextCapitals",
                         "printReceivedTextFace",
                         "printReceivedTextSize",
                         "unshiftOnSpace",
                         "message0",
                         "message9",
                         "bottin\\numEntries",
                         "bottin\\entry0name",
                         "bottin\\entry0number",
                         "bottin\\entry0notes",
                         "bottin\\entry1name"};
  for (const char* n : names) EXPECT_TRUE(stored.count(std::string("profiles\\12\\") + n)) << n;
  // 33 fields, 10 messages, the count and 3 per contact.
  EXPECT_EQ(stored.size(), 33u + 10u + 1u + 6u);
  EXPECT_EQ(stored.at("profiles\\12\\unshiftOnSpace"), "1");
  EXPECT_EQ(stored.at("profiles\\12\\sensitivity"), "12.500000");
  EXPECT_EQ(stored.at("profiles\\12\\password"), "pässwörd");

  Profile read;
  readProfile(read, profileKey(12));
  EXPECT_EQ(read, original);
  // A copy is deep: changing its phonebook leaves the original alone.
  Profile copy = read;
  copy.phonebook.editableEntry(0)->number = "0";
  EXPECT_EQ(read.phonebook.entry(0).number, "555-1234");
}

TEST_F(ProfileTest, ReadUsesTheCurrentValuesAsDefaults) {
  setSettingInt("profiles\\5\\sentTextSize", 24);
  setSettingString("profiles\\5\\receivedTextColor", "junk");
  Profile p = everyFieldChanged(5);
  readProfile(p, profileKey(5));
  EXPECT_EQ(p.sentTextSize, 24);
  EXPECT_EQ(p.receivedTextColor, 4);  // junk keeps the value it had
  EXPECT_EQ(p.name, "Émile");
}

TEST_F(ProfileTest, LoadFollowsTheIdListAndCount) {
  writeProfile(everyFieldChanged(100), profileKey(100));
  Profile named;
  named.id = 200;
  named.name = "Second";
  writeProfile(named, profileKey(200));

  // "NProfiles" larger than the list: only the listed ids.
  setSettingInt("NProfiles", 5);
  setSettingString("Profiles", "100,200");
  ASSERT_EQ(loadProfilesFromSettings(), 2);
  EXPECT_EQ(profileList()[0], everyFieldChanged(100));
  EXPECT_EQ(profileList()[1].name, "Second");

  EXPECT_EQ(loadProfiles(1, "100,200"), 1);
  EXPECT_EQ(profileList()[0].id, 100);

  // Nothing to load: a copy of the current (default) profile.
  EXPECT_EQ(loadProfiles(0, "100,200"), 1);
  EXPECT_EQ(profileList()[0].id, 0);
  EXPECT_EQ(loadProfiles(3, ""), 1);
  EXPECT_EQ(profileList()[0].id, 0);
}

TEST_F(ProfileTest, ListedProfileNeverSavedKeepsTheIdOfItsKey) {
  setSettingInt("NProfiles", 2);
  setSettingString("Profiles", "0,1765000000");
  ASSERT_EQ(loadProfilesFromSettings(), 2);
  EXPECT_EQ(profileList()[1].id, 1765000000);
  // So it is not taken for the default profile: it gets a NoName and can be
  // deleted.
  EXPECT_EQ(profileDisplayNames(), (std::vector<std::string>{"Default", "NoName1"}));
  EXPECT_TRUE(deleteProfile(2, false, answers({})).done);
  EXPECT_EQ(getSettingString("Profiles", ""), "0");
}

TEST_F(ProfileTest, DisplayNamesAreGivenToNamelessProfilesAndSaved) {
  profileList() = {Profile{}, Profile{}, Profile{}, Profile{}};
  profileList()[1].id = 11;
  profileList()[2].id = 12;
  profileList()[2].name = "Named";
  profileList()[3].id = 13;
  EXPECT_EQ(profileDisplayNames(),
            (std::vector<std::string>{"Default", "NoName1", "Named", "NoName2"}));
  // The names were written into the elements; a second pass keeps them.
  EXPECT_EQ(profileDisplayNames(),
            (std::vector<std::string>{"Default", "NoName1", "Named", "NoName2"}));
  currentProfile() = profileList()[0];
  saveAllProfiles();
  EXPECT_EQ(raw("profiles\\13\\name"), "NoName2");
  EXPECT_EQ(raw("profiles\\0\\name"), "Default");
}

TEST_F(ProfileTest, CreateChecksNameAndPasswords) {
  loadProfilesFromSettings();
  struct Case {
    CreateProfileFields fields;
    const char* alert;
  };
  const Case refused[] = {
      {{"", "a", "b", "", ""}, "You must supply a name!"},
      {{"Ann", "", "", "123456789", "123456789"}, "The supplied password is too long"},
      {{"Ann", "", "", "12345678", "12345679"}, "Passwords don't match !"},
      {{"Ann", "", "", "secret", "Secret"}, "Passwords don't match !"},
  };
  for (const Case& c : refused) {
    const auto outcome = applyCreateProfile(c.fields, 1765000000);
    EXPECT_FALSE(outcome.done);
    EXPECT_STREQ(alertText(outcome), c.alert);
  }
  EXPECT_EQ(profileList().size(), 1u);
  EXPECT_FALSE(storeExists());

  // Exactly 8 characters is accepted, accented letters counting as one.
  const auto outcome =
      applyCreateProfile({"Ann", "Ann", "Smith", "éèàùçôîû", "éèàùçôîû"}, 1765000000);
  EXPECT_TRUE(outcome.done);
  EXPECT_FALSE(outcome.alert);
  ASSERT_EQ(profileList().size(), 2u);
  EXPECT_EQ(profileList()[1].id, 1765000000);
  EXPECT_EQ(profileList()[1].password, "éèàùçôîû");
  EXPECT_EQ(raw("NProfiles"), "2");
  // The new profile's own settings are written at once, not at quit.
  EXPECT_EQ(raw("profiles\\1765000000\\name"), "Ann");
  EXPECT_EQ(raw("profiles\\1765000000\\lastName"), "Smith");
  EXPECT_EQ(raw("profiles\\1765000000\\password"), "éèàùçôîû");
  EXPECT_EQ(raw("Profiles"), "0,1765000000");
}

TEST_F(ProfileTest, ProfilesCreatedInTheSameSecondGetDistinctIds) {
  loadProfilesFromSettings();
  createProfile("A", "", "", "", 1765000000);
  createProfile("B", "", "", "", 1765000000);
  createProfile("C", "", "", "", 1765000001);
  EXPECT_EQ(profileIdList(), "0,1765000000,1765000001,1765000002");
}

TEST_F(ProfileTest, ChooseAsksThePasswordOnlyWhenTold) {
  loadProfilesFromSettings();
  createProfile("Locked", "", "", "pw", 1000);
  createProfile("Open", "", "", "", 2000);

  for (auto script : std::vector<std::deque<std::optional<std::string>>>{
           {std::nullopt}, {std::string()}, {std::string("PW")}}) {
    const auto outcome = chooseProfile(2, true, answers(script));
    EXPECT_FALSE(outcome.done);
    EXPECT_FALSE(outcome.alert);
    EXPECT_EQ(asked_, 1);
    EXPECT_EQ(currentProfile().id, 0);
  }
  EXPECT_TRUE(chooseProfile(2, true, answers({std::string("pw")})).done);
  EXPECT_EQ(currentProfile().name, "Locked");
  EXPECT_TRUE(chooseProfile(3, true, answers({})).done);
  EXPECT_EQ(asked_, 0);
  EXPECT_EQ(currentProfile().name, "Open");
  // The flag clear (a profile just created) asks nothing.
  EXPECT_TRUE(chooseProfile(2, false, answers({})).done);
  EXPECT_EQ(asked_, 0);
  EXPECT_FALSE(chooseProfile(0, false, answers({})).done);
  EXPECT_FALSE(chooseProfile(4, false, answers({})).done);
}

TEST_F(ProfileTest, DeleteRefusesDefaultAndCurrentAndAsksPasswordsOnlyOffTheDefault) {
  loadProfilesFromSettings();
  createProfile("Locked", "", "", "pw", 1000);
  createProfile("Other", "", "", "", 2000);
  createProfile("Locked2", "", "", "pw2", 3000);
  storeProfileListSettings();
  Profile stored;
  stored.id = 1000;
  writeProfile(stored, profileKey(1000));
  setSettingString("profiles\\10000\\name", "sibling");

  // The default profile is current: no password asked.
  auto outcome = deleteProfile(2, true, answers({}));
  EXPECT_TRUE(outcome.done);
  EXPECT_EQ(asked_, 0);
  EXPECT_EQ(profileIdList(), "0,2000,3000");
  EXPECT_EQ(raw("Profiles"), "0,2000,3000");
  EXPECT_EQ(raw("NProfiles"), "3");
  EXPECT_FALSE(raw("profiles\\1000\\id").has_value());
  EXPECT_EQ(raw("profiles\\10000\\name"), "sibling");

  // Another profile is current.
  ASSERT_TRUE(chooseProfile(2, true, answers({})).done);
  outcome = deleteProfile(2, true, answers({}));
  EXPECT_FALSE(outcome.done);
  EXPECT_STREQ(alertText(outcome), "You cannot delete the current profile!");
  EXPECT_EQ(asked_, 0);
  outcome = deleteProfile(3, true, answers({std::string("wrong")}));
  EXPECT_FALSE(outcome.done);
  EXPECT_FALSE(outcome.alert);
  EXPECT_EQ(asked_, 1);
  outcome = deleteProfile(3, true, answers({std::string("pw2")}));
  EXPECT_TRUE(outcome.done);
  EXPECT_EQ(profileIdList(), "0,2000");
  EXPECT_FALSE(deleteProfile(7, true, answers({})).done);
}

TEST_F(ProfileTest, EditFormAndChecks) {
  loadProfilesFromSettings();
  EditProfileForm form = editProfileForm();
  EXPECT_FALSE(form.nameEnabled);
  EXPECT_EQ(form.name, "Default");
  EXPECT_FALSE(form.oldPasswordEnabled);
  EXPECT_FALSE(form.newPasswordEnabled);
  setLanguage(kLanguageFrench);
  EXPECT_EQ(editProfileForm().name, "Défaut");
  setLanguage(kLanguageEnglish);

  createProfile("Ann", "A", "S", "pw", 1000);
  ASSERT_TRUE(chooseProfile(2, false, answers({})).done);
  form = editProfileForm();
  EXPECT_TRUE(form.nameEnabled);
  EXPECT_EQ(form.name, "Ann");
  EXPECT_TRUE(form.oldPasswordEnabled);
  EXPECT_TRUE(form.newPasswordEnabled);
  EXPECT_EQ(form.firstName, "A");

  struct Case {
    EditProfileFields fields;
    const char* alert;
  };
  const Case refused[] = {
      {{"", "A", "S", "pw", "", ""}, "You must supply a name!"},
      {{"Ann", "A", "S", "", "", ""}, "Wrong password!"},
      {{"Ann", "A", "S", "PW", "", ""}, "Wrong password!"},
      {{"Ann", "A", "S", "pw", "123456789", "123456789"}, "The supplied password is too long"},
      {{"Ann", "A", "S", "pw", "abc", "abd"}, "Passwords don't match !"},
  };
  for (const Case& c : refused) {
    const auto outcome = applyEditProfile(c.fields);
    EXPECT_FALSE(outcome.done);
    EXPECT_STREQ(alertText(outcome), c.alert);
  }
  EXPECT_EQ(currentProfile().password, "pw");

  EXPECT_TRUE(applyEditProfile({"Anne", "Anne", "Smith", "pw", "12345678", "12345678"}).done);
  EXPECT_EQ(currentProfile().name, "Anne");
  EXPECT_EQ(currentProfile().password, "12345678");
  // The store has the change at once, through another connection, with no
  // quit in between...
  EXPECT_EQ(raw("profiles\\1000\\name"), "Anne");
  EXPECT_EQ(raw("profiles\\1000\\password"), "12345678");
  // ...while the list keeps the old name until the end of the run, where
  // the current profile's edits win over it.
  EXPECT_EQ(profileDisplayNames()[1], "Ann");
  saveAllProfiles();
  EXPECT_EQ(raw("profiles\\1000\\name"), "Anne");

  // An empty new password removes the password.
  EXPECT_TRUE(applyEditProfile({"Anne", "", "", "12345678", "", ""}).done);
  EXPECT_EQ(currentProfile().password, "");
}

TEST_F(ProfileTest, MarginConversion) {
  EXPECT_DOUBLE_EQ(convertMargin(1.0, 0, 1), 2.54);
  EXPECT_DOUBLE_EQ(convertMargin(2.54, 1, 2), 25.4);
  EXPECT_DOUBLE_EQ(convertMargin(72.0, 3, 0), 1.0);
  EXPECT_DOUBLE_EQ(convertMargin(1.0, 9, 3), 72.0);
}

}  // namespace
}  // namespace quelto
