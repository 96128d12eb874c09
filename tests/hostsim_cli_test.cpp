// The hostsim program as a user runs it: arguments in, output and exit status
// out, natively and as hostsim.exe under Wine. Also the demo tour's golden
// transcript, which shows in review any change in what the module sends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/cli/cli.h"
#include "hostsim/scene/json_writer.h"
#include "hostsim/scene/scene_shapes.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene_file/scene_file.h"
#include "qz_release_version.h"
#include "tests/support/json_value.h"
#include "tests/support/process.h"
#include "tests/support/scene_outline.h"

namespace {

using qztest::ProcessResult;

// A folder of its own beside the test's temporary files, its name ending in
// SUFFIX (accents and other scripts, which Windows hands over in UTF-16).
std::filesystem::path NewFolder(const std::string& marker, const std::string& suffix) {
  const std::string unique = qztest::WriteTemporaryFile(marker, "");
  std::filesystem::path folder = std::filesystem::u8path(unique + suffix);
  std::filesystem::create_directories(folder);
  std::remove(unique.c_str());
  return folder;
}

struct CliCase {
  std::vector<std::string> arguments;  // "@MODULE" and "@FIXTURE" stand for built files
  int status;
  std::string out;  // must appear in standard output
  std::string err;  // must appear in standard error
};

const CliCase kCases[] = {
    {{}, 2, "", "usage: hostsim SUBCOMMAND"},
    {{"--help"}, 0, "\n  validate  check a module file", ""},
    {{"help", "--help"}, 0, "usage: hostsim SUBCOMMAND", ""},
    {{"help", "time"}, 0, "usage: hostsim time COMMAND... [options]", ""},
    {{"frobnicate"},
     2,
     "",
     "hostsim: unknown subcommand 'frobnicate' (valid: run, list, validate, tour, save, time)\n"},
    {{"--version", "--module", "x.p"}, 2, "", "hostsim: --version takes no further arguments\n"},
    {{"run", "--help"}, 0, "usage: hostsim run COMMAND [options]", ""},
    {{"list", "--help"}, 0, "usage: hostsim list", ""},
    {{"validate", "--help"}, 0, "  missing-services: ", ""},
    {{"tour", "--help"}, 0, "usage: hostsim tour", ""},
    {{"save", "--help"}, 0, "usage: hostsim save OUTPUT", ""},

    {{"run", "QZ_Sel_Child", "--select", "Controls"},
     0,
     "QZ_Sel_Child on demo_rig.lws (bundled), deferred updates\nselected before: Controls\nresult 0 (done)\n"
     "sent 5 lines:\n  SelectItem 10000005      IK.Hand.L\n  AddToSelection 10000006  IK.Hand.R\n",
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
     "'Head' names 2 items (bone 40040001 of Body, object 10000002); select one by its id"},
    {{"run", "QZ_Sel_Child", "--bogus"}, 2, "", "hostsim run: unknown option '--bogus' (valid: --module, --scene,"},
    {{"run", "QZ_Sel_Child", "--updates", "sometimes"},
     2,
     "",
     "unknown update mode 'sometimes' (valid: deferred, live, snapshot, all)\n"},
    {{"run", "QZ_Sel_Child", "--updates"}, 2, "", "option --updates needs a value (MODE)"},
    {{"run", "QZ_Sel_Child", "--color", "purple"}, 2, "", "unknown --color 'purple' (valid: auto, always, never)"},
    {{"run", "QZ_Sel_Child", "--module", "no_such_module.p"},
     2,
     "",
     "hostsim run: no module file 'no_such_module.p'\n"},
    {{"run", "QZ_Sel_Child", "--module", "."},
     2,
     "",
     "hostsim run: '.' is a folder, not a module file: name the module file in it\n"},
    {{"validate", "."}, 2, "", "hostsim validate: '.' is a folder, not a module file: name the module file in it\n"},
    {{"run", "QZ_Sel_Child", "--no-tree"},
     0,
     "selected before: (nothing)\nresult 0 (done)\nsent 0 lines (nothing was selected)\nmessages: none\n",
     ""},
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
     "sent 11 lines:\n  EditBones\n  SelectItem 40050001      Shoulder.L\n  AddToSelection 40060001  Arm.L\n",
     ""},
    {{"run", "QZ_Sel_ByName", "--select", "Shoulder.L", "--kind", "bone", "--pattern", "*L"},
     0,
     "messages: none\npanel: \"Select By Name(wildcard)\" showed Object, \"\"; pressed 4, typed \"*L\", confirmed "
     "Bone, \"*L\"; open returned 1\nselected after: Shoulder.L, Arm.L, ForeArm.L,",
     ""},
    {{"run", "QZ_Sel_ByName", "--kind", "object", "--pattern", "Body.Arm*"},
     0,
     "sent 3 lines:\n  EditBones\n  SelectItem 40060001      Arm.L\n  AddToSelection 400B0001  Arm.R\nmessages: none\n"
     "panel: \"Select By Name(wildcard)\" showed Object, \"\"; typed \"Body.Arm*\", confirmed Object, \"Body.Arm*\";",
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
    {{"run", "QZ_Sel_ByName", "--kind", "null"},
     2,
     "",
     "hostsim run: the panel has no kind 'null': nulls are objects to it, so use --kind object (valid: object, light, "
     "camera, bone)\n"},
    {{"run", "QZ_Sel_ByName", "--kind", "Bone"}, 0, "showed Object, \"\"; pressed 4, confirmed Bone, \"\";", ""},
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
     "sent 1 line:\n  SelectItem 10000001  Head2\n",
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
    {{"save", "-", "--shape", "wide", "--scene", "x.lws"}, 2, "", "give --shape, --scene or --random, not two"},
    {{"save", "-", "--items", "5"}, 2, "", "hostsim save: --items sizes a generated scene: give --shape too\n"},
    {{"save", "-", "--shape", "Mixed", "--items", "0"}, 2, "", "--items needs a whole number from 1 to 10000000"},
    {{"save", "-", "--shape", "mixed", "--items", "4"},
     0,
     "AddNullObject 10000000 Rig (0)\n\nLoadObjectLayer 1 10000001 Objects/Body_00000.lwo\nParentItem 10000000\n",
     "wrote the scene to standard output: 4 items,"},

    // Help for each subcommand, and the commands of the module run would load.
    {{"help"}, 0, "usage: hostsim SUBCOMMAND [options]   (hostsim help SUBCOMMAND for its options)\n", ""},
    {{"help", "tour"}, 0, "usage: hostsim tour [TOUR] [options]\n", ""},
    {{"help", "run"},
     0,
     ":\n  QZ_Sel_Child\n  QZ_Sel_Parent\n  QZ_Sel_Descendant\n  QZ_Sel_Hierarchy\n  QZ_Sel_Sibling\n"
     "  QZ_Sel_Throwback\n  QZ_Sel_AllNulls\n  QZ_Sel_AllObjects\n  QZ_Add_Child\n  QZ_Add_Parent\n  QZ_Sel_ByName\n",
     ""},
    {{"run", "--help", "--module", "@MODULE"}, 0, "\ncommands of ", ""},
    {{"run", "--help", "--module", "no_such_module.p"},
     0,
     "\ncommands: cannot list them: no module file 'no_such_module.p'\n",
     ""},
    {{"help", "rn"},
     2,
     "",
     "hostsim help: unknown subcommand 'rn'; did you mean 'run'? (valid: run, list, validate, tour, save, time)\n"},
    {{"help", "run", "list"}, 2, "", "hostsim help: unexpected argument 'list' (hostsim help SUBCOMMAND)\n"},

    // "--" ends the options.
    {{"run", "--select", "Controls", "--", "QZ_Sel_Child"}, 0, "selected before: Controls\nresult 0 (done)\n", ""},
    {{"run", "--", "--help"}, 2, "", "hostsim run: unknown command '--help' (valid: QZ_Sel_Child,"},
    {{"list", "--", "--json"}, 2, "", "hostsim list: unexpected argument '--json' (this command takes options only)\n"},

    // Did you mean: subcommands, commands (a case-only slip too), options and
    // their values.
    {{"rn"},
     2,
     "",
     "hostsim: unknown subcommand 'rn'; did you mean 'run'? (valid: run, list, validate, tour, save, time)\n"},
    {{"Tour"}, 2, "", "hostsim: unknown subcommand 'Tour'; did you mean 'tour'? (valid: "},
    {{"run", "qz_sel_child", "--select", "Controls"},
     2,
     "",
     "hostsim run: unknown command 'qz_sel_child'; did you mean 'QZ_Sel_Child'? (valid: QZ_Sel_Child, "},
    {{"run", "QZ_Sel_Chlid"},
     2,
     "",
     "hostsim run: unknown command 'QZ_Sel_Chlid'; did you mean 'QZ_Sel_Child'? (valid: "},
    {{"run", "QZ_Sel_Child", "--selct", "Controls"},
     2,
     "",
     "hostsim run: unknown option '--selct'; did you mean '--select'? (valid: --module, "},
    {{"list", "--jsno"}, 2, "", "hostsim list: unknown option '--jsno'; did you mean '--json'? (valid: --scene, "},
    {{"run", "QZ_Sel_ByName", "--kind", "bon"},
     2,
     "",
     "hostsim run: unknown kind 'bon'; did you mean 'bone'? (valid: object, light, camera, bone)\n"},
    {{"run", "QZ_Sel_Child", "--updates", "defered"},
     2,
     "",
     "hostsim run: unknown update mode 'defered'; did you mean 'deferred'? (valid: deferred, live, snapshot, all)\n"},
    {{"list", "--color", "alway"},
     2,
     "",
     "hostsim list: unknown --color 'alway'; did you mean 'always'? (valid: auto, always, never)\n"},
    {{"run", "QZ_Sel_ByName", "--keys", "tabb"},
     2,
     "",
     "hostsim run: unknown key 'tabb'; did you mean 'tab'? (valid: one character such as 4, tab, enter, or a code "
     "such as 0x64)\n"},

    // Option values ignore case; item names and patterns do not.
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--updates", "LIVE"}, 0, ", live updates\n", ""},
    {{"list", "--color", "Always"}, 0, "Body  \033[2mC:\\Content\\Objects\\Character\\Body.lwo\033[0m\n", ""},
    {{"run", "QZ_Sel_ByName", "--keys", "3", "TAB", "Enter"}, 0, "; pressed 3, pressed tab, pressed enter;", ""},
    {{"run", "QZ_Sel_ByName", "--select", "Shoulder.L", "--kind", "BONE", "--pattern", "arm*"},
     0,
     "sent 1 line:\n  EditBones\nmessage: Not Found\n",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "controls"},
     2,
     "",
     "hostsim run: no item 'controls' in demo_rig.lws (bundled); did you mean 'Controls'?"},

