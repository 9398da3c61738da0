#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/file_scrambler.h"
#include "conversation/safe_file.h"
#include "conversation/scripted_prompt.h"
#include "scratch_env.h"
#include "settings/translation.h"

namespace quelto {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(readWholeFile(path, bytes)) << path;
  return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string golden(const char* name) {
  return readFile(std::string(QUELTO_SOURCE_DIR) + "/tests/conversation/data/" + name);
}

// The conversation the golden files hold (see data/make_golden_files.py).
void fillGoldenConversation(Conversation& c, const std::string& password) {
  c.password = password;
  c.ownerId = 1234567;
  c.ownerName = "Marie";
  c.ownerFirstName = "Marie";
  c.ownerLastName = "Dupr\xe9";
  c.date = "2026-12-09";
  c.notes = "Banque {compte} \\ 42";
  c.caller = "Conseill\xe8re";
  c.incoming = 0;
  c.lines.clear();
  for (const char* text : {"\x01HELLO\nHOW ARE YOU\n",
                           "\x00"
                           "fine, {thanks} \\o/",
                           "\x00"}) {
    auto line = std::make_unique<ConversationLine>();
    line->text.assign(text, text[0] == 1 ? std::strlen(text) : std::strlen(text + 1) + 1);
    c.lines.push_back(std::move(line));
  }
}

std::vector<std::string> lineTexts(const Conversation& c) {
  std::vector<std::string> out;
  for (const auto& line : c.lines) out.push_back(line->text);
  return out;
}

// Everything a failed load must leave as it was.
struct Snapshot {
  std::vector<std::string> lines;
  std::string fileName, password, ownerName, ownerFirstName, ownerLastName, date, notes, caller;
  uint32_t ownerId;
  uint8_t incoming, modified;
  uint32_t layoutChanged;

  explicit Snapshot(const Conversation& c)
      : lines(lineTexts(c)),
        fileName(c.fileName),
        password(c.password),
        ownerName(c.ownerName),
        ownerFirstName(c.ownerFirstName),
        ownerLastName(c.ownerLastName),
        date(c.date),
        notes(c.notes),
        caller(c.caller),
        ownerId(c.ownerId),
        incoming(c.incoming),
        modified(c.modified),
        layoutChanged(c.layoutChanged) {}

