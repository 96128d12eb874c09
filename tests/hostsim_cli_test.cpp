// The hostsim program as a user runs it: arguments in, output and exit status
// out, natively and as hostsim.exe under Wine. Also the demo tour's golden
// transcript, which shows in review any change in what the module sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/cli/cli.h"
#include "hostsim/cli/json_writer.h"
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
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--color", "always"},
     0,
     "\033[1;32m     -     1  10000005  null        IK.Hand.L\033[0m\n",
     ""},
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

    // The by-name panel, played by the scripted user.
    {{"run", "QZ_Sel_ByName", "--help"}, 0, "  --kind KIND             object, light, camera or bone", ""},
    {{"run", "QZ_Sel_ByName", "--select", "Shoulder.L", "--kind", "bone", "--pattern", "*L"},
     0,
     "sent 11 lines:\n  EditBones\n  SelectItem 40050001\n  AddToSelection 40060001\n",
     ""},
    {{"run", "QZ_Sel_ByName", "--select", "Shoulder.L", "--kind", "bone", "--pattern", "*L"},
     0,
     "messages: none\npanel: \"Select By Name(wildcard)\" showed Object, \"\"; pressed 4, typed \"*L\", confirmed; "
     "open returned 1\nselected after: Shoulder.L, Arm.L, ForeArm.L,",
     ""},
    {{"run", "QZ_Sel_ByName", "--kind", "object", "--pattern", "Body.Arm*"},
     0,
     "sent 3 lines:\n  EditBones\n  SelectItem 40060001\n  AddToSelection 400B0001\nmessages: none\n"
     "panel: \"Select By Name(wildcard)\" showed Object, \"\"; typed \"Body.Arm*\", confirmed;",
     ""},
    {{"run", "QZ_Sel_ByName", "--kind", "light", "--pattern", "Sun*", "--updates", "live"},
     0,
     "sent 1 line:\n  EditLights\nmessage: Not Found\npanel: ",
     ""},
    {{"run", "QZ_Sel_ByName", "--select", "Body", "--pattern", "*", "--dismiss"},
     0,
     "sent 0 lines\nmessages: none\npanel: \"Select By Name(wildcard)\" showed Object, \"\"; typed \"*\", dismissed; "
     "open returned 0\nselected after: Body\n",
     ""},
    {{"run", "QZ_Sel_ByName", "--keys", "3", "x", "tab", "enter", "--dismiss"},
     0,
     "  EditCameras\nmessage: Not Found\npanel: \"Select By Name(wildcard)\" showed Object, \"\"; pressed 3, "
     "pressed x (not handled), pressed tab, pressed enter; open returned 1\n",
     ""},
    {{"run", "QZ_Sel_ByName", "--keys", "0x64", "1"}, 0, "; pressed d; open returned 1\n", ""},
    {{"run", "QZ_Sel_ByName", "--pattern", std::string(127, '?'), "--json"},
     0,
     "\"messages\":[{\"text\":\"Not Found\",\"second\":null}],\"panel\":{\"title\":\"Select By Name(wildcard)\","
     "\"shown\":[\"Object\",\"\\\"\\\"\"],\"user\":[\"typed \\\"" +
         std::string(127, '?') + "\\\"\",\"confirmed\"],\"result\":1}",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--json"}, 0, "\"panel\":null,", ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--kind", "bone"},
     0,
     "panel: no panel opened; the panel options had no effect\n",
     ""},
    {{"run", "QZ_Sel_ByName", "--kind", "dragon"},
     2,
     "",
     "hostsim run: unknown kind 'dragon' (valid: object, light, camera, bone)\n"},
    {{"run", "QZ_Sel_ByName", "--kind", "Bone"}, 2, "", "unknown kind 'Bone'"},
    {{"run", "QZ_Sel_ByName", "--keys", "1", "escape"},
     2,
     "",
     "hostsim run: unknown key 'escape' (valid: one character such as 4, tab, enter, or a code such as 0x64)\n"},
    {{"run", "QZ_Sel_ByName", "--keys", "0x100000000"}, 2, "", "unknown key '0x100000000'"},
    {{"run", "QZ_Sel_ByName", "--keys", "0xg"}, 2, "", "unknown key '0xg'"},
    {{"run", "QZ_Sel_ByName", "--keys", ""}, 2, "", "unknown key ''"},
    {{"run", "QZ_Sel_ByName", "--pattern", std::string(128, 'a')},
     2,
     "",
     "hostsim run: --pattern is 128 bytes; the panel's field holds at most 127\n"},
    {{"run", "QZ_Sel_ByName", "--pattern"}, 2, "", "option --pattern needs a value (TEXT)"},
    {{"run", "QZ_Sel_ByName", "--dismiss=yes"}, 2, "", "option --dismiss takes no value"},

    {{"list"}, 0, "demo_rig.lws (bundled), 54 items: 8 loaded objects, 10 nulls, 31 bones, 3 lights, 2 cameras\n", ""},
    {{"list", "--json"},
     0,
     "{\"id\":\"40060001\",\"kind\":\"bone\",\"name\":\"Arm.L\",\"depth\":6,\"parent\":\"40050001\"",
     ""},
    {{"list", "extra"}, 2, "", "hostsim list: unexpected argument 'extra' (this command takes options only)"},

    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2", "--check", "panel"},
     0,
     "with seed 5 (repeat with --seed 5)",
     ""},
    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2", "--check", "panel"},
     0,
     "PASS  panel             QZ_Sel_ByName      demo_rig.lws and 2 random scenes: ",
     ""},
    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2", "--check", "panel"},
     0,
     "SKIP  panel             QZ_Sel_Child       opens no panel\n",
     ""},
    {{"validate", "@FIXTURE", "--only-failed"}, 1, "FAIL  load ", ""},
    {{"validate", "@FIXTURE", "--json"}, 1, "\"check\":\"load\",\"status\":\"failed\"", ""},
    // Without a module file, the one built beside hostsim.
    {{"validate", "--check", "descriptor", "--seed", "5"},
     0,
     "\nPASS  descriptor                           machine type 0x00000300\n"
     "1 passed, 0 failed, 0 crashed, 0 timed out, 0 skipped\n",
     ""},
    {{"validate", "no_such_module.so"}, 2, "", "hostsim validate: no module file 'no_such_module.so'"},
    {{"validate", "@MODULE", "--seed", "many"}, 2, "", "--seed needs a number"},