    // A many-valued option needs at least one value, and says when it took
    // the command for one.
    {{"run", "QZ_Sel_Child", "--select"}, 2, "", "hostsim run: option --select needs a value (NAME|ID)\n"},
    {{"run", "QZ_Sel_Child", "--select", "--updates", "live"},
     2,
     "",
     "hostsim run: option --select needs a value (NAME|ID)\n"},
    {{"run", "QZ_Sel_ByName", "--keys"}, 2, "", "hostsim run: option --keys needs a value (KEY)\n"},
    {{"run", "--select", "Controls", "QZ_Sel_Child"},
     2,
     "",
     "hostsim run: --select took the command name 'QZ_Sel_Child' as one of its values: put the command first "
     "(hostsim run QZ_Sel_Child --select ...), or end --select with --\n"},
    {{"run", "--select", "Controls", "qz_sel_child", "--updates", "live"},
     2,
     "",
     "hostsim run: --select took the command name 'qz_sel_child' as one of its values: put the command first "
     "(hostsim run QZ_Sel_Child --select ...), or end --select with --\n"},
    {{"run", "--keys", "4", "QZ_Sel_ByName"},
     2,
     "",
     "hostsim run: --keys took the command name 'QZ_Sel_ByName' as one of its values: put the command first "
     "(hostsim run QZ_Sel_ByName --keys ...), or end --keys with --\n"},