  bool operator==(const Snapshot& o) const {
    return lines == o.lines && fileName == o.fileName && password == o.password &&
           ownerName == o.ownerName && ownerFirstName == o.ownerFirstName &&
           ownerLastName == o.ownerLastName && date == o.date && notes == o.notes &&
           caller == o.caller && ownerId == o.ownerId && incoming == o.incoming &&
           modified == o.modified && layoutChanged == o.layoutChanged;
  }
};

// An unsaved conversation the user would hate to lose.
void fillUnsaved(Conversation& c, const std::string& fileName) {
  c.fileName = fileName;
  c.ownerId = 77;
  c.caller = "Dr Martin";
  c.notes = "rendez-vous";
  for (const char ch : std::string("BONJOUR\n")) c.addReceived(static_cast<unsigned char>(ch));
  for (const char ch : std::string("bonjour docteur")) c.addSent(static_cast<unsigned char>(ch));
  c.modified = 0;  // so a change of the flag shows too
}

using ConversationFile = testing::ScratchTest;

TEST(FileScrambler, KnownBytesBothWays) {
  const FileScrambler s;
  struct Case {
    std::string clear, scrambled;
  };
  const Case cases[] = {
      {"", ""},
      {"ABC", "\x76\x1a\x6d"},
      {std::string(9, '\0'), "\x37\x19\x2d\x1d\x2e\x1b\x29\x10\x21"},
  };
  for (const Case& tc : cases) {
    EXPECT_EQ(s.scrambled(tc.clear), tc.scrambled);
    EXPECT_EQ(s.unscrambled(tc.scrambled), tc.clear);
  }
  // Past the key's 22 bytes the key wraps round and the chain goes on.
  std::string all;
  for (int i = 0; i < 300; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(s.unscrambled(s.scrambled(all)), all);
  EXPECT_EQ(FileScrambler("").scrambled(all), s.scrambled(all));
  EXPECT_NE(FileScrambler("other").scrambled(all), s.scrambled(all));
}

TEST_F(ConversationFile, GoldenFilesFieldByField) {
  // Walk the golden bytes by hand against the layout, so the layout itself
  // (not only a round trip through our own code) is checked.
  for (const bool withPassword : {false, true}) {
    SCOPED_TRACE(withPassword ? "with password" : "without password");
    const std::string bytes = golden(withPassword ? "golden_password.tdd" : "golden_plain.tdd");
    const FileScrambler s;
    size_t at = 0;
    auto u32 = [&] {
      uint32_t v = 0;
      for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(bytes.at(at + i))) << (8 * i);
      at += 4;
      return v;
    };
    auto str = [&](bool scrambled) {
      const uint32_t n = u32();
      std::string v = bytes.substr(at, n);
      at += n;
      return scrambled ? s.unscrambled(v) : v;
    };
    EXPECT_EQ(bytes.substr(0, 4), "\x11\x55\x33\x22");
    at = 4;
    const std::string pw = s.unscrambled(bytes.substr(at, 9));
    at += 9;
    EXPECT_EQ(pw, withPassword ? std::string("secret\0\0\0", 9) : std::string(9, '\0'));
    EXPECT_EQ(u32(), 1234567u);
    EXPECT_EQ(str(false), "Marie");
    EXPECT_EQ(str(false), "Marie");
    EXPECT_EQ(str(false), "Dupr\xe9");
    EXPECT_EQ(str(false), "2026-12-09");
    EXPECT_EQ(str(withPassword), "Banque {compte} \\ 42");
    EXPECT_EQ(str(withPassword), "Conseill\xe8re");
    EXPECT_EQ(u32(), 3u);
    for (const std::string& text : {std::string("\x01HELLO\nHOW ARE YOU\n"),
                                    std::string("\x00"
                                                "fine, {thanks} \\o/",
                                                19),
                                    std::string(1, '\0')}) {
      EXPECT_EQ(bytes.at(at++), '\0');  // reserved
      EXPECT_EQ(str(withPassword), text);
    }
    EXPECT_EQ(bytes.at(at++), '\0');  // incoming: placed call
    EXPECT_EQ(at, bytes.size());
  }
}

TEST_F(ConversationFile, SavingWritesTheGoldenBytesAndLoadingReadsThemBack) {
  // Without a password the bytes are exactly the plain layout; the old
  // scrambled file (written by earlier versions) still reads back.
  for (const bool withPassword : {false, true}) {
    SCOPED_TRACE(withPassword ? "old scrambled file" : "plain file");
    const char* name = withPassword ? "golden_password.tdd" : "golden_plain.tdd";
    Conversation c;
    fillGoldenConversation(c, withPassword ? "secret" : "");
    if (withPassword) {
      writeFile(path(name), golden(name));
    } else {
      c.modified = 1;
      ASSERT_TRUE(c.saveAs(path(name)));
      EXPECT_EQ(c.modified, 0);
      EXPECT_EQ(readFile(path(name)), golden(name));
    }

    Conversation back;
    back.ownerId = 1234567;  // the owner opens it: no question
    back.addSent('x');
    ScriptedPrompt prompt;
    ASSERT_TRUE(back.loadFromFile(path(name), prompt));
    EXPECT_TRUE(prompt.calls.empty());
    EXPECT_EQ(lineTexts(back), lineTexts(c));
    EXPECT_EQ(back.caller, c.caller);
    EXPECT_EQ(back.notes, c.notes);
    EXPECT_EQ(back.date, c.date);
    EXPECT_EQ(back.ownerName, "Marie");
    EXPECT_EQ(back.ownerLastName, "Dupr\xe9");
    EXPECT_EQ(back.incoming, 0);
    EXPECT_EQ(back.fileName, path(name));
    EXPECT_EQ(back.password, "");  // Save fills in the profile's password
    EXPECT_EQ(back.modified, 0);   // what is shown is what is on disk
    EXPECT_EQ(back.layoutChanged, 1u);
  }
}

// --- Protected files ---------------------------------------------------------

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

TEST_F(ConversationFile, APasswordFileHidesEverythingButTheOwner) {
  currentProfile().id = 1234567;
  currentProfile().password = "secret";
  Conversation c;
  fillGoldenConversation(c, "secret");
  c.modified = 1;
  ASSERT_TRUE(c.saveAs(path("locked.tdd")));
  EXPECT_EQ(c.modified, 0);
  const std::string bytes = readFile(path("locked.tdd"));

  EXPECT_EQ(bytes.substr(0, 4), "\x44\x55\x33\x22");
  const auto header = readProtectedHeader(bytes);
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(header->ownerId, 1234567u);
  EXPECT_EQ(header->ownerLastName, "Dupr\xe9");
  // Nothing of the text, notes, caller, date or password, in any form the
  // old scrambler or a plain copy would leave.
  const FileScrambler scrambler;
  for (const std::string& secret :
       {std::string("HELLO"), std::string("HOW ARE YOU"), std::string("thanks"),
        std::string("Banque"), std::string("Conseill"), std::string("2026-12-09"),
        std::string("secret")}) {
    SCOPED_TRACE(secret);
    EXPECT_FALSE(contains(bytes, secret));
    EXPECT_FALSE(contains(bytes, scrambler.scrambled(secret)));
  }

  Conversation back;
  back.ownerId = 1234567;
  ScriptedPrompt prompt;
  ASSERT_TRUE(back.loadFromFile(path("locked.tdd"), prompt));
  EXPECT_TRUE(prompt.calls.empty());  // the owner's own password opens it
  EXPECT_EQ(lineTexts(back), lineTexts(c));
  EXPECT_EQ(back.notes, c.notes);
  EXPECT_EQ(back.caller, c.caller);
  EXPECT_EQ(back.date, c.date);
  EXPECT_EQ(back.incoming, 0);
  EXPECT_EQ(back.fileName, path("locked.tdd"));
  EXPECT_EQ(back.modified, 0);
}

TEST_F(ConversationFile, TheKeyIsDerivedOncePerConversationAndPassword) {
  Conversation c;
  fillGoldenConversation(c, "secret");
  ASSERT_TRUE(c.saveAs(path("a.tdd")));
  const auto firstKey = c.fileKey;
  ASSERT_TRUE(firstKey);
  c.addSent('x');
  ASSERT_TRUE(c.saveAs(path("b.tdd")));
  EXPECT_EQ(c.fileKey, firstKey);
  const auto a = readProtectedHeader(readFile(path("a.tdd")));
  const auto b = readProtectedHeader(readFile(path("b.tdd")));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->salt, b->salt);
  EXPECT_NE(a->nonce, b->nonce);  // never the same nonce twice under a key

