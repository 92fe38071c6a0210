// The stratum-selection command driven through the reference host, as a user drives it: the
// launch and its refusals, the picks and their filtering (non-curves and repeated ids), the
// launch's start at picking, no deletion without a build, the delete question and its answers,
// Escape, the events and keys the command ignores, and the events it ignores while it is not
// the current command. Transcripts are compared whole where the order of what the user sees
// matters; the host's call log shows what the command did to the map control.
//
// Fixed values of the host: the plug-in's status code is 1001 and its action 2001; the five
// features of kSectionMap are entities 1-5 (1, 2, 3 curves that overlap, 4 a label, 5 a curve
// far to the right) and the first stratum built gets entity id 6.
#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "HostSession.h"
#include "StratumTexts.h"

namespace stratumtest {
namespace {

// The run of `script` alone, made once per script: the cases below compare a run of the script
// plus one line with it.
const HostRun& Baseline(HostSession& host, const std::string& script) {
  static std::map<std::string, HostRun> runs;
  auto found = runs.find(script);
  if (found == runs.end()) found = runs.emplace(script, host.Run(script)).first;
  return found->second;
}

class Command : public testing::Test {
 protected:
  HostSession host_;
};

TEST_F(Command, LaunchWithTheGateOpenShowsTheBannerThenThePickPromptAndStartsAPick) {
  HostRun run = host_.Run("launch dsi\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kLaunched);
  EXPECT_TRUE(run.CallsInOrder({"GetCommandState -> 0 0", "CommandGate.CanLaunch -> 1",
                                "CommandGate.IsBlocked 1001 -> 0", "CommandGate.PrepareLaunch",
                                "SetCommandState 1001 0", "ShowText " + kBanner, "CurrentAction = 2001",
                                "ShowText " + kPickPrompt, "Selection.Clear",
                                "BeginPick VOIntArray 0 1 63 null", "WM_SETCURSOR 0 0"}));
}

// LaunchCommand starts the command only when CanLaunch is true, IsBlocked(own code) is false
// and the command is not current already; otherwise it answers 0 and shows nothing.
struct LaunchCase {
  const char* name;
  std::string script;
  std::string transcript;
  int launches;  // PrepareLaunch calls = successful launches
};

class Launch : public testing::TestWithParam<LaunchCase> {
 protected:
  HostSession host_;
};

TEST_P(Launch, StartsOnlyThroughAnOpenGateAndNeverTwice) {
  HostRun run = host_.Run(GetParam().script);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, GetParam().transcript);
  EXPECT_EQ(run.CountCalls("CommandGate.PrepareLaunch"), GetParam().launches);
  EXPECT_EQ(run.CountCalls("ShowText " + kBanner), GetParam().launches);
}

INSTANTIATE_TEST_SUITE_P(
    Gate, Launch,
    testing::Values(
        LaunchCase{"Closed", "gate closed\nlaunch dsi\npick 1 2\n",
                   "> gate closed\n> launch dsi\n> pick 1 2\n[error] no pick is in progress\n", 0},
        LaunchCase{"BlockedForThisCommand", "gate blocked 1001\nlaunch dsi\n",
                   "> gate blocked 1001\n> launch dsi\n", 0},
        LaunchCase{"BlockedForAnotherCommand", "gate blocked 1002\nlaunch dsi\n",
                   "> gate blocked 1002\n" + kLaunched, 1},
        LaunchCase{"TwiceWhileCurrent", "launch dsi\nlaunch dsi\n", kLaunched + "> launch dsi\n", 1},
        LaunchCase{"AgainAfterTheEnd", "launch dsi\nkey esc\nlaunch dsi\n",
                   kLaunched + "> key esc\n" + kCancelled + "\n" + kLaunched, 2}),
    [](const testing::TestParamInfo<LaunchCase>& info) { return info.param.name; });

TEST_F(Command, OneCurvePickedIsMarkedAndKeptForTheNextPick) {
  HostRun run = host_.Run("launch dsi\npick 1\npick 2\ndialog cancel\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1\n" + kPickPrompt + "\n> pick 2\n" + kDialogCancelled + kBuilt +
                         "\n" + kAskYes + "\n");
  EXPECT_TRUE(
      run.CallsInOrder({"Highlight.SetHighlight [1] 1 1", "Highlight.DrawEntities [1]", "UpdateView",
                        "ShowText " + kPickPrompt, "BeginPick VOIntArray 0 1 63 null", "WM_SETCURSOR 0 0",
                        "Highlight.SetHighlight [1 2] 1 1", "Highlight.DrawEntities [1 2]", "UpdateView"}));
  EXPECT_EQ(run.Strata().size(), 1u);
}

TEST_F(Command, ANonCurveIsDroppedAndTheCurvePickedWithItStaysMarked) {
  HostRun run = host_.Run("launch dsi\npick 4 1\npick 2\ndialog cancel\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 4 1\n" + kPickPrompt + "\n> pick 2\n" + kDialogCancelled + kBuilt +
                         "\n" + kAskYes + "\n");
  EXPECT_TRUE(run.CallsInOrder({"Entities.GetEntityType 4 -> 40", "Entities.GetEntityType 1 -> 2",
                                "Highlight.SetHighlight [1] 1 1", "BeginPick VOIntArray 0 1 63 null",
                                "Entities.GetEntityType 1 -> 2", "Entities.GetEntityType 2 -> 2",
                                "Highlight.SetHighlight [1 2] 1 1"}));
}

TEST_F(Command, ThreeCurvesStayMarkedAndNothingIsBuilt) {
  HostRun run = host_.Run("launch dsi\npick 1 2 3\nkey esc\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1 2 3\n" + kPickPrompt + "\n> key esc\n" + kCancelled + "\n");
  EXPECT_TRUE(run.CallsInOrder({"Entities.GetEntityType 3 -> 14", "Highlight.SetHighlight [1 2 3] 1 1",
                                "BeginPick VOIntArray 0 1 63 null", "Highlight.SetHighlight [1 2 3] 0 1"}));
  EXPECT_EQ(run.CountCalls("BeginOperation 创建剖面地层实体 -> 1"), 0);
  EXPECT_TRUE(run.Strata().empty());
}

// An id already in the list is dropped like a non-curve: one curve picked twice is one curve,
// marked, and the pick goes on; a list of three ids with a repeat holds two curves and builds.
TEST_F(Command, ACurvePickedAgainIsDroppedAndThePickGoesOn) {
  HostRun run = host_.Run("launch dsi\npick 1 1\npick 1\npick 2\ndialog cancel\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1 1\n" + kPickPrompt + "\n> pick 1\n" + kPickPrompt + "\n> pick 2\n" +
                         kDialogCancelled + kBuilt + "\n" + kAskYes + "\n");
  EXPECT_TRUE(run.CallsInOrder({"Highlight.SetHighlight [1] 1 1", "ShowText " + kPickPrompt,
                                "Highlight.SetHighlight [1] 1 1", "ShowText " + kPickPrompt,
                                "Highlight.SetHighlight [1 2] 1 1", "EntityHandle 1 -> 2", "EntityHandle 2 -> 3"}));
  EXPECT_EQ(run.CountCalls("Highlight.SetHighlight [1 1] 1 1"), 0);
  std::vector<nlohmann::json> strata = run.Strata();
  ASSERT_EQ(strata.size(), 1u);
  for (const auto& sample : strata[0]["properties"]["samples"]) EXPECT_NEAR(sample[3].get<double>(), 10.0, 1e-9);

  HostRun repeat = host_.Run("launch dsi\npick 1 2 1\ndialog cancel\n");
  EXPECT_EQ(repeat.out, kLaunched + "> pick 1 2 1\n" + kDialogCancelled + kBuilt + "\n" + kAskYes + "\n");
  EXPECT_TRUE(repeat.CallsInOrder({"Highlight.SetHighlight [1 2] 1 1", "EntityHandle 1 -> 2", "EntityHandle 2 -> 3"}));
}

// The launch starts at picking whatever step the host's state held: another command's open
// question (step 0x7FFFFFFF) is not taken over, so an Enter after the launch is no answer and
// the curves of an earlier run (still in the pick list until the next start) stay.
TEST_F(Command, ALaunchStartsAtPickingWhateverStepAnotherCommandLeft) {
  HostRun run = host_.Run(kBuildScript + "key esc\nstate 7 2147483647\nlaunch dsi\ntext\ntext y\n");
  EXPECT_EQ(run.out, kBuiltAsking + "> key esc\n" + kCancelled + "\n> state 7 2147483647\n" + kLaunched +
                         "> text\n" + kUnrecognised + "\n> text y\n" + kUnrecognised + "\n");
  EXPECT_TRUE(run.CallsInOrder({"GetCommandState -> 7 2147483647", "CommandGate.PrepareLaunch",
                                "SetCommandState 1001 0", "ShowText " + kBanner, "ShowText " + kPickPrompt}));
  EXPECT_EQ(run.CountCalls("SetCommandState 1001 2147483647"), 1);
  EXPECT_EQ(run.Strata().size(), 1u);
  EXPECT_FALSE(run.Deleted(1));
  EXPECT_FALSE(run.Deleted(2));
  EXPECT_EQ(run.CountCalls("UnregisterEntity 2"), 0);
}

// No curve is deleted in a run that built no stratum: not by the deletion event sent while
// picking, nor by an answer after the host put the command at the question itself.
TEST_F(Command, NoCurveIsDeletedInARunThatBuiltNoStratum) {
  HostRun run = host_.Run(
      "launch dsi\npick 1\nevent 19\n"
      "launch dsi\npick 3\nstate 1001 2147483647\ntext y\n"
      "launch dsi\npick 1 2\ndialog cancel\ntext n\nlaunch dsi\npick 3\nevent 19\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Strata().size(), 1u);
  for (int id : {1, 2, 3}) EXPECT_FALSE(run.Deleted(id)) << id;
  EXPECT_EQ(run.CountCalls("UnregisterEntity 2") + run.CountCalls("UnregisterEntity 4"), 0);
  EXPECT_EQ(run.CountCalls("SetCommandState 0 0"), 4);
}

// "?" asks for the prompt of the step: the pick prompt, the question matching the remembered
// answer, and in any other step nothing, which the command answers as unrecognised. Text other
// than "?" while picking is unrecognised. None of it changes the step.
TEST_F(Command, PromptQueriesAndTextWhilePicking) {
  HostRun run = host_.Run(
      "launch dsi\ntext ?\ntext y\ntext\ntext abc\npick 1 2\ndialog cancel\ntext ?\n"
      "state 1001 5\ntext ?\n");
  EXPECT_EQ(run.out, kLaunched + "> text ?\n" + kPickPrompt + "\n> text y\n" + kUnrecognised + "\n> text\n" +
                         kUnrecognised + "\n> text abc\n" + kUnrecognised + "\n> pick 1 2\n" +
                         kDialogCancelled + kBuilt + "\n" + kAskYes + "\n> text ?\n" + kAskYes +
                         "\n> state 1001 5\n> text ?\n" + kUnrecognised + "\n");
  EXPECT_EQ(run.CountCalls("SetCommandState 1001 2147483647"), 1);
  EXPECT_EQ(run.CountCalls("SetCommandState 0 0"), 0);
}

// The answers to the delete question: y/Y delete, n/N keep, an empty line applies the remembered
// answer, which starts as "delete". The curves are unmarked either way and the command ends.
struct AnswerCase {
  const char* name;
  std::string line;
  std::string reply;
  bool deleted;
};

class Answer : public testing::TestWithParam<AnswerCase> {
 protected:
  HostSession host_;
};

TEST_P(Answer, IsRepliedAppliedAndEndsTheCommand) {
  const AnswerCase& c = GetParam();
  HostRun run = host_.Run(kBuildScript + c.line + "\ntext y\n");
  EXPECT_EQ(run.out, kBuiltAsking + "> " + c.line + "\n" + c.reply + "\n> text y\n");
  EXPECT_EQ(run.Deleted(1), c.deleted);
  EXPECT_EQ(run.Deleted(2), c.deleted);
  EXPECT_FALSE(run.Deleted(3));
  EXPECT_FALSE(run.Deleted(6));
  EXPECT_EQ(run.Strata().size(), 1u);
  if (c.deleted) {
    EXPECT_TRUE(
        run.CallsInOrder({"Highlight.SetHighlight [1 2] 0 1", "EntityHandle 1 -> 2", "UnregisterEntity 2",
                          "EntityHandle 2 -> 3", "UnregisterEntity 3", "UpdateEntities [1 2] 1",
                          "SetCommandState 0 0", "WM_SETCURSOR 0 0", "Refresh"}));
  } else {
    EXPECT_TRUE(run.CallsInOrder(
        {"Highlight.SetHighlight [1 2] 0 1", "SetCommandState 0 0", "WM_SETCURSOR 0 0", "Refresh"}));
    EXPECT_EQ(run.CountCalls("UnregisterEntity 2"), 0);
    EXPECT_EQ(run.CountCalls("UpdateEntities [1 2] 1"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(DeleteQuestion, Answer,
                         testing::Values(AnswerCase{"LowerY", "text y", kDeleted, true},
                                         AnswerCase{"UpperY", "text Y", kDeleted, true},
                                         AnswerCase{"LowerN", "text n", kKept, false},
                                         AnswerCase{"UpperN", "text N", kKept, false},
                                         AnswerCase{"EmptyLineFirstTimeDeletes", "text", kDeleted, true}),
                         [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

// Anything but exactly one letter y/n (or nothing) is unrecognised and the question stays open.
class UnrecognisedAnswer : public testing::TestWithParam<const char*> {
 protected:
  HostSession host_;
};

TEST_P(UnrecognisedAnswer, LeavesTheQuestionOpen) {
  std::string line = std::string("text ") + GetParam();
  HostRun run = host_.Run(kBuildScript + line + "\ntext n\n");
  EXPECT_EQ(run.out, kBuiltAsking + "> " + line + "\n" + kUnrecognised + "\n> text n\n" + kKept + "\n");
  EXPECT_FALSE(run.Deleted(1));
}

INSTANTIATE_TEST_SUITE_P(DeleteQuestion, UnrecognisedAnswer,
                         testing::Values("yes", "no", "Yes", " y", "y ", " n", "n ", "yy", "是", "0"));

// The remembered answer carries over to the next run: after "n" the question offers <N> and an
// empty line keeps the curves; after "y" it offers <Y> again.
TEST_F(Command, TheAnswerIsRememberedAcrossRuns) {
  HostRun run = host_.Run(kBuildScript + "text n\n" + kBuildScript + "text ?\ntext\n" + kBuildScript +
                          "text y\n" + "launch dsi\npick 3 2\ndialog cancel\ntext\n");
  const std::string built = "> pick 1 2\n" + kDialogCancelled + kBuilt + "\n";
  EXPECT_EQ(run.out, kBuiltAsking + "> text n\n" + kKept + "\n" + kLaunched + built + kAskNo +
                         "\n> text ?\n" + kAskNo + "\n> text\n" + kKept + "\n" + kLaunched + built + kAskNo +
                         "\n> text y\n" + kDeleted + "\n" + kLaunched + "> pick 3 2\n" + kDialogCancelled +
                         kBuilt + "\n" + kAskYes + "\n> text\n" + kDeleted + "\n");
  EXPECT_EQ(run.Strata().size(), 4u);
  EXPECT_TRUE(run.Deleted(1));
  EXPECT_TRUE(run.Deleted(2));
  EXPECT_TRUE(run.Deleted(3));
}

TEST_F(Command, EscapeWhilePickingUnmarksAndEnds) {
  HostRun run = host_.Run("launch dsi\npick 1\nkey esc\ntext ?\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1\n" + kPickPrompt + "\n> key esc\n" + kCancelled + "\n> text ?\n");
  EXPECT_TRUE(
      run.CallsInOrder({"Highlight.SetHighlight [1] 0 1", "Highlight.DrawEntities [1]", "UpdateView",
                        "SetCommandState 0 0", "WM_SETCURSOR 0 0", "Refresh", "ShowText " + kCancelled}));
}

// Escape while the question is open: the stratum stays, the curves are unmarked and kept.
TEST_F(Command, EscapeWhileAskingKeepsTheStratumAndTheCurves) {
  HostRun run = host_.Run(kBuildScript + "key 0x1B\ntext y\n");
  EXPECT_EQ(run.out, kBuiltAsking + "> key 0x1B\n" + kCancelled + "\n> text y\n");
  EXPECT_TRUE(run.CallsInOrder(
      {"Highlight.SetHighlight [1 2] 0 1", "SetCommandState 0 0", "ShowText " + kCancelled}));
  EXPECT_EQ(run.Strata().size(), 1u);
  EXPECT_FALSE(run.Deleted(1));
  EXPECT_FALSE(run.Deleted(2));
}

// A failed build (curves 1 and 5 do not overlap in x) unmarks the curves and ends the command;
// nothing is inserted and nothing is deleted.
TEST_F(Command, AFailedBuildUnmarksAndEndsWithoutDeleting) {
  HostRun run = host_.Run("launch dsi\npick 1 5\ndialog cancel\ntext y\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1 5\n" + kDialogCancelled + kBuildFailed + "\n> text y\n");
  EXPECT_TRUE(run.CallsInOrder({"ShowText " + kBuildFailed, "Highlight.SetHighlight [1 5] 0 1",
                                "SetCommandState 0 0", "WM_SETCURSOR 0 0", "Refresh"}));
  EXPECT_EQ(run.CountCalls("BeginOperation 创建剖面地层实体 -> 1"), 0);
  EXPECT_TRUE(run.Strata().empty());
  EXPECT_EQ(run.map["features"].size(), 5u);
  EXPECT_FALSE(run.Deleted(1));
  EXPECT_FALSE(run.Deleted(5));
}

// Keys other than Escape and the events the command does not handle do nothing, while picking
// and while asking: the transcript only echoes the line and the only call is the state read.
struct IgnoredCase {
  std::string line;
  bool whileAsking;
};

class IgnoredInput : public testing::TestWithParam<IgnoredCase> {
 protected:
  HostSession host_;
};

TEST_P(IgnoredInput, DoesNothing) {
  const IgnoredCase& c = GetParam();
  const std::string before = c.whileAsking ? kBuildScript : "launch dsi\npick 1\n";
  const HostRun& base = Baseline(host_, before);
  HostRun run = host_.Run(before + c.line + "\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, base.out + "> " + c.line + "\n");
  std::vector<std::string> calls = base.calls;
  calls.push_back(c.whileAsking ? "GetCommandState -> 1001 2147483647" : "GetCommandState -> 1001 0");
  EXPECT_EQ(run.calls, calls);
}

std::vector<IgnoredCase> IgnoredCases() {
  std::vector<std::string> lines = {"key 13",   "key 0x41",  "key 0",    "event 7 32",
                                    "event 22", "event 100", "event -1", "event 0x7FFFFFFF"};
  for (int code : {1, 2, 3, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 16, 17})
    lines.push_back("event " + std::to_string(code));
  std::vector<IgnoredCase> cases;
  for (const std::string& line : lines) {
    cases.push_back({line, false});
    cases.push_back({line, true});
  }
  cases.push_back({"event 0", true});  // a pick event while asking
  return cases;
}

INSTANTIATE_TEST_SUITE_P(KeysAndEvents, IgnoredInput, testing::ValuesIn(IgnoredCases()),
                         [](const testing::TestParamInfo<IgnoredCase>& info) {
                           std::string name;
                           for (char ch : info.param.line)
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name + (info.param.whileAsking ? "_Asking" : "_Picking");
                         });

// While another command (or none) is current in the host, every event is ignored, the end and
// start events included: the transcript only echoes and the only call is the state read.
struct ForeignStateCase {
  std::string state;  // "CODE STEP"
  std::string line;
};

class ForeignState : public testing::TestWithParam<ForeignStateCase> {
 protected:
  HostSession host_;
};

TEST_P(ForeignState, EventsAreIgnored) {
  const ForeignStateCase& c = GetParam();
  const std::string before = "launch dsi\npick 1\nstate " + c.state + "\n";
  const HostRun& base = Baseline(host_, before);
  HostRun run = host_.Run(before + c.line + "\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, base.out + "> " + c.line + "\n");
  std::vector<std::string> calls = base.calls;
  calls.push_back("GetCommandState -> " + c.state);
  EXPECT_EQ(run.calls, calls);
}

std::vector<ForeignStateCase> ForeignStateCases() {
  std::vector<ForeignStateCase> cases;
  for (const char* state : {"7 0", "0 0", "7 2147483647"})
    for (const char* line :
         {"event 11", "event 18", "event 19", "event 20", "key esc", "text ?", "text y", "pick 1 2"})
      cases.push_back({state, line});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(OtherCommandCurrent, ForeignState, testing::ValuesIn(ForeignStateCases()),
                         [](const testing::TestParamInfo<ForeignStateCase>& info) {
                           std::string name = "State_" + info.param.state + "_" + info.param.line;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// A new status code while the command runs: the events that follow are ignored (the host's
// command code is still the old one) until the command is launched again under the new code.
TEST_F(Command, ANewStatusCodeMidCommandIgnoresEventsUntilTheNextLaunch) {
  HostRun run = host_.Run("launch dsi\npick 1\nstatus 1002\nkey esc\ntext ?\nevent 11\nlaunch dsi\ntext ?\n");
  EXPECT_EQ(run.out, kLaunched + "> pick 1\n" + kPickPrompt +
                         "\n> status 1002\n> key esc\n> text ?\n> event 11\n" + kLaunched + "> text ?\n" +
                         kPickPrompt + "\n");
  EXPECT_TRUE(run.CallsInOrder({"GetCommandState -> 1001 0", "CommandGate.IsBlocked 1002 -> 0",
                                "SetCommandState 1002 0", "CurrentAction = 2001"}));
  EXPECT_EQ(run.CountCalls("SetCommandState 0 0"), 0);
}

}  // namespace
}  // namespace stratumtest