    // Each update mode in turn.
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--updates", "all", "--no-tree"},
     0,
     "\nthe three modes agree\n",
     ""},
    {{"run", "QZ_Sel_Descendant", "--select", "Chest", "--updates", "all", "--no-tree"},
     0,
     "\nlive updates\n  result 0 (done)\n* sent 33 lines:\n",
     ""},
    {{"run", "QZ_Sel_Descendant", "--select", "Chest", "--updates", "all", "--no-tree"},
     0,
     "\nthe modes differ in the lines sent (*)\n",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--updates", "all", "--json"},
     0,
     "\"updates\":\"all\",\"before\":[\"10000004\"],\"modes\":[{\"updates\":\"deferred\",\"result\":0,",
     ""},
    {{"run", "QZ_Sel_Child", "--select", "Controls", "--updates", "all", "--json"}, 0, "],\"differs\":false,", ""},
    {{"run", "QZ_Add_Child", "--select", "Character", "--updates", "all", "--json"},
     0,
     "{\"updates\":\"live\",\"result\":0,\"lines\":[\"AddToSelection 10000001\",\"AddToSelection 10000004\","
     "\"AddToSelection 10000002\",",
     ""},
    {{"run", "QZ_Add_Child", "--select", "Character", "--updates", "all", "--json"}, 0, "],\"differs\":true,", ""},

    // Where names repeat, the selection shows ids.
    {{"run", "QZ_Sel_Parent", "--select", "Eyes"}, 0, "\nselected after: Head (10000002)\n", ""},
    {{"run", "QZ_Sel_Parent", "--select", "40040001", "Eye.L"}, 0, "selected before: Head (40040001), Eye.L\n", ""},

    // Timing: what a user may get wrong, and a run whose floor cannot be taken.
    {{"time", "--help"}, 0, "usage: hostsim time COMMAND... [options]", ""},
    {{"time"}, 2, "", "hostsim time: which command? (valid: QZ_Sel_Child,"},
    {{"time", "QZ_Sel_Child", "QZ_Nope"}, 2, "", "hostsim time: unknown command 'QZ_Nope'"},
    {{"time", "QZ_Sel_Child", "--repeat", "0"}, 2, "", "--repeat needs a whole number from 1 to 1000, not '0'"},
    {{"time", "QZ_Sel_Child", "--items", "500"}, 2, "", "--items sizes a generated scene: give --shape too"},
    {{"time", "QZ_Sel_Child", "--shape", "round"}, 2, "", "unknown shape 'round' (valid: wide, deep, balanced, mixed)"},
    {{"time", "QZ_Sel_Child", "--shape", "wide", "--items", "20000000"}, 2, "", "from 1 to 10000000, not"},
    {{"time", "QZ_Sel_Child", "--shape", "wide", "--random", "3"}, 2, "", "give --shape, --scene or --random, not two"},
    {{"time", "QZ_Sel_Child", "--pick", "one", "--select", "Controls"}, 2, "", "give --select or --pick, not both"},
    {{"time", "QZ_Sel_Child", "--pick", "half"}, 2, "", "unknown selection rule 'half' (valid: one, 1%, all, none)"},
    {{"time", "QZ_Sel_Child", "--select", "Controls", "--repeat", "2"},
     0,
     " on demo_rig.lws (bundled), 1 item selected, deferred updates, at least 2 repetitions (quick commands until "
     "they add up to 0.1 s)\n",
     ""},
    {{"time", "QZ_Sel_Child", "--shape", "DEEP", "--items", "3000", "--pick", "1%", "--repeat", "1"},
     0,
     " on deep scene of 3,000 items, 30 items selected, deferred updates, at least 1 repetition (quick",
     ""},
    {{"time", "QZ_Sel_Child", "--module", "@broken_line", "--select", "Controls", "--repeat", "1"},
     1,
     "broke the host's rules: ",
     ""},

    // Saving: the system's reason, and the scene's own frame range and rate.
    {{"save", "no_such_folder/x.lws"},
     2,
     "",
     "hostsim save: cannot write no_such_folder/x.lws: No such file or directory\n"},
    {{"save", "-"}, 0, "LWSC\n5\n\nFirstFrame 1\nLastFrame 120\nFramesPerSecond 24\n\n", ""},
    {{"save", "-", "--random", "7"}, 0, "LWSC\n5\n\nFirstFrame 1\nLastFrame 60\nFramesPerSecond 30\n\n", ""},
    {{"save", "-", "--random", "1"},
     0,
     "",
     "hostsim save: wrote the scene to standard output: 6 items, their names, object files and hierarchy, and the "
     "frame range and rate; motion, display, light, camera and render settings are not kept\n"},
    {{"save", "."}, 2, "", "hostsim save: . is a folder: name a file to write, such as ./scene.lws\n"},
    {{"save", "@SCENE"}, 2, "", " exists; add --force to replace it, or name another file\n"},
    {{"save", "@SCENE", "--scene", "@SCENE", "--force"}, 2, "", ": it is the scene being read (--scene "},
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
        std::string path = qztest::WriteTemporaryFile("user_scene.lws", "");
        qztest::RunProgram(qztest::HostsimPath(), {"save", path, "--random", "3", "--force"});
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