  c.password = "other";
  ASSERT_TRUE(c.saveAs(path("c.tdd")));
  EXPECT_NE(c.fileKey, firstKey);
  const auto other = readProtectedHeader(readFile(path("c.tdd")));
  ASSERT_TRUE(other);
  EXPECT_NE(other->salt, a->salt);

  Conversation fresh;
  fillGoldenConversation(fresh, "secret");
  ASSERT_TRUE(fresh.saveAs(path("d.tdd")));
  const auto d = readProtectedHeader(readFile(path("d.tdd")));
  ASSERT_TRUE(d);
  EXPECT_NE(d->salt, a->salt);  // a salt of its own for every conversation
}

TEST_F(ConversationFile, PasswordFileRules) {
  setLanguage(kLanguageEnglish);
  // Passwords outside Windows-1252 are kept as typed: two different ones
  // must not both become the same (empty) key.
  const std::string cyrillic = "\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c";
  const std::string greek = "\xce\xba\xce\xbb\xce\xb5\xce\xb9\xce\xb4\xce\xaf";
  const std::string question =
      "This file belongs to 'Marie'. To open it, supply this person's password: ";
  struct Case {
    const char* name;
    std::string savedWith;
    uint32_t openerId;
    std::string openerPassword;
    std::vector<std::optional<std::string>> answers;
    bool loads;
  };
  const Case cases[] = {
      {"the owner, same password: no question", "secret", 1234567, "secret", {}, true},
      {"the owner after a password change: asked, old password",
       "secret",
       1234567,
       "n3w",
       {std::string("secret")},
       true},
      {"the owner after a password change: asked, new password fails",
       "secret",
       1234567,
       "n3w",
       {std::string("n3w")},
       false},
      {"another profile: asked, right password",
       "secret",
       77,
       "mine",
       {std::string("secret")},
       true},
      {"another profile: wrong password", "secret", 77, "mine", {std::string("Secret")}, false},
      {"another profile: cancelled", "secret", 77, "mine", {std::nullopt}, false},
      {"a password outside Windows-1252", cyrillic, 77, "", {cyrillic}, true},
      {"another password outside Windows-1252", cyrillic, 77, "", {greek}, false},
      {"an empty answer", cyrillic, 77, "", {std::string()}, false},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    {
      Conversation src;
      fillGoldenConversation(src, tc.savedWith);
      ASSERT_TRUE(src.saveAs(path("locked.tdd")));
    }
    currentProfile().id = static_cast<int>(tc.openerId);
    currentProfile().password = tc.openerPassword;
    Conversation c;
    fillUnsaved(c, path("mine.tdd"));
    c.ownerId = tc.openerId;
    const Snapshot before(c);
    ScriptedPrompt prompt;
    for (const auto& a : tc.answers) prompt.answerPassword(a);

    EXPECT_EQ(c.loadFromFile(path("locked.tdd"), prompt), tc.loads);
    EXPECT_EQ(prompt.pending(), 0u);
    EXPECT_EQ(prompt.unanswered(), 0);
    if (!tc.answers.empty()) {
      ASSERT_FALSE(prompt.calls.empty());
      EXPECT_EQ(prompt.calls[0].kind, ScriptedPrompt::Kind::Password);
      EXPECT_EQ(prompt.calls[0].text, question);
    }
    if (tc.loads) {
      EXPECT_TRUE(prompt.alerts().empty());
      EXPECT_EQ(c.caller, "Conseill\xe8re");
      EXPECT_EQ(c.fileName, tc.openerId == 1234567 ? path("locked.tdd") : "");
    } else {
      EXPECT_EQ(prompt.alerts(), std::vector<std::string>{"Wrong password!"});
      EXPECT_TRUE(Snapshot(c) == before);
    }
  }
}

