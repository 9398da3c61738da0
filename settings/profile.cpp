#include "settings/profile.h"

#include <algorithm>
#include <stdexcept>
#include <type_traits>

#include "settings/global_settings.h"
#include "settings/settings_store.h"
#include "settings/translation.h"
#include "text/utf8.h"

namespace quelto {
namespace {

// One row per stored field, in the order they are written: the name below
// the profile's key, the kind, and where the value lives. Defaults are the
// member initialisers of Profile; reading, writing and comparing all walk
// this table.
struct FieldDescriptor {
  enum class Kind { Text, Integer, Double };
  const char* name;
  Kind kind;
  std::string Profile::*text;
  int Profile::*integer;
  double Profile::*real;
};

constexpr FieldDescriptor textField(const char* name, std::string Profile::*member) {
  return {name, FieldDescriptor::Kind::Text, member, nullptr, nullptr};
}
constexpr FieldDescriptor intField(const char* name, int Profile::*member) {
  return {name, FieldDescriptor::Kind::Integer, nullptr, member, nullptr};
}
constexpr FieldDescriptor doubleField(const char* name, double Profile::*member) {
  return {name, FieldDescriptor::Kind::Double, nullptr, nullptr, member};
}

static_assert(std::is_same_v<std::int32_t, int>, "the id is stored as an integer setting");

const FieldDescriptor kProfileFields[] = {
    intField("\\id", &Profile::id),
    textField("\\name", &Profile::name),
    textField("\\firstName", &Profile::firstName),
    textField("\\lastName", &Profile::lastName),
    textField("\\password", &Profile::password),
    intField("\\sentTextColor", &Profile::sentTextColor),
    intField("\\sentTextCapitals", &Profile::sentTextCapitals),
    intField("\\sentTextFace", &Profile::sentTextFace),
    intField("\\sentTextSize", &Profile::sentTextSize),
    intField("\\receivedTextColor", &Profile::receivedTextColor),
    intField("\\receivedTextCapitals", &Profile::receivedTextCapitals),
    intField("\\receivedTextFace", &Profile::receivedTextFace),
    intField("\\receivedTextSize", &Profile::receivedTextSize),
    intField("\\currentTextColor", &Profile::currentTextColor),
    intField("\\currentTextSize", &Profile::currentTextSize),
    intField("\\backgroundColor", &Profile::backgroundColor),
    intField("\\bottomBackgroundColor", &Profile::bottomBackgroundColor),
    intField("\\defaultBaudRate", &Profile::defaultBaudRate),
    doubleField("\\sensitivity", &Profile::sensitivity),
    intField("\\vocalAnnounce", &Profile::vocalAnnounce),
    intField("\\units", &Profile::units),
    doubleField("\\topMargin", &Profile::topMargin),
    doubleField("\\leftMargin", &Profile::leftMargin),
    doubleField("\\rightMargin", &Profile::rightMargin),
    doubleField("\\bottomMargin", &Profile::bottomMargin),
    intField("\\useScreenFaces", &Profile::useScreenFaces),
    intField("\\printSentTextCapitals", &Profile::printSentTextCapitals),
    intField("\\printSentTextFace", &Profile::printSentTextFace),
    intField("\\printSentTextSize", &Profile::printSentTextSize),
    intField("\\printReceivedTextCapitals", &Profile::printReceivedTextCapitals),
    intField("\\printReceivedTextFace", &Profile::printReceivedTextFace),
    intField("\\printReceivedTextSize", &Profile::printReceivedTextSize),
    intField("\\unshiftOnSpace", &Profile::unshiftOnSpace),
};

std::string messageName(const std::string& key, int index) {
  return key + "\\message" + std::to_string(index);
}

// Passwords are limited in characters, as typed; the toolkit hands UTF-8.
int characterCount(const std::string& text) {
  return static_cast<int>(utf8CharacterCount(text));
}

// The id text of a "Profiles" entry the way "%d" reads it (0 when it does
// not start with a number).
std::int32_t idFromText(const std::string& text) {
  try {
    std::size_t used = 0;
    const long value = std::stol(text, &used, 10);
    if (value < INT32_MIN || value > INT32_MAX) return 0;
    return static_cast<std::int32_t>(value);
  } catch (const std::exception&) {
    return 0;
  }
}

bool listHasId(std::int32_t id) {
  const ProfileList& list = profileList();
  return std::any_of(list.begin(), list.end(), [id](const Profile& p) { return p.id == id; });
}

}  // namespace

double marginUnitFactor(int units) {
  switch (units) {
    case static_cast<int>(MarginUnit::Centimetres):
      return 2.54;
    case static_cast<int>(MarginUnit::Millimetres):
      return 25.4;
    case static_cast<int>(MarginUnit::Points):
      return 72.0;
    default:
      return 1.0;
  }
}

double convertMargin(double value, int fromUnits, int toUnits) {
  return value * marginUnitFactor(toUnits) / marginUnitFactor(fromUnits);
}

bool Profile::operator==(const Profile& other) const {
  for (const FieldDescriptor& f : kProfileFields) {
    switch (f.kind) {
      case FieldDescriptor::Kind::Text:
        if (this->*f.text != other.*f.text) return false;
        break;
      case FieldDescriptor::Kind::Integer:
        if (this->*f.integer != other.*f.integer) return false;
        break;
      case FieldDescriptor::Kind::Double:
        if (this->*f.real != other.*f.real) return false;
        break;
    }
  }
  return messages == other.messages && phonebook == other.phonebook;
}

ProfileList& profileList() {
  static ProfileList list;
  return list;
}

Profile& currentProfile() {
  static Profile current;
  return current;
}

std::string profileKey(std::int32_t id) {
  return "profiles\\" + std::to_string(id);
}

void readProfile(Profile& profile, const std::string& key) {
  for (const FieldDescriptor& f : kProfileFields) {
    const std::string name = key + f.name;
    switch (f.kind) {
      case FieldDescriptor::Kind::Text:
        profile.*f.text = getSettingString(name, profile.*f.text);
        break;
      case FieldDescriptor::Kind::Integer:
        profile.*f.integer = getSettingInt(name, profile.*f.integer);
        break;
      case FieldDescriptor::Kind::Double:
        profile.*f.real = getSettingDouble(name, profile.*f.real);
        break;
    }
  }
  for (int i = 0; i < kProgrammedMessageCount; ++i) {
    std::string& message = profile.messages[static_cast<std::size_t>(i)];
    message = getSettingString(messageName(key, i), message);
  }
  loadPhonebook(profile.phonebook, key);
}

int writeProfile(const Profile& profile, const std::string& key) {
  SettingsBatch batch;
  int result = kSettingWriteOk;
  for (const FieldDescriptor& f : kProfileFields) {
    const std::string name = key + f.name;
    switch (f.kind) {
      case FieldDescriptor::Kind::Text:
        result |= setSettingString(name, profile.*f.text);
        break;
      case FieldDescriptor::Kind::Integer:
        result |= setSettingInt(name, profile.*f.integer);
        break;
      case FieldDescriptor::Kind::Double:
        result |= setSettingDouble(name, profile.*f.real);
        break;
    }
  }
  for (int i = 0; i < kProgrammedMessageCount; ++i) {
    result |= setSettingString(messageName(key, i), profile.messages[static_cast<std::size_t>(i)]);
  }
  result |= savePhonebook(profile.phonebook, key);
  result |= batch.finish();
  return result == kSettingWriteOk ? kSettingWriteOk : kSettingWriteFailed;
}

int loadProfiles(int count, const std::string& ids) {
  const std::string text = ids.substr(0, 65535);
  ProfileList& list = profileList();
  list.clear();
  std::size_t pos = 0;
  for (int i = 0; i < count && pos < text.size(); ++i) {
    std::size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    const std::string id = text.substr(pos, comma - pos);
    pos = comma + 1;
    Profile profile;
    // A profile listed by its creation but never saved (the run did not end
    // normally) keeps the id of its key instead of passing for the default.
    profile.id = idFromText(id);
    readProfile(profile, "profiles\\" + id);
    list.push_back(std::move(profile));
  }
  if (list.empty()) list.push_back(currentProfile());
  return static_cast<int>(list.size());
}

int loadProfilesFromSettings() {
  return loadProfiles(readSetting(setting::kProfileCount), readSetting(setting::kProfileIds));
}

int saveAllProfiles() {
  SettingsBatch batch;
  int result = kSettingWriteOk;
  for (const Profile& p : profileList()) result |= writeProfile(p, profileKey(p.id));
  result |= writeProfile(currentProfile(), profileKey(currentProfile().id));
  result |= batch.finish();
  return result == kSettingWriteOk ? kSettingWriteOk : kSettingWriteFailed;
}

int storeCurrentProfile() {
  return writeProfile(currentProfile(), profileKey(currentProfile().id));
}

int createProfile(const std::string& name, const std::string& firstName,
                  const std::string& lastName, const std::string& password, std::time_t now) {
  std::int32_t id = static_cast<std::int32_t>(now);
  while (id == 0 || listHasId(id)) ++id;
  Profile profile;
  profile.id = id;
  profile.name = name;
  profile.firstName = firstName;
  profile.lastName = lastName;
  profile.password = password;
  profileList().push_back(std::move(profile));
  return static_cast<int>(profileList().size());
}

int removeProfile(int index) {
  ProfileList& list = profileList();
  if (index < 0 || index >= static_cast<int>(list.size())) return static_cast<int>(list.size());
  const std::int32_t id = list[static_cast<std::size_t>(index)].id;
  list.erase(list.begin() + index);
  deleteSettingTree(profileKey(id));
  return static_cast<int>(list.size());
}

std::string profileIdList() {
  std::string text;
  for (const Profile& p : profileList()) {
    if (!text.empty()) text += ',';
    text += std::to_string(p.id);
  }
  return text;
}

int storeProfileListSettings() {
  SettingsBatch batch;
  int result = writeSetting(setting::kProfileCount, static_cast<int>(profileList().size()));
  result |= writeSetting(setting::kProfileIds, profileIdList());
  result |= batch.finish();
  return result == kSettingWriteOk ? kSettingWriteOk : kSettingWriteFailed;
}

const std::string& profileDisplayName(Profile& element, int& counter) {
  if (element.name.empty()) {
    element.name = element.id == 0 ? "Default" : "NoName" + std::to_string(++counter);
  }
  return element.name;
}

std::vector<std::string> profileDisplayNames() {
  std::vector<std::string> names;
  int counter = 0;
  for (Profile& p : profileList()) names.push_back(profileDisplayName(p, counter));
  return names;
}

ProfileDialogOutcome applyCreateProfile(const CreateProfileFields& fields, std::time_t now) {
  if (fields.name.empty()) return {false, Text::MustSupplyName};
  if (characterCount(fields.password) > kMaxPasswordLength) {
    return {false, Text::PasswordTooLong};
  }
  if (fields.password != fields.confirmation) return {false, Text::PasswordsDontMatch};
  createProfile(fields.name, fields.firstName, fields.lastName, fields.password, now);
  SettingsBatch batch;
  const Profile& created = profileList().back();
  writeProfile(created, profileKey(created.id));
  storeProfileListSettings();
  return {true, std::nullopt};
}

EditProfileForm editProfileForm() {
  const Profile& current = currentProfile();
  EditProfileForm form;
  if (current.id != 0) {
    form.nameEnabled = true;
    form.name = current.name;
    form.oldPasswordEnabled = !current.password.empty();
    form.newPasswordEnabled = true;
  } else {
    form.name = translate(Text::Default);
  }
  form.firstName = current.firstName;
  form.lastName = current.lastName;
  return form;
}

ProfileDialogOutcome applyEditProfile(const EditProfileFields& fields) {
  Profile& current = currentProfile();
  if (fields.name.empty()) return {false, Text::MustSupplyName};
  if (fields.oldPassword != current.password) return {false, Text::WrongPassword};
  if (characterCount(fields.newPassword) > kMaxPasswordLength) {
    return {false, Text::PasswordTooLong};
  }
  if (fields.newPassword != fields.confirmation) return {false, Text::PasswordsDontMatch};
  current.password = fields.newPassword;
  current.name = fields.name;
  current.firstName = fields.firstName;
  current.lastName = fields.lastName;
  storeCurrentProfile();
  return {true, std::nullopt};
}

namespace {

// The password question for a protected profile: a cancelled, empty or
// different answer (exact comparison) refuses.
bool passwordGiven(const Profile& element, const PasswordQuestion& ask) {
  if (!ask) return false;
  const std::optional<std::string> answer = ask();
  return answer && !answer->empty() && *answer == element.password;
}

}  // namespace

ProfileDialogOutcome chooseProfile(int line, bool askPassword, const PasswordQuestion& ask) {
  ProfileList& list = profileList();
  if (line < 1 || line > static_cast<int>(list.size())) return {};
  const Profile& element = list[static_cast<std::size_t>(line - 1)];
  if (askPassword && !element.password.empty() && !passwordGiven(element, ask)) return {};
  currentProfile() = element;
  return {true, std::nullopt};
}

ProfileDialogOutcome deleteProfile(int line, bool askPassword, const PasswordQuestion& ask) {
  ProfileList& list = profileList();
  if (line < 1 || line > static_cast<int>(list.size())) return {};
  const Profile& element = list[static_cast<std::size_t>(line - 1)];
  if (element.id == 0) return {false, Text::CannotDeleteDefaultProfile};
  if (element.id == currentProfile().id) return {false, Text::CannotDeleteCurrentProfile};
  if (currentProfile().id != 0 && askPassword && !element.password.empty() &&
      !passwordGiven(element, ask)) {
    return {};
  }
  removeProfile(line - 1);
  storeProfileListSettings();
  return {true, std::nullopt};
}

}  // namespace quelto