// Shown for a failing row: the command line it runs.
void PrintTo(const CliCase& cli, std::ostream* out) { *out << Joined(cli.arguments); }

// Each row's test is named after its arguments, so that a failure names the
// row: letters, digits and single underscores, at most 80 of them, and
// "_case2" on for the second row of the same name.
std::string RowName(const std::vector<std::string>& arguments) {
  constexpr std::size_t kMostCharacters = 80;
  std::string name;
  for (const char c : Joined(arguments).substr(std::string("hostsim").size())) {
    if (name.size() == kMostCharacters) break;
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (kept)
      name += c;
    else if (!name.empty() && name.back() != '_')
      name += '_';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "no_arguments" : name;
}

std::string RowTestName(const testing::TestParamInfo<CliCase>& info) {
  const std::string name = RowName(info.param.arguments);
  std::size_t repeats = 0;
  for (std::size_t row = 0; row < info.index; ++row) repeats += RowName(kCases[row].arguments) == name ? 1 : 0;
  return repeats == 0 ? name : name + "_case" + std::to_string(repeats + 1);
}

class HostsimRequest : public testing::TestWithParam<CliCase> {};

TEST_P(HostsimRequest, AnswersWithOutputAndExitStatus) {
  const CliCase& cli = GetParam();
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

INSTANTIATE_TEST_SUITE_P(HostsimProgram, HostsimRequest, testing::ValuesIn(kCases), RowTestName);

TEST(HostsimProgram, AMalformedSceneFileIsRejectedWithItsLine) {
  const std::string path = qztest::WriteTemporaryFile(
      "bad.lws", "LWSC\n5\nAddNullObject 10000000 Rig\nParentItem 10000009\nCurrentObject 0\n");
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"list", "--scene", path});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "hostsim list: " + path + ":4: the parent 10000009 of 'Rig' (10000000) is never declared\n");
  EXPECT_EQ(result.out, "");
  std::remove(path.c_str());
}

TEST(HostsimProgram, ASceneFileCutShortIsRefusedAtItsEnd) {
  const std::string path =
      qztest::WriteTemporaryFile("cut.lws", "LWSC\n5\nAddNullObject 10000000 Rig\n\nAddLight 20000000\nLightName Ke");
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"list", "--scene", path});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "hostsim list: " + path +
                            ":6: the file ends before the render and view settings that follow the cameras in a whole "
                            "scene (file cut short?)\n");
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
  ASSERT_EQ(qztest::RunProgram(qztest::HostsimPath(), {"save", path, "--force"}).status, 0);
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
  const fs::path folder = NewFolder("names", " Scène シーン");
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
}

TEST(HostsimProgram, NoTreePrintsTheResultAlone) {
  const ProcessResult result =
      qztest::RunProgram(qztest::HostsimPath(), {"run", "QZ_Sel_Child", "--select", "Controls", "--no-tree"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "QZ_Sel_Child on demo_rig.lws (bundled), deferred updates\n"
            "selected before: Controls\n"
            "result 0 (done)\n"
            "sent 5 lines:\n"
            "  SelectItem 10000005      IK.Hand.L\n"
            "  AddToSelection 10000006  IK.Hand.R\n"
            "  AddToSelection 10000007  IK.Foot.L\n"
            "  AddToSelection 10000008  IK.Foot.R\n"
            "  AddToSelection 10000009  LookAt\n"
            "messages: none\n"
            "selected after: IK.Hand.L, IK.Hand.R, IK.Foot.L, IK.Foot.R, LookAt\n");
}

// The honest answer to "which mode is my host?": the three results side by
// side, each part that is not the same in all of them starred.
TEST(HostsimProgram, UpdatesAllShowsEachModeAndMarksWhatDiffers) {
  const ProcessResult text = qztest::RunProgram(
      qztest::HostsimPath(), {"run", "QZ_Add_Child", "--select", "Character", "--updates", "all", "--no-tree"});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "QZ_Add_Child on demo_rig.lws (bundled), in each update mode\n"
            "selected before: Character\n"
            "\n"
            "deferred updates\n"
            "  result 0 (done)\n"
            "* sent 2 lines:\n"
            "*   AddToSelection 10000001  Body\n"
            "*   AddToSelection 10000004  Controls\n"
            "  messages: none\n"
            "* selected after: Character, Body, Controls\n"
            "\n"
            "live updates\n"
            "  result 0 (done)\n"
            "* sent 9 lines:\n"
            "*   AddToSelection 10000001  Body\n"
            "*   AddToSelection 10000004  Controls\n"
            "*   AddToSelection 10000002  Head\n"
            "*   AddToSelection 10000005  IK.Hand.L\n"
            "*   AddToSelection 10000006  IK.Hand.R\n"
            "*   AddToSelection 10000007  IK.Foot.L\n"
            "*   AddToSelection 10000008  IK.Foot.R\n"
            "*   AddToSelection 10000009  LookAt\n"
            "*   AddToSelection 10000003  Eyes\n"
            "  messages: none\n"
            "* selected after: Character, Body, Controls, Head (10000002), IK.Hand.L, IK.Hand.R, IK.Foot.L, IK.Foot.R, "
            "LookAt, Eyes\n"
            "\n"
            "snapshot updates\n"
            "  result 0 (done)\n"
            "* sent 2 lines:\n"
            "*   AddToSelection 10000001  Body\n"
            "*   AddToSelection 10000004  Controls\n"
            "  messages: none\n"
            "* selected after: Character, Body, Controls\n"
            "\n"
            "the modes differ in the lines sent, the selection after (*)\n");
  const ProcessResult tree = qztest::RunProgram(
      qztest::HostsimPath(), {"run", "QZ_Add_Child", "--select", "Character", "--updates", "all", "--color", "never"});
  EXPECT_EQ(tree.status, 0) << tree.err;
  EXPECT_NE(tree.out.find("(*)\n\nbefore deferred live snapshot   id        kind    item\n"
                          "     1        1    1        1   10000000  null    Character\n"
                          "     -        2    2        2   10000001  object    Body\n"),
            std::string::npos)
      << tree.out;
  EXPECT_NE(tree.out.find("     -        -    4        - * 10000002  object      Head\n"), std::string::npos);
}