TEST_F(ConversationFile, AnyChangedByteOfAPasswordFileIsRefused) {
  setLanguage(kLanguageEnglish);
  currentProfile().id = 1234567;
  currentProfile().password = "secret";
  Conversation src;
  fillGoldenConversation(src, "secret");
  ASSERT_TRUE(src.saveAs(path("good.tdd")));
  const std::string good = readFile(path("good.tdd"));
  const auto header = readProtectedHeader(good);
  ASSERT_TRUE(header);
  const size_t namesAt = 8;
  const size_t saltAt = header->sealedAt - 40;
  struct Case {
    const char* name;
    size_t at;
  };
  const Case cases[] = {
      {"owner's name", namesAt + 4},
      {"salt", saltAt},
      {"nonce", saltAt + 16},
      {"first sealed byte", header->sealedAt},
      {"middle of the text", (header->sealedAt + good.size()) / 2},
      {"authentication tag", good.size() - 1},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    std::string bad = good;
    bad[tc.at] = static_cast<char>(bad[tc.at] ^ 0x01);
    writeFile(path("bad.tdd"), bad);
    Conversation c;
    fillUnsaved(c, path("mine.tdd"));
    c.ownerId = 1234567;
    const Snapshot before(c);
    ScriptedPrompt prompt;
    prompt.answerPassword(std::string("secret"));  // asked once the own key fails
    EXPECT_FALSE(c.loadFromFile(path("bad.tdd"), prompt));
    EXPECT_EQ(prompt.alerts(), std::vector<std::string>{"Wrong password!"});
    EXPECT_TRUE(Snapshot(c) == before);
  }
  {
    SCOPED_TRACE("a key cost no program writes is refused before deriving");
    std::string bad = good;
    const size_t memAt = saltAt - 4;
    bad[memAt + 3] = '\x7f';  // ~2 TiB of Argon2 memory
    writeFile(path("bad.tdd"), bad);
    Conversation c;
    fillUnsaved(c, "");
    ScriptedPrompt prompt;
    EXPECT_FALSE(c.loadFromFile(path("bad.tdd"), prompt));
    EXPECT_EQ(prompt.alerts(),
              std::vector<std::string>{"The file is damaged and cannot be opened!"});
  }
  // The header's key cost: the memory the program writes (64 MiB) and no
  // more, so a load never derives with more than that; up to four times
  // the passes.
  struct Cost {
    uint32_t ops, memKiB;
    bool accepted;
  };
  const Cost costs[] = {{header->opsLimit, header->memLimitKiB, true},
                        {header->opsLimit, header->memLimitKiB + 1, false},
                        {header->opsLimit, 2 * header->memLimitKiB, false},
                        {4 * header->opsLimit, header->memLimitKiB, true},
                        {4 * header->opsLimit + 1, header->memLimitKiB, false}};
  EXPECT_EQ(header->memLimitKiB, 65536u);
  for (const Cost& c : costs) {
    SCOPED_TRACE(std::to_string(c.ops) + " passes, " + std::to_string(c.memKiB) + " KiB");
    std::string bytes = good;
    const size_t opsAt = saltAt - 8;
    for (int i = 0; i < 4; ++i) {
      bytes[opsAt + i] = static_cast<char>(c.ops >> (8 * i));
      bytes[opsAt + 4 + i] = static_cast<char>(c.memKiB >> (8 * i));
    }
    EXPECT_EQ(readProtectedHeader(bytes).has_value(), c.accepted);
  }
}

