// Prints the time to save, load and export as RTF a conversation of 1 MB of
// text in 20,000 lines, without and with a password (targets: under 50 ms
// each; the password's key derivation, slow by design, is timed apart; the
// RTF document is also timed without its file, whose flush to disk varies
// with the disk's load),
// and the peak memory of loading a file of nearly 64 MiB and of a small one
// (bound: 4 times the file's size plus 16 MiB for the loader; a password
// file's key derivation adds its fixed 64 MiB, freed before decryption). Settings go to a scratch
// folder; the files to a scratch folder under /tmp.
//
//   build/bench/conversation/conversation_bench [repeats]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "conversation/conversation.h"
#include "conversation/conversation_file.h"
#include "conversation/scripted_prompt.h"
#include "settings/profile.h"

using namespace quelto;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// 20,000 lines of 52 characters, alternating received and sent, each ended
// by a line feed: 20,000 x 52 = 1,040,000 bytes of text.
void fill(Conversation& c) {
  c.lines.clear();
  for (int i = 0; i < 20000; ++i) {
    auto line = std::make_unique<ConversationLine>(i % 2 ? kSentDirection : kReceivedDirection);
    for (int k = 0; k < 51; ++k)
      line->text.push_back(static_cast<char>(k % 7 == 6 ? ' ' : 'a' + (i + k) % 26));
    line->text.push_back('\n');
    c.lines.push_back(std::move(line));
  }
  c.lines.push_back(std::make_unique<ConversationLine>());
}

// Peak resident memory of this process so far, in bytes.
size_t peakMemory() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<size_t>(usage.ru_maxrss) * 1024;
}

// Loads `path` in a fresh child so that nothing else the benchmark did
// counts, and prints the child's peak memory beside the bound.
void measureLoadPeak(const std::string& path, const char* what) {
  std::fflush(stdout);  // or the child prints the parent's buffered lines again
  const pid_t child = ::fork();
  if (child == 0) {
    const size_t before = peakMemory();
    currentProfile().id = 7;
    currentProfile().password = "secret";
    Conversation back;
    back.ownerId = 7;
    ScriptedPrompt prompt;
    const auto t0 = Clock::now();
    const bool loaded = back.loadFromFile(path, prompt);
    const auto t1 = Clock::now();
    const size_t size = std::filesystem::file_size(path);
    const double mib = 1024.0 * 1024.0;
    std::printf(
        "  %s, %.1f MiB file: %s in %.0f ms, peak memory %.1f MiB above the %.1f MiB "
        "before it (bound %.1f MiB)\n",
        what, size / mib, loaded ? "loaded" : "REFUSED", ms(t1 - t0), (peakMemory() - before) / mib,
        before / mib, (4.0 * size + 16 * mib) / mib);
    std::fflush(stdout);
    ::_exit(loaded ? 0 : 1);
  }
  ::waitpid(child, nullptr, 0);
}

