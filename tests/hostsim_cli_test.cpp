// The hostsim program as a user runs it: arguments in, output and exit status
// out, natively and as hostsim.exe under Wine. Also the demo tour's golden
// transcript, which shows in review any change in what the module sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    {{"--version", "--module", "x.p"}, 2, "", "hostsim: --version takes no further arguments\n"},
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
    {{"run", "--help"}, 0, "  --svg FILE              also draw the scene list before and after as an SVG", ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--svg", "."},
     2,
     "",
     "hostsim run: cannot write the picture '.': "},
    {{"run", "QZ_Sel_Child", "--svg"}, 2, "", "option --svg needs a value (FILE)"},

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

    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2"}, 0, "with seed 5 (repeat with --seed 5)", ""},
    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2"},
     0,
     "PASS  panel             QZ_Sel_ByName      demo_rig.lws and 2 random scenes: ",
     ""},
    {{"validate", "@MODULE", "--seed", "5", "--scenes", "2"},
     0,
     "SKIP  panel             QZ_Sel_Child       opens no panel\n",
     ""},
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

// What a problem report quotes: the release, and on Windows the version
// resource of the module beside hostsim, read from the file.
TEST(HostsimProgram, VersionNamesTheReleaseAndTheModuleBesideIt) {
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"--version"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string release = "hostsim (QZ_Lasso) " QZ_RELEASE_VERSION "\n";
#if defined(_WIN32)
  // The resource keeps these numbers from release to release.
  EXPECT_EQ(result.out,
            release + qztest::ProgramFolder() + "QZ_Lasso.p: file version 0.1.4.1, product version 1.0.0.0\n");

  const std::string noResource = qztest::FixtureModulePath("broken_sync");
  const std::string missing = qztest::ProgramFolder() + "no_such_module.p";
  for (const std::string& module : {noResource, missing}) {
    _putenv_s("QZ_LASSO_MODULE", module.c_str());
    const ProcessResult other = qztest::RunProgram(qztest::HostsimPath(), {"--version"});
    EXPECT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(other.out, release + module + (module == missing ? ": not found\n" : ": no version resource\n"));
  }
  _putenv_s("QZ_LASSO_MODULE", "");
#else
  EXPECT_EQ(result.out, release);
#endif
}

// A scene, tour, module and saved scene named with accents and in Japanese, in
// a folder named so too. Windows hands the names over in UTF-16; hostsim must
// open each file by that name, not by its bytes read in the ANSI code page.
TEST(HostsimProgram, FilesNamedInAnyScriptOpen) {
  namespace fs = std::filesystem;
  const std::string marker = qztest::WriteTemporaryFile("names", "");
  const fs::path folder = fs::u8path(marker + " Scène シーン");
  fs::create_directories(folder);
  const auto inFolder = [&](const std::string& name) { return (folder / fs::u8path(name)).u8string(); };
  const std::string scene = inFolder("リグ é.lws");
  const std::string tour = inFolder("ツアー ü.txt");
  const std::string module =
      inFolder("選択 ß" + fs::path(qztest::FixtureModulePath("QZ_Lasso")).extension().u8string());
  fs::copy_file(fs::u8path(qztest::FixtureModulePath("QZ_Lasso")), fs::u8path(module));
  std::ofstream(fs::u8path(tour), std::ios::binary) << "QZ_Sel_Child --select Controls\n";

  const ProcessResult saved = qztest::RunProgram(qztest::HostsimPath(), {"save", scene});
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_TRUE(fs::is_regular_file(fs::u8path(scene))) << "saved under another name";

  struct Step {
    std::vector<std::string> arguments;
    std::string out;
  };
  const Step steps[] = {
      {{"list", "--scene", scene}, scene + ", 54 items: "},
      {{"run", "QZ_Sel_Child", "--scene", scene, "--select", "Controls", "--module", module},
       "QZ_Sel_Child on " + scene + ", deferred updates\n"},
      {{"tour", tour, "--transcript", "--scene", scene, "--module", module},
       "# " + tour + " on " + scene + "\n== QZ_Sel_Child --select Controls\n"},
      {{"validate", module, "--seed", "5", "--scenes", "1", "--only-failed"}, "validating " + module + " with seed 5"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(Joined(step.arguments));
    const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), step.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(step.out), std::string::npos) << result.out;
  }
  fs::remove_all(folder);
  std::remove(marker.c_str());
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
      // A surrogate, an overlong form and a value past U+10FFFF are not UTF-8 either.
      {"\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\""},
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