TEST_F(ConversationFile, OwnerAndPasswordRules) {
  const std::string plain = path("plain.tdd"), locked = path("locked.tdd");
  writeFile(plain, golden("golden_plain.tdd"));
  writeFile(locked, golden("golden_password.tdd"));
  const std::string question =
      "This file belongs to 'Marie'. To open it, supply this person's password: ";

  struct Case {
    const char* name;
    std::string file;
    bool ownerProfileExists;
    std::string ownerProfilePassword;
    std::vector<std::optional<std::string>> answers;
    bool loads;
    bool asked;
  };
  const Case cases[] = {
      {"no password: any profile opens it without a question", plain, false, "", {}, true, false},
      {"other owner, right stored password",
       locked,
       false,
       "",
       {std::string("secret")},
       true,
       true},
      {"other owner, wrong password", locked, false, "", {std::string("Secret")}, false, true},
      {"other owner, cancelled", locked, false, "", {std::nullopt}, false, true},
      {"the owner's current password wins over the stored one",
       locked,
       true,
       "n3w",
       {std::string("n3w")},
       true,
       true},
      {"the stored password no longer opens it once changed",
       locked,
       true,
       "n3w",
       {std::string("secret")},
       false,
       true},
      {"an owner whose password is now empty: no question", locked, true, "", {}, true, false},
      {"an accented password typed as UTF-8 matches",
       locked,
       true,
       "d\xc3\xa9j\xc3\xa0",
       {std::string("d\xc3\xa9j\xc3\xa0")},
       true,
       true},
  };
  for (const Case& tc : cases) {
    SCOPED_TRACE(tc.name);
    setLanguage(kLanguageEnglish);
    profileList().assign(1, Profile{});
    if (tc.ownerProfileExists) {
      Profile owner;
      owner.id = 1234567;
      owner.password = tc.ownerProfilePassword;
      profileList().push_back(owner);
    }
    Conversation c;
    fillUnsaved(c, path("mine.tdd"));
    const Snapshot before(c);
    ScriptedPrompt prompt;
    for (const auto& a : tc.answers) prompt.answerPassword(a);

    EXPECT_EQ(c.loadFromFile(tc.file, prompt), tc.loads);
    EXPECT_EQ(prompt.pending(), 0u);
    EXPECT_EQ(prompt.unanswered(), 0);
    if (tc.asked) {
      ASSERT_FALSE(prompt.calls.empty());
      EXPECT_EQ(prompt.calls[0].kind, ScriptedPrompt::Kind::Password);
      EXPECT_EQ(prompt.calls[0].text, question);
    }
    if (tc.loads) {
      EXPECT_TRUE(prompt.alerts().empty());
      EXPECT_EQ(c.fileName, "");  // someone else's file: Save asks for a name
      EXPECT_EQ(c.caller, "Conseill\xe8re");
      EXPECT_EQ(c.ownerId, 77u);  // not taken from the file
      EXPECT_EQ(c.lineCount(), 3);
    } else {
      EXPECT_EQ(prompt.alerts(), std::vector<std::string>{"Wrong password!"});
      EXPECT_TRUE(Snapshot(c) == before);
    }
  }
}

