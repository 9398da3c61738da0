// Prints the time to save, load and export as RTF a conversation of 1 MB of
// text in 20,000 lines (targets: under 50 ms each). Settings go to a scratch
// folder; the files to a scratch folder under /tmp.
//
//   build/bench/conversation/conversation_bench [repeats]
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "conversation/conversation.h"
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

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 10;
  char folder[] = "/tmp/quelto-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  ::setenv("XDG_CONFIG_HOME", folder, 1);
  const std::string dir = folder;

  Conversation c;
  fill(c);
  size_t textBytes = 0;
  for (const auto& line : c.lines) textBytes += line->text.size() - 1;

  double best[3] = {1e9, 1e9, 1e9};
  for (const bool withPassword : {false, true}) {
    c.password = withPassword ? "secret" : "";
    for (int r = 0; r < repeats; ++r) {
      auto t0 = Clock::now();
      if (!c.saveAs(dir + "/bench.tdd")) return 1;
      auto t1 = Clock::now();
      Conversation back;
      ScriptedPrompt prompt;
      if (!back.loadFromFile(dir + "/bench.tdd", prompt)) return 1;
      auto t2 = Clock::now();
      if (!c.exportRtfFile(dir + "/bench.rtf")) return 1;
      auto t3 = Clock::now();
      best[0] = std::min(best[0], ms(t1 - t0));
      best[1] = std::min(best[1], ms(t2 - t1));
      best[2] = std::min(best[2], ms(t3 - t2));
    }
    std::printf("%s: %zu bytes of text in %d lines, %s password, best of %d\n",
                withPassword ? "scrambled" : "plain", textBytes, c.lineCount(),
                withPassword ? "with" : "no", repeats);
    std::printf("  save (written, flushed to disk, renamed) %8.2f ms\n", best[0]);
    std::printf("  load (read, checked, replaced)            %8.2f ms\n", best[1]);
    std::printf("  RTF export (written, flushed, renamed)    %8.2f ms\n", best[2]);
    best[0] = best[1] = best[2] = 1e9;
  }
  std::filesystem::remove_all(dir);
  return 0;
}