// Each mode starts from a freshly loaded module: the panel shows the same in
// all three, though the first run confirmed a pattern and kind.
TEST(HostsimProgram, UpdatesAllLoadsTheModuleAfreshForEachMode) {
  const ProcessResult result =
      qztest::RunProgram(qztest::HostsimPath(), {"run", "QZ_Sel_ByName", "--select", "Shoulder.L", "--kind", "bone",
                                                 "--pattern", "*L", "--updates", "all", "--no-tree"});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string panel =
      "  panel: \"Select By Name(wildcard)\" showed Object, \"\"; pressed 4, typed \"*L\", confirmed Bone, \"*L\"; "
      "open returned 1\n";
  std::size_t count = 0;
  for (std::size_t at = result.out.find(panel); at != std::string::npos; at = result.out.find(panel, at + 1)) ++count;
  EXPECT_EQ(count, 3u) << result.out;
  EXPECT_NE(result.out.find("\nthe three modes agree\n"), std::string::npos) << result.out;
}

TEST(HostsimProgram, ATourIsCheckedWholeBeforeItsFirstStep) {
  const std::string path = qztest::WriteTemporaryFile(
      "tour.txt", "QZ_Sel_Child --select Controls\nQZ_Sel_Parent --select Arm.L\nQZ_Sel_Child --select Nobody\n");
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"tour", path});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "hostsim tour: " + path +
                            ":3: no item 'Nobody' in demo_rig.lws (bundled); did you mean 'Body'? (names and ids: "
                            "hostsim list)\n");
  std::remove(path.c_str());
}

struct TourCase {
  std::string tour;
  std::vector<std::string> options;
  int status;
  std::string out;  // must appear in standard output
  std::string err;  // the whole of standard error, after "hostsim tour: PATH:"
};

TEST(HostsimProgram, TourLinesAndForms) {
  const std::string twoSteps =
      "\xEF\xBB\xBF# one\nhostsim run QZ_Sel_Child --select Controls\n\nrun QZ_Sel_Parent --select Arm.L\n";
  const TourCase cases[] = {
      {twoSteps,
       {"--transcript"},
       0,
       "== QZ_Sel_Child --select Controls\nbefore: 10000004 Controls\nresult: 0\n  SelectItem 10000005\n",
       ""},
      {twoSteps, {"--transcript"}, 0, "== QZ_Sel_Parent --select Arm.L\nbefore: 40060001 Arm.L\nresult: 0\n", ""},
      {twoSteps,
       {"--no-tree", "--color", "never"},
       0,
       "== step 1 of 2\none\n$ hostsim run QZ_Sel_Child --select Controls\n\nQZ_Sel_Child on demo_rig.lws (bundled), "
       "deferred updates\n",
       ""},
      {twoSteps,
       {"--no-tree", "--color", "never"},
       0,
       "selected after: IK.Hand.L, IK.Hand.R, IK.Foot.L, IK.Foot.R, LookAt\n\n== step 2 of 2\n",
       ""},
      {twoSteps,
       {"--json"},
       0,
       "\"steps\":[{\"line\":2,\"caption\":[\"one\"],\"arguments\":[\"QZ_Sel_Child\",\"--select\",\"Controls\"],"
       "\"command\":\"QZ_Sel_Child\",\"updates\":\"deferred\",\"result\":0,\"lines\":[\"SelectItem 10000005\",",
       ""},
      {twoSteps,
       {"--json"},
       0,
       "{\"line\":4,\"caption\":[],\"arguments\":[\"QZ_Sel_Parent\",\"--select\",\"Arm.L\"],\"command\":"
       "\"QZ_Sel_Parent\",\"updates\":\"deferred\",\"result\":0,\"lines\":[\"SelectItem 40050001\"],\"messages\":[],"
       "\"panel\":null,\"protocolErrors\":[],\"before\":[\"40060001\"],\"after\":[\"40050001\"]}],\"items\":[{",
       ""},
      {twoSteps, {"--json", "--transcript"}, 2, "", "give --transcript or --json, not both\n"},
      {"QZ_Sel_Child --select Controls --updates all\n",
       {},
       2,
       "",
       ":1: --updates all needs a freshly loaded module for each mode, and a tour's steps share one; compare the modes "
       "with hostsim run\n"},
      {"QZ_Sel_Child --select Controls\nhostsim list\n",
       {},
       2,
       "",
       ":2: a step is a run line: 'hostsim run COMMAND ...', 'run COMMAND ...' or 'COMMAND ...'\n"},
      {"QZ_Sel_Child --select Controls\nrun --select Controls QZ_Sel_Parent\n",
       {},
       2,
       "",
       ":2: --select took the command name 'QZ_Sel_Parent' as one of its values: put the command first (hostsim run "
       "QZ_Sel_Parent --select ...), or end --select with --\n"},
  };
  for (const TourCase& row : cases) {
    const std::string path = qztest::WriteTemporaryFile("tour.txt", row.tour);
    std::vector<std::string> arguments = {"tour", path};
    arguments.insert(arguments.end(), row.options.begin(), row.options.end());
    SCOPED_TRACE(Joined(arguments) + "\n" + row.tour);
    const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), arguments);
    EXPECT_EQ(result.status, row.status) << result.err;
    EXPECT_NE(result.out.find(row.out), std::string::npos) << result.out;
    if (row.status == 0) {
      EXPECT_EQ(result.err, "");
      EXPECT_EQ(result.out.find("id        kind    item"), std::string::npos) << "a tree in " << result.out;
    } else {
      EXPECT_EQ(result.out, "");
      const std::string where = "hostsim tour: " + (row.err[0] == ':' ? path : "");
      EXPECT_EQ(result.err, where + row.err);
    }
    std::remove(path.c_str());
  }
}

