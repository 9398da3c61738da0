#include <gtest/gtest.h>

#include "conversation/prompt.h"
#include "conversation/scripted_prompt.h"

namespace quelto {
namespace {

TEST(FileChooser, OffersTheLastChosenPathWithoutItsExtension) {
  forgetChosenFile();
  ScriptedPrompt prompt;
  prompt.answerFile(std::string("/home/ana.b/calls/bank.call.tdd"))
      .answerFile(std::nullopt)
      .answerFile(std::string("/home/ana.b/notes"))
      .answerFile(std::string(2000, 'x'));

  EXPECT_EQ(chooseFile(prompt, false, "Load", "tdd", "Quelto Files"),
            std::optional<std::string>("/home/ana.b/calls/bank.call.tdd"));
  EXPECT_EQ(chooseFile(prompt, true, "Save to RTF...", "rtf", "RTF Files"), std::nullopt);
  chooseFile(prompt, true, "Save as", "", "");
  chooseFile(prompt, true, "Save as", "tdd", "Quelto Files");
  chooseFile(prompt, true, "Save as", "tdd", "Quelto Files");

  ASSERT_EQ(prompt.calls.size(), 5u);
  const auto& first = prompt.calls[0];
  EXPECT_FALSE(first.save);
  EXPECT_EQ(first.text, "Load");
  EXPECT_EQ(first.extra, (std::vector<std::string>{"tdd", "Quelto Files", ""}));
  // Cut at the last dot of the file name; a cancelled chooser keeps it.
  EXPECT_EQ(prompt.calls[1].extra[2], "/home/ana.b/calls/bank.call");
  EXPECT_TRUE(prompt.calls[1].save);
  // No filter without an extension and a filter name.
  EXPECT_EQ(prompt.calls[2].extra,
            (std::vector<std::string>{"", "", "/home/ana.b/calls/bank.call"}));
  // A dot in a folder name is not an extension.
  EXPECT_EQ(prompt.calls[3].extra[2], "/home/ana.b/notes");
  // The remembered path holds at most 1023 bytes.
  EXPECT_EQ(prompt.calls[4].extra[2], std::string(1023, 'x'));
  EXPECT_EQ(prompt.unanswered(), 1);  // the fifth had no answer left
}

TEST(ScriptedPromptSelf, AnswersInOrderAndCountsSurprises) {
  ScriptedPrompt p;
  p.answerChoice(2).answerInput(std::string("555")).answerPassword(std::nullopt);
  EXPECT_EQ(p.choice("Save?", "No", "Yes", "Cancel"), 2);
  EXPECT_EQ(p.input("Number to dial?", ""), std::optional<std::string>("555"));
  EXPECT_EQ(p.password("Enter Password"), std::nullopt);
  EXPECT_EQ(p.unanswered(), 0);
  // Out of script: the cancel answer, counted.
  EXPECT_EQ(p.choice("Again?", "No", "Yes", ""), 0);
  EXPECT_EQ(p.input("x", "d"), std::nullopt);
  EXPECT_EQ(p.unanswered(), 2);
  // An answer of the wrong kind at the head is not consumed.
  p.answerInput(std::string("a"));
  EXPECT_EQ(p.password("pw"), std::nullopt);
  EXPECT_EQ(p.pending(), 1u);
  p.alert("Wrong password!");
  EXPECT_EQ(p.alerts(), std::vector<std::string>{"Wrong password!"});
  EXPECT_EQ(p.calls.size(), 7u);
}

}  // namespace
}  // namespace quelto