#if defined(_WIN32)
#define QZ_NULL_POINTER_CAUSE "0xC0000005 (access violation)"
#define QZ_NULL_POINTER_CODE "0xC0000005"
#else
#define QZ_NULL_POINTER_CAUSE "SIGSEGV"
#define QZ_NULL_POINTER_CODE "SIGSEGV"
#endif
    // Crashes, hangs and what validate found, repeated one activation at a time.
    {{"validate", "@broken_nullname", "--check", "null-names", "--seed", "5", "--timeout", "1"},
     1,
     "\nCRASH null-names        QZ_Sel_AllNulls    demo_rig.lws, deferred updates, nothing selected: "
     "crashed: " QZ_NULL_POINTER_CAUSE "\n      replay: hostsim run QZ_Sel_AllNulls --module ",
     ""},
    {{"validate", "@broken_nullname", "--check", "null-names", "--seed", "5", "--timeout", "1"},
     1,
     "\nPASS  null-names        QZ_Sel_ByName      demo_rig.lws: 15 runs\n"
     "10 passed, 0 failed, 1 crashed, 0 timed out, 0 skipped\n",
     ""},
    {{"validate", "@broken_hang", "--check", "demo-scene", "--seed", "5", "--timeout", "1", "--only-failed"},
     1,
     "\nTIMEOUT demo-scene        QZ_Sel_Sibling     demo_rig.lws, deferred updates, selection ",
     ""},
    {{"validate", "@broken_sync", "--check", "panel"},
     1,
     "\nSKIP  panel             QZ_Sel_ByName      not run: the module did not load\n"
     "0 passed, 1 failed, 0 crashed, 0 timed out, 11 skipped\n",
     ""},
    {{"validate", "@MODULE", "--check", "demo-scene", "--scene", "@SCENE", "--seed", "5"},
     0,
     "\nPASS  demo-scene        QZ_Sel_ByName      demo_rig.lws and 1 scene: 207 runs\n",
     ""},
    {{"validate", "@MODULE", "--check", "dessert"},
     2,
     "",
     "hostsim validate: unknown check 'dessert' (valid: load, descriptor, command-table, command-tags, load-unload, "
     "missing-services, demo-scene, random-scenes, high-id-bits, null-names, panel)\n"},
    {{"validate", "@MODULE", "--scene", "no_such_scene.lws"}, 2, "", "hostsim validate: no_such_scene.lws: "},
    {{"validate", "@MODULE", "--timeout", "0"}, 2, "", "--timeout needs a number of seconds above 0, not '0'"},
    {{"validate", "@MODULE", "--memory", "0"}, 2, "", "--memory needs a number from 1 up to 1048576, not '0'"},
    {{"run", "QZ_Sel_AllNulls", "--module", "@broken_nullname", "--fault", "null-names"},
     1,
     "",
     "hostsim run: QZ_Sel_AllNulls on demo_rig.lws (bundled), deferred updates, fault null-names: the module crashed "
     "(" QZ_NULL_POINTER_CODE ")\n"},
    {{"run", "QZ_Sel_Sibling", "--module", "@broken_hang", "--select", "Controls", "Body", "--timeout", "0.5"},
     1,
     "",
     "hostsim run: QZ_Sel_Sibling on demo_rig.lws (bundled), deferred updates: did not return within 0.5 s "
     "(--timeout); ended\n"},
    {{"run", "QZ_Sel_ByName", "--module", "@broken_dismiss", "--dismiss"},
     1,
     "\nprotocol error: sent 'EditObjects' after the panel was dismissed\n",
     ""},
    {{"run", "QZ_Sel_Child", "--random", "1", "--select", "Arm.R", "--updates", "snapshot"},
     0,
     "QZ_Sel_Child on random scene of seed 1, snapshot updates\nselected before: Arm.R\nresult 0 (done)\n"
     "sent 1 line:\n  SelectItem 10000001\n",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--fault", "high-id-bits", "null-names", "--json"},
     0,
     "\"updates\":\"deferred\",\"faults\":[\"high-id-bits\",\"null-names\"],\"result\":0,"
     "\"lines\":[\"SelectItem 10000005\",",
     ""},
    {{"run", "QZ_Sel_Child", "--fault", "missing-service=LW Item Info 3"},
     0,
     ", fault missing-service=LW Item Info 3\nselected before: (nothing)\nresult 2 (a service the command needs is "
     "missing)\nsent 0 lines\n",
     ""},
    {{"run", "QZ_Sel_Child", "--fault", "slow-disk"},
     2,
     "",
     "hostsim run: unknown fault 'slow-disk' (valid: high-id-bits, null-names, missing-service=NAME)\n"},
    {{"run", "QZ_Sel_Child", "--random", "1", "--scene", "x.lws"}, 2, "", "give --scene or --random, not both"},
    {{"run", "QZ_Sel_Child", "--random", "-1"}, 2, "", "hostsim run: --random needs a number, not '-1'\n"},
    {{"run", "QZ_Sel_Child", "--timeout", "soon"}, 2, "", "--timeout needs a number of seconds above 0, not 'soon'"},
    {{"tour", "--timeout", "-3"}, 2, "", "hostsim tour: --timeout needs a number of seconds above 0, not '-3'\n"},

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
    } else if (argument.compare(0, 8, "@broken_") == 0) {
      expanded.push_back(qztest::FixtureModulePath(argument.substr(1)));
    } else if (argument == "@SCENE") {
      // Validate's random scene of seed 3, as a file of the user's.
      static const std::string scene = [] {
        const std::string path = qztest::WriteTemporaryFile("user_scene.lws", "");
        qztest::RunProgram(qztest::HostsimPath(), {"save", path, "--random", "3"});
        return path;
      }();
      expanded.push_back(scene);
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
  EXPECT_EQ(result.err,
            "hostsim tour: " + path +
                ":4: unknown option '--frob' (valid: --select, --updates, --pattern, --kind, --keys, --dismiss)\n");
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

TEST(HostsimProgram, ATourStepThatDoesNotReturnIsEndedAndNamed) {
  const std::string path = qztest::WriteTemporaryFile(
      "hang_tour.txt", "QZ_Sel_Child --select Controls\nQZ_Sel_Sibling --select Controls Body\n");
  const ProcessResult result = qztest::RunProgram(
      qztest::HostsimPath(),
      {"tour", path, "--module", qztest::FixtureModulePath("broken_hang"), "--timeout", "0.5", "--transcript"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "hostsim tour: " + path +
                            ":2, step 2: QZ_Sel_Sibling on demo_rig.lws (bundled), deferred updates: did not return "
                            "within 0.5 s (--timeout); ended\n");
  // What the steps before it showed is not lost.
  EXPECT_NE(result.out.find("== QZ_Sel_Child --select Controls\n"), std::string::npos) << result.out;
  std::remove(path.c_str());
}

// ---- the golden transcript of the demo tour ----------------------------------
//
// After an intended change in what the module sends, regenerate it with
// scripts/update-golden.sh and review the diff.

std::string GoldenTour() { return qztest::ReadFile(std::string(QZ_SOURCE_DIR) + "/tests/golden/tour.txt"); }

TEST(DemoTour, TranscriptMatchesTheGoldenFile) {
  // The panel shows what the module remembers for as long as it stays loaded,
  // and other tests of this process have used it: a copy of the file loads
  // afresh, as it does for the program.
  const std::string module = qztest::FixtureModulePath("QZ_Lasso");
  const std::string fresh =
      qztest::WriteTemporaryFile("fresh_" + module.substr(module.find_last_of("\\/") + 1), qztest::ReadFile(module));
  std::ostringstream out, err;
  hostsim::Console console{out, err, false};
  const int status = hostsim::RunCommandLine({"tour", "--transcript", "--module", fresh}, console);
  std::remove(fresh.c_str());
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
  EXPECT_NE(result.out.find("== step 1 of 14\nChildren: from the Controls null to the five control nulls under it.\n"
                            "$ hostsim run QZ_Sel_Child --select Controls\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("== step 14 of 14\n"), std::string::npos);
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