// Colour only for a terminal, and not for one that asks for none.
TEST(HostsimProgram, ColourFollowsTheTerminalsWishes) {
  struct Environment {
    const char* noColor;
    const char* term;
    bool color;
  };
  const Environment cases[] = {
      {nullptr, "xterm-256color", true}, {nullptr, nullptr, true}, {nullptr, "dumb", false},
      {"1", "xterm-256color", false},    {"", "xterm", true},
  };
  const auto set = [](const char* name, const char* value) {
#if defined(_WIN32)
    _putenv_s(name, value == nullptr ? "" : value);
#else
    if (value == nullptr)
      unsetenv(name);
    else
      setenv(name, value, 1);
#endif
  };
  const auto saved = [](const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::optional<std::string>() : std::optional<std::string>(value);
  };
  const std::optional<std::string> savedNoColor = saved("NO_COLOR"), savedTerm = saved("TERM");
  for (const Environment& row : cases) {
    SCOPED_TRACE(std::string("NO_COLOR=") + (row.noColor ? row.noColor : "(unset)") +
                 " TERM=" + (row.term ? row.term : "(unset)"));
    set("NO_COLOR", row.noColor);
    set("TERM", row.term);
    std::ostringstream out, err;
    hostsim::Console terminal{out, err, true};
    EXPECT_EQ(hostsim::RunCommandLine({"list"}, terminal), 0) << err.str();
    EXPECT_EQ(out.str().find("\033[") != std::string::npos, row.color);
  }
  set("NO_COLOR", savedNoColor ? savedNoColor->c_str() : nullptr);
  set("TERM", savedTerm ? savedTerm->c_str() : nullptr);
}

TEST(HostsimProgram, SaveKeepsTheFrameRangeAndRate) {
  const std::string source =
      qztest::WriteTemporaryFile("timed.lws",
                                 "\xEF\xBB\xBFLWSC\n3\n\nFirstFrame -10\nLastFrame 250\nFramesPerSecond 29.970000\n\n"
                                 "AddNullObject Rig\nCurrentObject 0\n");
  const std::string saved = qztest::WriteTemporaryFile("saved.lws", "");
  const ProcessResult save = qztest::RunProgram(qztest::HostsimPath(), {"save", saved, "--scene", source, "--force"});
  EXPECT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(qztest::ReadFile(saved),
            "LWSC\n5\n\nFirstFrame -10\nLastFrame 250\nFramesPerSecond 29.97\n\nAddNullObject 10000000 Rig\n\n"
            "AmbientColor 1 1 1\nAmbientIntensity 0.05\n\nCurrentObject 0\nCurrentLight 0\nCurrentCamera 0\n");
  std::remove(source.c_str());
  std::remove(saved.c_str());
}

// A generated scene saved is the scene time measures on, item for item, at a
// size where every shape repeats its pattern.
TEST(HostsimProgram, SaveWritesEachGeneratedShapeAsTimeMakesIt) {
  const std::string saved = qztest::WriteTemporaryFile("shape.lws", "");
  for (const hostsim::Shape shape : hostsim::kShapes) {
    SCOPED_TRACE(hostsim::ShapeName(shape));
    const ProcessResult save = qztest::RunProgram(
        qztest::HostsimPath(), {"save", saved, "--shape", hostsim::ShapeName(shape), "--items", "2100", "--force"});
    ASSERT_EQ(save.status, 0) << save.err;
    EXPECT_EQ(qztest::Outline(hostsim::ReadSceneFile(saved)), qztest::Outline(hostsim::MakeScene(shape, 2100)));
  }
  std::remove(saved.c_str());
}

// A saved scene keeps less than most it reads: save never writes over the
// one it reads, by whatever name it is reached, and over another file only
// with --force, whole.
TEST(HostsimProgram, SaveNeverReplacesTheSceneItReads) {
  namespace fs = std::filesystem;
  const fs::path folder = NewFolder("save_guard", " Scène");
  const auto inFolder = [&](const std::string& name) { return (folder / fs::u8path(name)).u8string(); };
  const auto readBack = [](const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(fs::u8path(path), std::ios::binary).rdbuf();
    return text.str();
  };
  const std::string scene = inFolder("Héros.lws");
  const std::string original = "LWSC\r\n3\r\n\r\nAddNullObject Rig\r\n\r\nAmbientColor 1 1 1\r\nCurrentObject 0\r\n";
  std::ofstream(fs::u8path(scene), std::ios::binary) << original;
  std::vector<std::string> sameFile = {scene, (folder / "." / fs::u8path("Héros.lws")).u8string()};
  std::error_code linked;
  fs::create_hard_link(fs::u8path(scene), fs::u8path(inFolder("linked.lws")), linked);
  if (!linked) sameFile.push_back(inFolder("linked.lws"));
#if defined(_WIN32)
  sameFile.push_back(inFolder("HÉROS.LWS"));  // Windows names ignore case, accented letters too
#endif
  for (const std::string& output : sameFile) {
    for (const bool force : {false, true}) {
      std::vector<std::string> arguments = {"save", output, "--scene", scene};
      if (force) arguments.emplace_back("--force");
      SCOPED_TRACE(Joined(arguments));
      const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), arguments);
      EXPECT_EQ(result.status, 2);
      std::string expected = "hostsim save: will not write over ";
      expected += output;
      expected +=
          ": it is the scene being read (--scene " + scene + "), and the saved scene keeps less; name another file\n";
      EXPECT_EQ(result.err, expected);
      EXPECT_EQ(readBack(scene), original);
    }
  }

  const std::string other = inFolder("other.lws");
  std::ofstream(fs::u8path(other), std::ios::binary) << "someone's notes";
  const ProcessResult refused = qztest::RunProgram(qztest::HostsimPath(), {"save", other, "--scene", scene});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "hostsim save: " + other + " exists; add --force to replace it, or name another file\n");
  EXPECT_EQ(readBack(other), "someone's notes");
  const ProcessResult forced = qztest::RunProgram(qztest::HostsimPath(), {"save", other, "--scene", scene, "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(forced.err, "hostsim save: wrote " + other +
                            ": 1 item, their names, object files and hierarchy, and the frame range and rate; motion, "
                            "display, light, camera and render settings are not kept\n");
  EXPECT_EQ(readBack(other).compare(0, 8, "LWSC\n5\n\n"), 0);
  // Written beside and renamed: no temporary file is left.
  std::vector<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) left.push_back(entry.path().u8string());
  EXPECT_EQ(left.size(), linked ? 2u : 3u) << ::testing::PrintToString(left);
  fs::remove_all(folder);
}