// Bytes of a plain file whose line count field is set to n.
std::string withLineCount(const std::string& good, uint32_t n) {
  // Offset of the line count: magic, password, owner id, four plain strings
  // and the two others of the golden file.
  const size_t countAt = 4 + 9 + 4 + (4 + 5) + (4 + 5) + (4 + 5) + (4 + 10) + (4 + 20) + (4 + 11);
  EXPECT_EQ(good.substr(countAt, 4), std::string("\x03\0\0\0", 4));
  std::string b = good;
  for (int i = 0; i < 4; ++i) b[countAt + i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return b;
}

// A plain file of `count` records of length 0, the cheapest a line can be
// on disk and the dearest in memory.
std::string emptyRecords(uint32_t count) {
  Conversation src;
  src.lines.clear();
  std::string b = encodeConversationFile(src);
  b.pop_back();  // incoming
  const size_t countAt = b.size() - 4;
  for (int i = 0; i < 4; ++i) b[countAt + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  b.append(static_cast<size_t>(count) * 5, '\0');
  b.push_back('\1');
  return b;
}

// The address space this process uses now, in bytes.
size_t addressSpaceInUse() {
  std::ifstream status("/proc/self/status");
  std::string key;
  size_t kib = 0;
  while (status >> key) {
    if (key == "VmSize:") {
      status >> kib;
      break;
    }
  }
  return kib * 1024;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Every way a file can be hostile or bad: each is refused with its own
// message and leaves the conversation as it was. Each load runs in a child
// whose address space is limited to what the program may take for a file
// (four times the limit plus 16 MiB): a loader that reads a 30 GB file, or
// builds a line object per 5-byte record, runs out there and fails the case.
TEST_F(ConversationFile, HostileFilesAreRefusedWithTheirReasonWithinBoundedMemory) {
  setLanguage(kLanguageEnglish);
  const std::string good = golden("golden_plain.tdd");
  std::string stringPastEnd = good;
  stringPastEnd[4 + 9 + 4] = '\x7f';  // ownerName claims 127 bytes... and more
  stringPastEnd[4 + 9 + 4 + 3] = '\x7f';

  const std::string damaged = "The file is damaged and cannot be opened!";
  const std::string notOurs = "This is not a Quelto conversation file!";
  const std::string cannotOpen = "The file could not be opened!";
  const std::string tooLarge = "The file is larger than 64 MB and cannot be opened!";
  const std::string tooManyLines = "The file has too many lines to be opened!";

  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
  };
  std::vector<Case> cases = {
      {"empty file", "", notOurs},
      {"wrong magic", "\x11\x55\x33\x23" + good.substr(4), notOurs},
      {"a foreign file", "%PDF-1.4\n" + std::string(200, 'x'), notOurs},
      {"cut inside the magic", good.substr(0, 3), damaged},
      {"cut inside the password", good.substr(0, 10), damaged},
      {"cut inside the notes", good.substr(0, 80), damaged},
      {"cut inside the last line", good.substr(0, good.size() - 3), damaged},
      {"a protected file cut inside its header", "\x44\x55\x33\x22" + good.substr(4, 20), damaged},
      {"a string count past the end", stringPastEnd, damaged},
      {"a negative line count", withLineCount(good, 0xFFFFFFFF), damaged},
      {"a line count the file cannot hold", withLineCount(good, 0x7FFFFFFF), damaged},
      {"one line more than the file holds", withLineCount(good, 4), damaged},
      {"4 million empty records", emptyRecords(4u << 20), tooManyLines},
  };
  struct Special {
    const char* name;
    std::function<void(const std::string&)> make;
    std::string message;
  };
  const std::vector<Special> specials = {
      {"a sparse 30 GB file",
       [&](const std::string& p) {
         writeFile(p, good);
         ASSERT_EQ(::truncate(p.c_str(), 30LL << 30), 0);
       },
       tooLarge},
      {"one byte over 64 MiB",
       [&](const std::string& p) {
         writeFile(p, good);
         ASSERT_EQ(::truncate(p.c_str(), (64LL << 20) + 1), 0);
       },
       tooLarge},
      {"a named pipe with no writer",
       [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, cannotOpen},
      {"a symbolic link loop",
       [](const std::string& p) { ASSERT_EQ(::symlink(p.c_str(), p.c_str()), 0); }, cannotOpen},
      {"a folder", [](const std::string& p) { fs::create_directory(p); }, cannotOpen},
      {"a missing file", [](const std::string&) {}, cannotOpen},
  };

  const size_t limit = addressSpaceInUse() + 4 * good.size() + (16u << 20) + (64u << 20);
  int n = 0;
  auto run = [&](const char* name, const std::string& file, const std::string& message) {
    SCOPED_TRACE(name);
    // The child reports through its exit code: 0 refused as expected,
    // 1 loaded, 2 wrong message, 3 conversation changed, 4 crashed or ran
    // out of memory (killed by a signal or an escaped exception).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (!kAddressSanitizer) {
        struct rlimit as = {limit, limit};
        ::setrlimit(RLIMIT_AS, &as);
      }
      try {
        Conversation c;
        fillUnsaved(c, path("mine.tdd"));
        const Snapshot before(c);
        ScriptedPrompt prompt;
        if (c.loadFromFile(file, prompt)) ::_exit(1);
        if (prompt.alerts() != std::vector<std::string>{message}) ::_exit(2);
        ::_exit(Snapshot(c) == before ? 0 : 3);
      } catch (...) {
        ::_exit(4);
      }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  };
  for (const Case& tc : cases) {
    const std::string file = path("bad" + std::to_string(n++) + ".tdd");
    writeFile(file, tc.bytes);
    run(tc.name, file, tc.message);
    fs::remove(file);
  }
  for (const Special& tc : specials) {
    const std::string file = path("odd" + std::to_string(n++) + ".tdd");
    tc.make(file);
    run(tc.name, file, tc.message);
  }
  {
    SCOPED_TRACE("an empty name is refused without a word");
    Conversation c;
    ScriptedPrompt prompt;
    EXPECT_FALSE(c.loadFromFile("", prompt));
    EXPECT_TRUE(prompt.calls.empty());
  }
}

TEST_F(ConversationFile, ManyShortLinesWithinTheBudgetStillLoad) {
  // Real conversations have short lines too: 200,000 lines of two letters
  // (a 1.6 MB file) are well inside the budget and load.
  Conversation src;
  src.lines.clear();
  for (int i = 0; i < 200000; ++i) {
    auto line = std::make_unique<ConversationLine>(i % 2 ? kReceivedDirection : kSentDirection);
    line->text += "OK";
    src.lines.push_back(std::move(line));
  }
  writeFile(path("short.tdd"), encodeConversationFile(src));
  Conversation c;
  ScriptedPrompt prompt;
  ASSERT_TRUE(c.loadFromFile(path("short.tdd"), prompt));
  EXPECT_EQ(c.lineCount(), 200000);
  EXPECT_TRUE(prompt.calls.empty());
}

TEST_F(ConversationFile, EveryTruncationFailsExceptTheOptionalIncomingByte) {
  const std::string good = golden("golden_password.tdd");
  for (size_t n = 0; n <= good.size(); ++n) {
    SCOPED_TRACE(n);
    const auto decoded = decodeConversationFile(good.substr(0, n));
    if (n + 1 < good.size()) {
      EXPECT_FALSE(decoded.has_value());
    } else {
      ASSERT_TRUE(decoded.has_value());
      // A file that ends right after the last line reads as an incoming call.
      EXPECT_EQ(decoded->incoming, n == good.size() ? 0 : 1);
      EXPECT_EQ(decoded->lines.size(), 3u);
    }
  }
}

TEST_F(ConversationFile, OddButValidContent) {
  {
    SCOPED_TRACE("a line of length 0 is an empty sent line");
    Conversation src;
    src.lines.back()->text = std::string(
        "\x01"
        "abc",
        4);
    std::string bytes = encodeConversationFile(src);
    // Replace the one record's count and text with a count of 0.
    const size_t recordAt = bytes.size() - 1 - 4 - 4;
    bytes = bytes.substr(0, recordAt) + std::string(4, '\0') + bytes.substr(bytes.size() - 1);
    const auto decoded = decodeConversationFile(bytes);
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->lines.size(), 1u);
    EXPECT_EQ(decoded->lines[0]->text, std::string(1, '\0'));
  }
  {
    SCOPED_TRACE("a line count of 0 keeps one empty line");
    Conversation src;
    src.lines.clear();
    writeFile(path("zero.tdd"), encodeConversationFile(src));
    Conversation c;
    fillUnsaved(c, "");
    ScriptedPrompt prompt;
    ASSERT_TRUE(c.loadFromFile(path("zero.tdd"), prompt));
    EXPECT_EQ(lineTexts(c), std::vector<std::string>{std::string(1, '\0')});
  }
  {
    SCOPED_TRACE("a password longer than 8 bytes keeps its first 8");
    Conversation src;
    src.password = "123456789abc";
    const auto decoded = decodeConversationFile(encodeConversationFile(src));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->password, "12345678");
  }
}