// A conversation file of about `target` bytes, written by a child so that
// the conversation it builds never counts against the loading child.
void writeFile(const std::string& path, const std::string& password, size_t target) {
  std::fflush(stdout);  // or the child prints the parent's buffered lines again
  const pid_t child = ::fork();
  if (child == 0) {
    Conversation c;
    c.ownerId = 7;
    c.password = password;
    c.lines.clear();
    size_t bytes = 0;
    for (int i = 0; bytes < target; ++i) {
      auto line = std::make_unique<ConversationLine>(i % 2 ? kSentDirection : kReceivedDirection);
      for (int k = 0; k < 51; ++k)
        line->text.push_back(static_cast<char>(k % 7 == 6 ? ' ' : 'a' + (i + k) % 26));
      line->text.push_back('\n');
      bytes += 5 + line->text.size();
      c.lines.push_back(std::move(line));
    }
    ::_exit(c.saveAs(path) ? 0 : 1);
  }
  ::waitpid(child, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 10;
  char folder[] = "/tmp/quelto-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  ::setenv("XDG_CONFIG_HOME", folder, 1);
  const std::string dir = folder;
  currentProfile().id = 7;
  currentProfile().password = "secret";

  {
    // The key derivation, once per conversation and password.
    double best = 1e9;
    for (int r = 0; r < std::min(repeats, 3); ++r) {
      const auto t0 = Clock::now();
      if (!deriveFileKey("secret")) return 1;
      best = std::min(best, ms(Clock::now() - t0));
    }
    std::printf("key derivation (Argon2id, 64 MiB, 2 passes), best of %d: %8.2f ms\n",
                std::min(repeats, 3), best);
  }

  Conversation c;
  fill(c);
  c.ownerId = 7;
  size_t textBytes = 0;
  for (const auto& line : c.lines) textBytes += line->text.size() - 1;

  for (const bool withPassword : {false, true}) {
    c.password = withPassword ? "secret" : "";
    if (withPassword && !c.saveAs(dir + "/bench.tdd")) return 1;  // derives the key once
    double best[5] = {1e9, 1e9, 1e9, 1e9, 1e9};
    for (int r = 0; r < repeats; ++r) {
      const auto t0 = Clock::now();
      if (!c.saveAs(dir + "/bench.tdd")) return 1;
      const auto t1 = Clock::now();
      Conversation back;
      back.ownerId = 7;
      ScriptedPrompt prompt;
      if (!back.loadFromFile(dir + "/bench.tdd", prompt)) return 1;
      const auto t2 = Clock::now();
      if (!c.exportRtfFile(dir + "/bench.rtf")) return 1;
      const auto t3 = Clock::now();
      best[0] = std::min(best[0], ms(t1 - t0));
      best[1] = std::min(best[1], ms(t2 - t1));
      best[2] = std::min(best[2], ms(t3 - t2));
      // The document alone, into a stream that keeps nothing: the part of
      // the export that is ours, without the disk's flush.
      std::ostream nowhere(nullptr);
      const auto t5 = Clock::now();
      c.exportRtf(nowhere);
      best[4] = std::min(best[4], ms(Clock::now() - t5));
      if (withPassword) {
        // The load's own work, with the key already derived: read, check
        // the header, decrypt and authenticate, decode.
        const auto t4 = Clock::now();
        std::string bytes;
        if (readConversationBytes(dir + "/bench.tdd", bytes) != FileRefusal::None) return 1;
        const auto header = readProtectedHeader(bytes);
        if (!header) return 1;
        const auto inner = openSealed(bytes, *header, *c.fileKey);
        if (!inner || !decodeConversationFile(*inner)) return 1;
        best[3] = std::min(best[3], ms(Clock::now() - t4));
      }
    }
    std::printf("%s: %zu bytes of text in %d lines, best of %d\n",
                withPassword ? "password (encrypted)" : "no password", textBytes, c.lineCount(),
                repeats);
    std::printf("  save (key kept, written, flushed, renamed) %8.2f ms\n", best[0]);
    if (withPassword) {
      std::printf("  load without key derivation               %8.2f ms\n", best[3]);
      std::printf("  load with its key derivation              %8.2f ms\n", best[1]);
    } else {
      std::printf("  load (read, checked, replaced)            %8.2f ms\n", best[1]);
    }
    std::printf("  RTF export (written, flushed, renamed)    %8.2f ms\n", best[2]);
    std::printf("  RTF document alone (built, not written)   %8.2f ms\n", best[4]);
  }

  std::printf("peak memory of a load:\n");
  const size_t large = (64u << 20) - (1u << 20);
  writeFile(dir + "/large.tdd", "", large);
  measureLoadPeak(dir + "/large.tdd", "no password");
  writeFile(dir + "/large-protected.tdd", "secret", large);
  measureLoadPeak(dir + "/large-protected.tdd", "password (key derivation included)");
  // A small password file shows the key derivation's own cost: a fixed
  // 64 MiB whatever the file's size, beside the loader's budget.
  writeFile(dir + "/small-protected.tdd", "secret", 1000);
  measureLoadPeak(dir + "/small-protected.tdd", "password, small file (key derivation included)");
  writeFile(dir + "/small.tdd", "", 1000);
  measureLoadPeak(dir + "/small.tdd", "no password, small file");
  std::filesystem::remove_all(dir);
  return 0;
}