// Names are bytes from scene files, perhaps in a legacy code page: each byte
// that is not UTF-8 shows as "\xE9" in the text, the JSON (which carries the
// bytes beside) and the messages, and --select takes that form.
TEST(HostsimProgram, NamesThatAreNotUtf8ShowTheirBytes) {
  const std::string scene = qztest::WriteTemporaryFile(
      "bytes.lws",
      "LWSC\n5\n\nAddNullObject 10000000 Caf\xE9\nAddNullObject 10000001 Caf\xC3\xA9\n"
      "AddNullObject 10000002 S\xED\xA0\x80\n\nLoadObjectLayer 1 10000003 Objects/\xFF.lwo\n"
      "\nAddNullObject 10000004 Lit\\x41\xFF\nParentItem 10000000\nAddNullObject 10000005 C:\\x64\nCurrentObject 0\n");
  const ProcessResult json = qztest::RunProgram(qztest::HostsimPath(), {"list", "--json", "--scene", scene});
  EXPECT_EQ(json.status, 0) << json.err;
  for (const std::string expected : {
           "\"name\":\"Caf\\\\xE9\",\"nameBytes\":\"436166e9\",\"depth\":0,",
           "\"name\":\"Caf\xC3\xA9\",\"depth\":0,",
           "\"name\":\"S\\\\xED\\\\xA0\\\\x80\",\"nameBytes\":\"53eda080\",",
           "\"name\":\"\\\\xFF\",\"nameBytes\":\"ff\",\"depth\":0,\"parent\":null,\"file\":\"C:"
           "\\\\Content\\\\Objects\\\\"
           "\\\\xFF.lwo\",\"fileBytes\":\"433a5c436f6e74656e745c4f626a656374735cff2e6c776f\"}",
           "\"name\":\"Lit\\\\x5Cx41\\\\xFF\","
           "\"nameBytes\":\"4c69745c783431ff\",",
           "\"name\":\"C:\\\\x64\",\"depth\":0,",
       }) {
    EXPECT_NE(json.out.find(expected), std::string::npos) << expected << "\n" << json.out;
  }
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {{"list"},
       0,
       "10000000  null    Caf\\xE9\n10000004  null      Lit\\x5Cx41\\xFF\n10000001  null    Caf\xC3\xA9\n",
       ""},
      {{"run", "QZ_Sel_Child", "--select", "Caf\\xE9", "--no-tree"},
       0,
       "selected before: Caf\\xE9\nresult 0 (done)\nsent 1 line:\n  SelectItem 10000004  Lit\\x5Cx41\\xFF\n",
       ""},
      {{"run", "QZ_Sel_Child", "--select", "caf\\xe9", "--no-tree"}, 2, "", "did you mean 'Caf\\xE9', "},
      {{"run", "QZ_Sel_Child", "--select", "Lit\\x5Cx41\\xFF", "--no-tree"},
       0,
       "selected before: Lit\\x5Cx41\\xFF\n",
       ""},
      {{"run", "QZ_Sel_Child", "--select", "C:\\x64", "--no-tree"}, 0, "selected before: C:\\x64\n", ""},
      {{"run", "QZ_Sel_Child", "--select", "Cafe"}, 2, "", "; did you mean 'Caf\\xE9', 'Caf\xC3\xA9'? (names"},
  };
  for (const Case& row : cases) {
    std::vector<std::string> arguments = row.arguments;
    arguments.insert(arguments.end(), {"--scene", scene});
    SCOPED_TRACE(Joined(arguments));
    const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), arguments);
    EXPECT_EQ(result.status, row.status) << result.err;
    EXPECT_NE(result.out.find(row.out), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(row.err), std::string::npos) << result.err;
  }
  std::remove(scene.c_str());
}

