// The hostsim program as a user runs it: arguments in, output and exit status
// out, natively and as hostsim.exe under Wine. Also the demo tour's golden
// transcript, which shows in review any change in what the module sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/cli.h"
#include "hostsim/json_writer.h"
#include "tests/support/process.h"

namespace {

using qztest::ProcessResult;

struct CliCase {
  std::vector<std::string> arguments;  // "@MODULE" and "@FIXTURE" stand for built files
  int status;
  std::string out;  // must appear in standard output
  std::string err;  // must appear in standard error
};

const CliCase kCases[] = {
    {{}, 2, "", "usage: hostsim SUBCOMMAND"},
    {{"--help"}, 0, "\n  validate  check a module file", ""},
    {{"frobnicate"}, 2, "", "hostsim: unknown subcommand 'frobnicate' (valid: run, list, validate, tour, save)\n"},
    {{"run", "--help"}, 0, "usage: hostsim run COMMAND [options]", ""},
    {{"list", "--help"}, 0, "usage: hostsim list", ""},
    {{"validate", "--help"}, 0, "  missing-services: ", ""},
    {{"tour", "--help"}, 0, "usage: hostsim tour", ""},
    {{"save", "--help"}, 0, "usage: hostsim save OUTPUT", ""},

    {{"run", "QZ_Sel_Child", "--select", "Controls"},
     0,
     "QZ_Sel_Child on demo_rig.lws (bundled), deferred updates\nselected before: Controls\nresult 0 (done)\n"
     "sent 5 lines:\n  SelectItem 10000005\n  AddToSelection 10000006\n",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "0x10000004", "--updates", "live"},
     0,
     "     1     -  10000004  null      Controls\n"
     "     -     1  10000005  null        IK.Hand.L\n",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--json"},
     0,
     "\"lines\":[\"SelectItem 10000005\",\"AddToSelection 10000006\",",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--module", "@MODULE"}, 0, "sent 5 lines", ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--color", "always"}, 0,
     "\033[1;32m     -     1  10000005  null        IK.Hand.L\033[0m\n", ""},
    {{"run"}, 2, "", "hostsim run: which command? (valid: QZ_Sel_Child, QZ_Sel_Parent,"},
    {{"run", "QZ_Nope"}, 2, "", "hostsim run: unknown command 'QZ_Nope' (valid: QZ_Sel_Child,"},
    {{"run", "QZ_Sel_Child", "--select", "Nobody"}, 2, "", "hostsim run: no item 'Nobody' in demo_rig.lws (bundled)"},
    {{"run", "QZ_Sel_Child", "--select", "arm.l"},
     2,
     "",
     "; did you mean 'Arm.L', 'Arm.R'? (names and ids: hostsim list)\n"},
    {{"run", "QZ_Sel_Child", "--select", "Head"},
     2,
     "",
     "'Head' names 2 items (40040001, 10000002); select one by its id"},
    {{"run", "QZ_Sel_Child", "--bogus"}, 2, "", "hostsim run: unknown option '--bogus' (valid: --module, --scene,"},
    {{"run", "QZ_Sel_Child", "--updates", "sometimes"},
     2,
     "",
     "unknown update mode 'sometimes' (valid: deferred, live, snapshot)\n"},
    {{"run", "QZ_Sel_Child", "--updates"}, 2, "", "option --updates needs a value (MODE)"},
    {{"run", "QZ_Sel_Child", "--color", "purple"}, 2, "", "unknown --color 'purple' (valid: auto, always, never)"},
    {{"run", "QZ_Sel_Child", "--module", "no_such_module.p"},
     2,
     "",
     "hostsim run: no module file 'no_such_module.p'\n"},
    {{"run", "QZ_Sel_Child", "--scene", "no_such_scene.lws"},
     2,
     "",
     "hostsim run: no_such_scene.lws: cannot open the scene: "},
    {{"run", "QZ_Sel_Child", "--content", "relative\\dir"}, 2, "", "is not an absolute Windows path"},
    {{"run", "QZ_Sel_Child", "--module", "@FIXTURE"}, 2, "", "has sync value 0x19941204, expected 0x04121994\n"},

    {{"list"}, 0, "demo_rig.lws (bundled), 54 items: 8 loaded objects, 10 nulls, 31 bones, 3 lights, 2 cameras\n", ""},
    {{"list", "--json"},
     0,
     "{\"id\":\"40060001\",\"kind\":\"bone\",\"name\":\"Arm.L\",\"depth\":6,\"parent\":\"40050001\"",
     ""},
    {{"list", "extra"}, 2, "", "hostsim list: unexpected argument 'extra' (this command takes options only)"},

    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2"}, 0, "with seed 5 (repeat with --seed 5)", ""},
    {{"validate", "@FIXTURE", "--only-failed"}, 1, "FAIL  load ", ""},
    {{"validate", "@FIXTURE", "--json"}, 1, "\"check\":\"load\",\"status\":\"failed\"", ""},
    {{"validate"}, 2, "", "hostsim validate: which module file? (hostsim validate MODULE)"},
    {{"validate", "no_such_module.so"}, 2, "", "hostsim validate: no module file 'no_such_module.so'"},
    {{"validate", "@MODULE", "--seed", "many"}, 2, "", "--seed needs a number"},

    {{"save", "-", "--random", "1"}, 0, "LWSC\n5\n", ""},
    {{"save", "-"}, 0, "AddBone 40060001\nBoneName Arm.L\nParentItem 40050001\n", ""},
    {{"save"}, 2, "", "hostsim save: where to? name the OUTPUT file"},
    {{"save", "-", "--random", "1", "--scene", "x.lws"}, 2, "", "give --scene or --random, not both"},
};