// --- Saving faults: the old file is always intact ------------------------

TEST_F(ConversationFile, SaveIntoAnUnwritableFolderFailsAndEmptiesFileName) {
  // /proc takes no new files, not even from root (the tests may run as root,
  // for whom permission bits do not count).
  for (const std::string& target :
       {path("no-such-folder/call.tdd"), std::string("/proc/call.tdd")}) {
    SCOPED_TRACE(target);
    Conversation c;
    fillUnsaved(c, target);
    c.modified = 1;
    EXPECT_FALSE(c.saveToFile());
    EXPECT_EQ(c.fileName, "");
    EXPECT_EQ(c.modified, 1);
    EXPECT_FALSE(c.saveToFile());  // no name: false at once
    EXPECT_FALSE(c.saveAs(""));
  }
}

TEST_F(ConversationFile, SaveThatCannotReplaceTheTargetLeavesItAndNoLitter) {
  // A folder where the file should be: the rename over it fails.
  fs::create_directory(path("call.tdd"));
  Conversation c;
  fillUnsaved(c, path("call.tdd"));
  c.modified = 1;
  EXPECT_FALSE(c.saveToFile());
  EXPECT_EQ(c.modified, 1);
  EXPECT_EQ(c.fileName, path("call.tdd"));
  EXPECT_TRUE(fs::is_directory(path("call.tdd")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
            2);  // config/, call.tdd/
}

TEST_F(ConversationFile, SaveOnAFullDiskKeepsTheOldFile) {
  // The file-size limit makes writes fail past a few bytes, as a full disk
  // does; it is set in a child so the test process keeps its own limits.
  const std::string target = path("call.tdd");
  writeFile(target, golden("golden_plain.tdd"));
  ::chmod(target.c_str(), 0640);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    Conversation c;
    fillGoldenConversation(c, "");
    for (int i = 0; i < 200; ++i) c.addSent('x');
    c.fileName = target;
    const bool saved = c.saveToFile();
    ::_exit(!saved && c.modified == 1 && c.fileName == target ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "save reported success or lost its state";
  EXPECT_EQ(readFile(target), golden("golden_plain.tdd"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

  {
    SCOPED_TRACE("a save that works keeps the file's mode");
    Conversation c;
    fillGoldenConversation(c, "secret");
    ASSERT_TRUE(c.saveAs(target));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(readProtectedHeader(readFile(target)).has_value());
  }
}

TEST_F(ConversationFile, KilledDuringSaveLeavesAWholeFile) {
  // A child saves two large versions in turn as fast as it can and is killed
  // at random moments; the file must always be one whole version.
  const std::string target = path("call.tdd");
  Conversation a, b;
  for (int i = 0; i < 40000; ++i) a.addSent(static_cast<unsigned char>('a' + i % 26));
  for (int i = 0; i < 60000; ++i) b.addReceived(static_cast<unsigned char>('A' + i % 26));
  const std::string bytesA = encodeConversationFile(a), bytesB = encodeConversationFile(b);
  writeFile(target, bytesA);

  std::mt19937 rng(12345);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) {
        Conversation& c = (i % 2) ? a : b;
        c.fileName = target;
        c.saveToFile();
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + rng() % 30000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string now = readFile(target);
    EXPECT_TRUE(now == bytesA || now == bytesB) << "file of " << now.size() << " bytes";
  }
}

// --- Files on disk -----------------------------------------------------------

TEST_F(ConversationFile, FilesOnDisk) {
  Conversation c;
  fillGoldenConversation(c, "");
  {
    SCOPED_TRACE("new conversation and RTF files are private");
    ::umask(022);
    ASSERT_TRUE(c.saveAs(path("new.tdd")));
    ASSERT_TRUE(c.exportRtfFile(path("new.rtf")));
    for (const char* name : {"new.tdd", "new.rtf"}) {
      struct stat st {};
      ASSERT_EQ(::stat(path(name).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
  }
  {
    SCOPED_TRACE("saving over a symbolic link writes its target and keeps the link");
    fs::create_directory(path("real"));
    writeFile(path("real/call.tdd"), "old");
    ASSERT_EQ(::symlink("real/call.tdd", path("link.tdd").c_str()), 0);
    ASSERT_TRUE(c.saveAs(path("link.tdd")));
    EXPECT_TRUE(fs::is_symlink(path("link.tdd")));
    EXPECT_EQ(readFile(path("real/call.tdd")), golden("golden_plain.tdd"));
  }
  {
    SCOPED_TRACE("a read-only file is refused and left as it was");
    writeFile(path("kept.tdd"), "keep me");
    ::chmod(path("kept.tdd").c_str(), 0444);
    c.modified = 1;
    EXPECT_FALSE(c.saveAs(path("kept.tdd")));
    EXPECT_EQ(c.modified, 1);
    EXPECT_EQ(readFile(path("kept.tdd")), "keep me");
    EXPECT_EQ(writeFileSafely(path("kept.tdd"), "x"), SafeWriteResult::ReadOnly);
  }
  {
    SCOPED_TRACE("copies left by a killed save are removed at the next save");
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string stale = path("call.tdd.tmp-" + std::to_string(gone) + "-3");
    const std::string live = path("call.tdd.tmp-1-0");  // init never ends
    const std::string other = path("other.tdd.tmp-" + std::to_string(gone) + "-0");
    for (const std::string& p : {stale, live, other}) writeFile(p, "half a file");
    ASSERT_TRUE(c.saveAs(path("call.tdd")));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
  }
}

}  // namespace
}  // namespace quelto
