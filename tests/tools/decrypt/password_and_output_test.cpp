// The password question's decision logic and the reading of the tool's
// output lines, without a process.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/backup/decryption_output.h"
#include "core/backup/decryption_password_prompt.h"

namespace scrivel {
namespace {

// Answers from a script, in order.
class ScriptedPrompt : public PasswordPrompt {
 public:
  std::deque<Answer> answers;
  std::deque<EmptyPasswordChoice> warnings;
  int asked = 0;
  int warned = 0;

  Answer AskPassword() override {
    ++asked;
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  EmptyPasswordChoice WarnEmptyPassword() override {
    ++warned;
    const EmptyPasswordChoice choice = warnings.front();
    warnings.pop_front();
    return choice;
  }
};

TEST(AskBackupPasswordTest, FollowsTheAnswers) {
  using Choice = PasswordPrompt::EmptyPasswordChoice;
  struct Case {
    const char* name;
    bool encrypted;
    std::deque<PasswordPrompt::Answer> answers;
    std::deque<Choice> warnings;
    bool cancelled;
    std::string password;  // kept password afterwards (starts as "old")
    int asked;
  };
  const std::vector<Case> cases = {
      {"not encrypted", false, {}, {}, false, "old", 0},
      {"password given", true, {{true, "pw"}}, {}, false, "pw", 1},
      {"cancelled", true, {{false, "typed"}}, {}, true, "old", 1},
      {"empty, asked again, then given", true, {{true, ""}, {true, "pw"}}, {Choice::kAskAgain}, false, "pw", 2},
      {"empty confirmed", true, {{true, ""}}, {Choice::kUseEmpty}, false, "", 1},
      {"empty, asked again, then cancelled", true, {{true, ""}, {false, ""}}, {Choice::kAskAgain}, true, "old", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrompt prompt;
    prompt.answers = c.answers;
    prompt.warnings = c.warnings;
    BackupInfo info;
    info.encrypted = c.encrypted;
    std::string password = "old";
    EXPECT_EQ(AskBackupPassword(info, prompt, password), c.cancelled);
    EXPECT_EQ(password, c.password);
    EXPECT_EQ(prompt.asked, c.asked);
    EXPECT_TRUE(prompt.answers.empty() && prompt.warnings.empty());
  }
}

TEST(DecryptionOutputTest, LinesSurviveEveryCutPoint) {
  const std::string output = "Deriving key\r\nCount: 12\nWrong password\nCount: 99";
  for (std::size_t cut = 0; cut <= output.size(); ++cut) {
    DecryptionOutputReader reader;
    std::vector<std::string> lines;
    auto onLine = [&](std::string_view line) { lines.emplace_back(line); };
    reader.Feed(output.substr(0, cut), onLine);
    reader.Feed(output.substr(cut), onLine);
    reader.Finish(onLine);
    EXPECT_EQ(lines, (std::vector<std::string>{"Deriving key", "Count: 12", "Wrong password", "Count: 99"}))
        << "cut at " << cut;
  }
}

TEST(DecryptionOutputTest, OverlongLinesAreHandedOnInPieces) {
  DecryptionOutputReader reader;
  std::vector<std::size_t> sizes;
  reader.Feed(std::string(kMaxToolLineSize * 2 + 10, 'x'), [&](std::string_view line) { sizes.push_back(line.size()); });
  EXPECT_EQ(sizes, (std::vector<std::size_t>{kMaxToolLineSize, kMaxToolLineSize}));
}

TEST(DecryptionOutputTest, ClassifiesLines) {
  struct Case {
    const char* line;
    ToolLine::Kind kind;
    std::uint64_t count;
  };
  const std::vector<Case> cases = {
      {"Count: 25", ToolLine::Kind::kCount, 25},
      {"Count:7", ToolLine::Kind::kCount, 7},
      {"Count: 18446744073709551615", ToolLine::Kind::kCount, 18446744073709551615ull},
      {"Count: 18446744073709551616", ToolLine::Kind::kOther, 0},
      {"Count: many", ToolLine::Kind::kOther, 0},
      {"Count:", ToolLine::Kind::kOther, 0},
      {"Wrong password", ToolLine::Kind::kWrongPassword, 0},
      {"Error: Wrong password", ToolLine::Kind::kWrongPassword, 0},
      {"Missing: 0123", ToolLine::Kind::kOther, 0},
  };
  for (const Case& c : cases) {
    const ToolLine parsed = ClassifyToolLine(c.line);
    EXPECT_EQ(parsed.kind, c.kind) << c.line;
    EXPECT_EQ(parsed.count, c.count) << c.line;
  }
  EXPECT_EQ(ClassifyToolLine("Key: 00ff").key, "00ff");
}

}  // namespace
}  // namespace scrivel