// Every command is timed beside a floor that made the same calls (or the
// program says why not); the counts are the run's own.
TEST(HostsimProgram, TimeMeasuresEveryCommandBesideItsFloor) {
  const ProcessResult all =
      qztest::RunProgram(qztest::HostsimPath(), {"time", "all", "--shape", "mixed", "--items", "3000", "--pick", "1%",
                                                 "--repeat", "3", "--json", "--pattern", "*_L_*", "--kind", "object"});
  ASSERT_EQ(all.status, 0) << all.out << all.err;
  const qztest::JsonValue report = qztest::ParseJson(all.out);
  EXPECT_EQ(report["scene"].text, "mixed scene of 3,000 items");
  EXPECT_EQ(report["selected"].number, 30);
  EXPECT_EQ(report["repetitions"].number, 3);
  ASSERT_EQ(report["commands"].items.size(), 11u);
  for (const qztest::JsonValue& command : report["commands"].items) {
    SCOPED_TRACE(command["command"].text);
    EXPECT_TRUE(command["problem"].IsNull()) << command["problem"].text;
    EXPECT_EQ(command["result"].number, 0);
    EXPECT_GT(command["visited"].number, 0);
    EXPECT_GE(command["repetitions"].number, 3);
    EXPECT_EQ(command["panelSeconds"].IsNull(), command["command"].text != "QZ_Sel_ByName");
    for (const char* side : {"moduleSeconds", "floorSeconds"}) {
      const qztest::JsonValue& spread = command[side];
      EXPECT_LE(spread["min"].number, spread["median"].number) << side;
      EXPECT_LE(spread["median"].number, spread["max"].number) << side;
      EXPECT_GE(spread["min"].number, 0) << side;
    }
  }

  const ProcessResult one = qztest::RunProgram(
      qztest::HostsimPath(), {"time", "QZ_Sel_Child", "--select", "Controls", "--repeat", "1", "--json"});
  ASSERT_EQ(one.status, 0) << one.err;
  const qztest::JsonValue child = qztest::ParseJson(one.out)["commands"].items.at(0);
  EXPECT_EQ(child["lines"].number, 5);  // as "hostsim run QZ_Sel_Child --select Controls" sends
  EXPECT_EQ(child["visited"].number, 6);
}

// A module time is a figure only where it was measured: a search of a few
// items behind a panel of a hundred microseconds is not shown as 0.0 us
// beside an overhead computed from the few runs that came out above zero.
TEST(HostsimProgram, TimeShowsAModuleFigureOnlyWhereItWasMeasured) {
  const ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), {"time", "all", "--repeat", "1"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::istringstream lines(result.out);
  std::size_t rows = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, 3, "QZ_") != 0 || line.find(':') != std::string::npos) continue;
    ++rows;
    SCOPED_TRACE(line);
    // command, visited and calls take 44 columns, the module 26 and the floor 26.
    ASSERT_GT(line.size(), 96u);
    const std::string module = line.substr(44, 26);
    const std::string overhead = line.substr(96);
    EXPECT_NE(module.compare(0, 4, "0.0 "), 0);
    EXPECT_NE(module.compare(0, 5, "0.00 "), 0);
    const bool figure = module[0] >= '0' && module[0] <= '9';
    EXPECT_EQ(overhead != "-", figure) << "an overhead goes with a module figure";
    if (!figure) {
      EXPECT_TRUE(module.find("lost in its panel's time") == 0 || module.find("below the clock") == 0);
    }
  }
  EXPECT_EQ(rows, 11u) << result.out;
  EXPECT_NE(result.out.find("\nQZ_Sel_ByName: its panel, "), std::string::npos) << result.out;
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

std::string GoldenTour() { return qztest::ReadFile(qztest::SourceFolder() + "/tests/golden/tour.txt"); }

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

TEST(Text, HexHasAtLeastTheDigitsAskedFor) {
  EXPECT_EQ(hostsim::Hex(0), "0");
  EXPECT_EQ(hostsim::Hex(0, 0), "");
  EXPECT_EQ(hostsim::Hex(0x1B, 4), "001B");
  EXPECT_EQ(hostsim::Hex(0xAB, 2, hostsim::HexCase::Lower), "ab");
  EXPECT_EQ(hostsim::Hex(0x123456789ull, 8), "123456789");
  EXPECT_EQ(hostsim::Hex(~0ull), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(hostsim::IdText(0x10000A0F), "10000A0F");
}

// Names come from scene files: whatever bytes they hold, the output parses,
// and shows each byte that is not UTF-8 as the text output does.
TEST(JsonWriter, StringsAreEscapedAndAlwaysValidUtf8) {
  const JsonCase cases[] = {
      {"Arm.L", "\"Arm.L\""},
      {"say \"hi\" \\ there", "\"say \\\"hi\\\" \\\\ there\""},
      {"tab\there\nline", "\"tab\\there\\nline\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {"a\x7f\"b\"\x02"
       "c",
       "\"a\x7f\\\"b\\\"\\u0002c\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
      {"bad\xff\xc3", "\"bad\\\\xFF\\\\xC3\""},
      {"a\\x41", "\"a\\\\x41\""},
      {"a\\x41\xff", "\"a\\\\x5Cx41\\\\xFF\""},
      // A surrogate, an overlong form and a value past U+10FFFF are not UTF-8 either.
      {"\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80", "\"\\\\xED\\\\xA0\\\\x80\\\\xC0\\\\xAF\\\\xF4\\\\x90\\\\x80\\\\x80\""},
      // Overlong forms, surrogates and code points past U+10FFFF are not
      // UTF-8 either, though their bytes look like it.
      {"\xC0\xAF\xE0\x80\xAF", "\"\\\\xC0\\\\xAF\\\\xE0\\\\x80\\\\xAF\""},
      {"\xED\xA0\x80\xED\x9F\xBF", "\"\\\\xED\\\\xA0\\\\x80\xED\x9F\xBF\""},
      {"\xF4\x90\x80\x80\xF4\x8F\xBF\xBF", "\"\\\\xF4\\\\x90\\\\x80\\\\x80\xF4\x8F\xBF\xBF\""},
      {"\xF0\x8F\xBF\xBF\xF0\x90\x80\x80", "\"\\\\xF0\\\\x8F\\\\xBF\\\\xBF\xF0\x90\x80\x80\""},
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