std::vector<std::string> Expanded(const std::vector<std::string>& arguments) {
  std::vector<std::string> expanded;
  for (const std::string& argument : arguments) {
    if (argument == "@MODULE") {
      expanded.push_back(qztest::FixtureModulePath("QZ_Lasso"));
    } else if (argument == "@FIXTURE") {
      expanded.push_back(qztest::FixtureModulePath("broken_sync"));
    } else {
      expanded.push_back(argument);
    }
  }
  return expanded;
}

std::string Joined(const std::vector<std::string>& arguments) {
  std::string text = "hostsim";
  for (const std::string& argument : arguments) text += " " + argument;
  return text;
}

TEST(HostsimProgram, AnswersEveryRequestWithOutputAndExitStatus) {
  for (const CliCase& cli : kCases) {
    const std::vector<std::string> arguments = Expanded(cli.arguments);
    SCOPED_TRACE(Joined(arguments));
    const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), arguments);
    EXPECT_EQ(result.status, cli.status) << result.err;
    EXPECT_NE(result.out.find(cli.out), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(cli.err), std::string::npos) << result.err;
    // Errors are one line; help and results go to standard output.
    if (cli.status == 2 && !cli.arguments.empty()) {
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
  }
}

TEST(HostsimProgram, AMalformedSceneFileIsRejectedWithItsLine) {
  const std::string path =
      qztest::WriteTemporaryFile("bad.lws", "LWSC\n5\nAddNullObject 10000000 Rig\nParentItem 10000009\n");
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"list", "--scene", path});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "hostsim list: " + path + ":4: the parent 10000009 of 'Rig' (10000000) is never declared\n");
  EXPECT_EQ(result.out, "");
  std::remove(path.c_str());
}

TEST(HostsimProgram, ATourFileWithAMistakeNamesItsLine) {
  const std::string path = qztest::WriteTemporaryFile(
      "tour.txt", "# fine\nQZ_Sel_Child --select Controls\n\nQZ_Sel_Child --select \"Light Rig\" --frob\n");
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"tour", path, "--transcript"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "hostsim tour: " + path + ":4: unknown option '--frob' (valid: --select, --updates)\n");
  std::remove(path.c_str());
}

TEST(HostsimProgram, ASavedSceneRunsAgainFromItsFile) {
  const std::string path = qztest::WriteTemporaryFile("saved.lws", "");
  ASSERT_EQ(qztest::RunProgram(qztest::HostsimPath(), {"save", path}).status, 0);
  const ProcessResult result =
      qztest::RunProgram(qztest::HostsimPath(), {"run", "QZ_Sel_Child", "--scene", path, "--select", "Controls"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("QZ_Sel_Child on " + path + ", deferred updates\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("sent 5 lines"), std::string::npos) << result.out;
  std::remove(path.c_str());
}

// ---- the golden transcript of the demo tour ----------------------------------
//
// After an intended change in what the module sends, regenerate it with
// scripts/update-golden.sh and review the diff.

std::string GoldenTour() { return qztest::ReadFile(std::string(QZ_SOURCE_DIR) + "/tests/golden/tour.txt"); }

TEST(DemoTour, TranscriptMatchesTheGoldenFile) {
  std::ostringstream out, err;
  hostsim::Console console{out, err, false};
  const int status = hostsim::RunCommandLine({"tour", "--transcript"}, console);
  EXPECT_EQ(status, 0) << err.str();
  EXPECT_EQ(out.str(), GoldenTour()) << "the module sends other lines on the demo tour; if that is intended, run "
                                        "scripts/update-golden.sh and commit tests/golden/tour.txt";
}

TEST(DemoTour, TheProgramPrintsTheSameTranscript) {
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"tour", "--transcript"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, GoldenTour());
}

TEST(DemoTour, EveryStepShowsItsCaptionAndTree) {
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"tour", "--color", "never"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("== step 1 of 11\nChildren: from the Controls null to the five control nulls under it.\n"
                            "$ hostsim run QZ_Sel_Child --select Controls\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("== step 11 of 11\n"), std::string::npos);
  EXPECT_EQ(result.out.find("\033["), std::string::npos) << "colour when asked for none";
}

struct JsonCase {
  std::string text;
  std::string json;
};

// Names come from scene files: whatever bytes they hold, the output parses.
TEST(JsonWriter, StringsAreEscapedAndAlwaysValidUtf8) {
  const JsonCase cases[] = {
      {"Arm.L", "\"Arm.L\""},
      {"say \"hi\" \\ there", "\"say \\\"hi\\\" \\\\ there\""},
      {"tab\there\nline", "\"tab\\there\\nline\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
      {"bad\xff\xc3", "\"bad\\ufffd\\ufffd\""},
  };
  for (const JsonCase& json : cases) {
    hostsim::JsonWriter writer;
    writer.String(json.text);
    EXPECT_EQ(writer.text(), json.json);
  }
  hostsim::JsonWriter nested;
  nested.BeginObject();
  nested.Key("a").Strings({"x", "y"});
  nested.Key("b").Null();
  nested.EndObject();
  EXPECT_EQ(nested.text(), "{\"a\":[\"x\",\"y\"],\"b\":null}");
}

}  // namespace
