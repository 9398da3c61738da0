// A Prompt that answers from a script, for tests of dialog logic.
//
// Queue the answers in the order the code under test will ask, run the code,
// then look at `calls` (every dialog shown, in order, with its texts) and
// check that `unanswered()` is 0 and `pending()` is 0. A dialog that finds no
// scripted answer of its kind counts as unanswered and gets the cancel
// answer (choice 0, nothing for inputs, passwords and files), so a test
// never blocks and a surprise dialog shows up in the counts.
//
// Link target: quelto_scripted_prompt (header only).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "conversation/prompt.h"

namespace quelto {

class ScriptedPrompt : public Prompt {
 public:
  enum class Kind { Alert, Choice, Input, Password, ChooseFile };

  struct Call {
    Kind kind;
    std::string text;                // message, question, label or title
    std::vector<std::string> extra;  // choice buttons, input default,
                                     // chooser extension/filter/prefill
    bool save = false;               // chooseFile only
  };

  // Queue answers. An absent optional answers "cancel".
  ScriptedPrompt& answerChoice(int button) {
    answers_.push_back({Kind::Choice, button, std::nullopt});
    return *this;
  }
  ScriptedPrompt& answerInput(std::optional<std::string> text) {
    answers_.push_back({Kind::Input, 0, std::move(text)});
    return *this;
  }
  ScriptedPrompt& answerPassword(std::optional<std::string> text) {
    answers_.push_back({Kind::Password, 0, std::move(text)});
    return *this;
  }
  ScriptedPrompt& answerFile(std::optional<std::string> path) {
    answers_.push_back({Kind::ChooseFile, 0, std::move(path)});
    return *this;
  }

  void alert(const std::string& text) override { calls.push_back({Kind::Alert, text, {}, false}); }

  int choice(const std::string& question, const std::string& b0, const std::string& b1,
             const std::string& b2) override {
    calls.push_back({Kind::Choice, question, {b0, b1, b2}, false});
    auto a = take(Kind::Choice);
    return a ? a->button : 0;
  }

  std::optional<std::string> input(const std::string& label,
                                   const std::string& defaultText) override {
    calls.push_back({Kind::Input, label, {defaultText}, false});
    auto a = take(Kind::Input);
    return a ? a->text : std::nullopt;
  }

  std::optional<std::string> password(const std::string& label) override {
    calls.push_back({Kind::Password, label, {}, false});
    auto a = take(Kind::Password);
    return a ? a->text : std::nullopt;
  }

  std::optional<std::string> chooseFile(const FileRequest& r) override {
    calls.push_back({Kind::ChooseFile, r.title, {r.extension, r.filterName, r.prefill}, r.save});
    auto a = take(Kind::ChooseFile);
    return a ? a->text : std::nullopt;
  }

  // Dialogs shown, in order.
  std::vector<Call> calls;

  // Dialogs that found no answer of their kind at the head of the script.
  int unanswered() const { return unanswered_; }
  // Scripted answers never asked for.
  size_t pending() const { return answers_.size(); }

  // The texts of the alerts shown, in order.
  std::vector<std::string> alerts() const {
    std::vector<std::string> out;
    for (const Call& c : calls)
      if (c.kind == Kind::Alert) out.push_back(c.text);
    return out;
  }

 private:
  struct Answer {
    Kind kind;
    int button;
    std::optional<std::string> text;
  };

  std::optional<Answer> take(Kind kind) {
    if (answers_.empty() || answers_.front().kind != kind) {
      ++unanswered_;
      return std::nullopt;
    }
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }

  std::deque<Answer> answers_;
  int unanswered_ = 0;
};

}  // namespace quelto
