// The select-by-name panel as the user meets it, and the emulated panel
// services' own strictness.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/panel_records.h"
#include "tests/support/module_fixture.h"
#include "tests/support/rig_scene.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using hostsim::Host;
using hostsim::PanelRecord;
using hostsim::PanelUser;
using qztest::Lines;

// A private copy of the module, so its remembered pattern and kind start as a
// freshly loaded library's do, whatever ran before.
class FreshModule {
 public:
  FreshModule() {
    const std::filesystem::path original = hostsim::DefaultModulePath();
    path_ = std::filesystem::temp_directory_path() /
            ("qz_fresh_" + std::to_string(std::random_device()()) + original.extension().string());
    std::filesystem::copy_file(original, path_, std::filesystem::copy_options::overwrite_existing);
    module_ = hostsim::ModuleLibrary::Open(path_.string());
  }
  ~FreshModule() {
    module_.reset();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const hostsim::ModuleLibrary& operator*() const { return *module_; }

 private:
  std::filesystem::path path_;
  std::unique_ptr<hostsim::ModuleLibrary> module_;
};

hostsim::RunResult RunByName(Host& host, const PanelUser& user,
                             const hostsim::ModuleLibrary& module = qztest::Module()) {
  host.panels().user() = user;
  hostsim::RunResult result = host.Run(module, "QZ_Sel_ByName");
  for (const std::string& error : result.protocolErrors) ADD_FAILURE() << error;
  return result;
}

// The trace entries that follow `entry`, up to but not including `end`.
Lines Between(const PanelRecord& panel, const std::string& entry, const std::string& end) {
  const auto begin = std::find(panel.trace.begin(), panel.trace.end(), entry);
  if (begin == panel.trace.end()) return {"(no " + entry + ")"};
  return Lines(begin + 1, std::find(begin + 1, panel.trace.end(), end));
}

Lines Shown(const PanelRecord& panel) { return {panel.shown[1].attributes.at(4), panel.shown[0].attributes.at(4)}; }

// The panel's place: the desktop the module asks for is the one the test sees.
std::pair<std::string, std::string> ExpectedPlace() {
#if defined(_WIN32)
  RECT desktop{};
  GetClientRect(GetDesktopWindow(), &desktop);
  return {std::to_string((desktop.right - 320) >> 1), std::to_string((desktop.bottom - 250) >> 1)};
#else
  return {"800", "415"};  // the 1920 x 1080 stand-in desktop
#endif
}

TEST(ByNamePanel, FirstRunBuildsThePanelEmptyAndOnObjects) {
  FreshModule module;
  Host host;
  const hostsim::RunResult result = RunByName(host, PanelUser().Dismisses(), *module);
  EXPECT_EQ(result.code, 0);
  const PanelRecord& panel = *host.panels().last();
  EXPECT_EQ(panel.title, "Select By Name(wildcard)");
  ASSERT_EQ(panel.controls.size(), 3u);
  EXPECT_EQ(panel.controls[0].items, (Lines{" Object", "  Light", " Camera", "  Bone"}));
  using Words = std::map<int, std::int64_t>;
  EXPECT_EQ(panel.controls[0].descriptor, (Words{{0, 9}, {16, 0}}));
  EXPECT_EQ(panel.controls[1].descriptor, (Words{{0, 1}, {4, 44}}));
  EXPECT_EQ(panel.controls[2].descriptor, (Words{{0, 19}, {4, 1}, {8, 0}}));
  for (const auto& control : panel.controls) EXPECT_EQ(control.label, "");
  const auto [horizontal, vertical] = ExpectedPlace();
  EXPECT_EQ(panel.trace, (Lines{"create \"Select By Name(wildcard)\"",
                                "add ChoiceControl",
                                "add EditControl",
                                "add BorderControl",
                                "BorderControl 0 = -5",
                                "BorderControl 1 = -5",
                                "ChoiceControl 0 = 0",
                                "EditControl 0 = 0",
                                "EditControl 1 = 0",
                                "ChoiceControl 1 = 20",
                                "EditControl 4 = \"\" [128]",
                                "ChoiceControl 4 = 0",
                                "BorderControl 16 = EditControl",
                                "BorderControl 13 = draw callback",
                                "panel 12 = services record",
                                "panel 13 = key handler",
                                "panel 9 = open handler",
                                "panel 2 = 240",
                                "panel 3 = 60",
                                "panel 1 = " + vertical,
                                "open 3",
                                "open handler",
                                "panel 0 = " + horizontal,
                                "draw callback BorderControl",
                                "EditControl 21 = 0",
                                "draw BorderControl 0",
                                "dismiss",
                                "open returned 0",
                                "destroy"}));
  EXPECT_EQ(panel.lookupAtOpen, reinterpret_cast<void*>(Host::ServiceLookupFunction()));
  EXPECT_NE(panel.userDataAtOpen, nullptr);
  EXPECT_TRUE(result.lines.empty());
}

TEST(ByNamePanel, ConfirmedRunIsRememberedAndDismissedOneChangesNothing) {
  FreshModule module;
  Host host;
  RunByName(host, PanelUser().Types("Arm*").Presses('4').Confirms(), *module);
  RunByName(host, PanelUser().Types("Leg*").Presses('2').Dismisses(), *module);
  const hostsim::RunResult result = RunByName(host, PanelUser().Dismisses(), *module);
  EXPECT_EQ(Shown(*host.panels().last()), (Lines{"\"Arm*\" [128]", "3"}));
  EXPECT_TRUE(result.lines.empty());
  EXPECT_TRUE(result.messages.empty());
}

struct KeyCase {
  std::uint32_t key;
  int handled;
  Lines effect;  // what the handler did to the panel
};

TEST(ByNamePanel, KeysChooseTheKindFocusTheFieldOrClose) {
  const KeyCase cases[] = {
      {'1', 1, {"ChoiceControl 4 = 0"}},
      {'2', 1, {"ChoiceControl 4 = 1"}},
      {'3', 1, {"ChoiceControl 4 = 2"}},
      {'4', 1, {"ChoiceControl 4 = 3"}},
      {0x20033, 1, {"ChoiceControl 4 = 2"}},  // modifier bits above 16
      {'5', 0, {}},
      {'0', 0, {}},
      {0x10009, 1, {"EditControl 21 = 0"}},
      {9, 1, {"EditControl 21 = 0"}},
      {13, 1, {"close"}},
      {100, 1, {"close"}},
      {'D', 0, {}},
  };
  for (const KeyCase& row : cases) {
    SCOPED_TRACE(row.key);
    Host host;
    RunByName(host, PanelUser().Presses(row.key).Dismisses());
    const PanelRecord& panel = *host.panels().last();
    char key[32];
    std::snprintf(key, sizeof key, "key 0x%X", static_cast<unsigned>(row.key));
    EXPECT_EQ(Between(panel, key, key + (" -> " + std::to_string(row.handled))), row.effect);
    // Closing from the handler is the host's OK; the user's own choice never comes.
    EXPECT_EQ(panel.openResult, row.effect == Lines{"close"} ? 1 : 0);
  }
}

TEST(ByNamePanel, ClosingKeyEndsTheUsersTurnAndReadsTheChoiceBack) {
  Host host;
  RunByName(host, PanelUser().Types("Cam*").Presses('3').Presses(13).Types("lost").Presses('1').Dismisses());
  const PanelRecord& panel = *host.panels().last();
  EXPECT_EQ(Between(panel, "key 0xD -> 1", "destroy"),
            (Lines{"open returned 1", "get ChoiceControl 4 -> 2", "get EditControl 4 -> \"Cam*\" [128]"}));
}

// The page's user: asked for each step with the panel as it stands, told
// whether the key handler took the last key, and ending with OK or Cancel. A
// click on the choice sets it without the handler.
TEST(ByNamePanel, LiveUserIsAskedForEachStepAsThePanelStands) {
  using Action = hostsim::UserStep::Action;
  const auto step = [](Action action, std::string text = "", std::uint32_t key = 0, std::int32_t item = 0) {
    hostsim::UserStep made;
    made.action = action;
    made.text = std::move(text);
    made.key = key;
    made.item = item;
    return made;
  };
  const std::vector<hostsim::UserStep> steps = {step(Action::Type, "Arm*"),     step(Action::Key, "", 'x'),
                                                step(Action::Key, "", '2'),     step(Action::Choose, "", 0, 7),
                                                step(Action::Choose, "", 0, 3), step(Action::Confirm)};
  FreshModule module;
  Host host(qztest::Rig());
  std::vector<std::string> seen;  // field, choice, key handled
  PanelUser user;
  user.live = [&](const PanelRecord& panel, std::optional<bool> keyHandled) {
    seen.push_back(panel.controls[1].text + " " + std::to_string(panel.controls[0].choice) + " " +
                   (keyHandled ? std::to_string(*keyHandled) : "-"));
    return steps.at(seen.size() - 1);
  };
  const hostsim::RunResult live = RunByName(host, user, *module);
  EXPECT_EQ(seen, (Lines{" 0 -", "Arm* 0 -", "Arm* 0 0", "Arm* 1 1", "Arm* 1 -", "Arm* 3 -"}));
  EXPECT_EQ(host.panels().last()->userActions, (Lines{"typed \"Arm*\"", "pressed x (not handled)", "pressed 2",
                                                      "chose item 7 (no such item)", "chose \"Bone\"", "confirmed"}));

  Host scripted(qztest::Rig());
  const hostsim::RunResult expected = RunByName(scripted, PanelUser().Types("Arm*").Presses('4').Confirms());
  EXPECT_FALSE(expected.lines.empty());
  EXPECT_EQ(live.lines, expected.lines);

  Host dismissed(qztest::Rig());
  user.live = [&](const PanelRecord&, std::optional<bool>) { return step(Action::Dismiss); };
  EXPECT_TRUE(RunByName(dismissed, user, *module).lines.empty());
  EXPECT_EQ(dismissed.panels().last()->openResult, 0);
}

struct PatternCase {
  std::size_t typed;
  bool unterminatedHost;
  std::size_t arrives;
};

TEST(ByNamePanel, PatternStaysWithinItsBufferAndTerminated) {
  const PatternCase cases[] = {{0, false, 0},    {127, false, 127}, {128, false, 127},
                               {127, true, 127}, {128, true, 127},  {300, true, 127}};
  for (const PatternCase& row : cases) {
    SCOPED_TRACE(std::to_string(row.typed) + (row.unterminatedHost ? " unterminated" : ""));
    std::string typed;
    for (std::size_t index = 0; index < row.typed; ++index) typed += static_cast<char>('a' + index % 26);
    Host host;
    host.panels().faults().unterminatedText = row.unterminatedHost;
    RunByName(host, PanelUser().Types(typed).Presses('1').Confirms());
    RunByName(host, PanelUser().Dismisses());
    EXPECT_EQ(Shown(*host.panels().last())[0], "\"" + typed.substr(0, row.arrives) + "\" [128]");
  }
}

TEST(ByNamePanel, ChoiceOutsideTheFourKindsKeepsTheLastKind) {
  for (const std::int32_t bad : {-1, 4, 1000}) {
    SCOPED_TRACE(bad);
    Host host;
    RunByName(host, PanelUser().Types("x").Presses('2').Confirms());
    host.panels().faults().choiceReadBack = bad;
    RunByName(host, PanelUser().Types("y").Confirms());
    host.panels().faults().choiceReadBack.reset();
    RunByName(host, PanelUser().Dismisses());
    EXPECT_EQ(Shown(*host.panels().last()), (Lines{"\"y\" [128]", "1"}));
  }
}

TEST(ByNamePanel, WithoutAPanelTheCommandEndsQuietly) {
  const std::function<void(Host&)> faults[] = {
      [](Host& host) { host.faults().missingServices = {"LWPanelServices"}; },
      [](Host& host) { host.panels().faults().createFails = true; },
      [](Host& host) { host.panels().faults().failingControl = "EditControl"; },
      [](Host& host) { host.panels().faults().failingControl = "BorderControl"; },
  };
  for (std::size_t row = 0; row < std::size(faults); ++row) {
    SCOPED_TRACE(row);
    Host host;
    RunByName(host, PanelUser().Types("seen").Presses('3').Confirms());
    faults[row](host);
    const hostsim::RunResult result = RunByName(host, PanelUser().Types("lost").Presses('1').Confirms());
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(result.lookups.back(), "LWPanelServices");
    host.faults().missingServices.clear();
    host.panels().faults() = {};
    RunByName(host, PanelUser().Dismisses());
    EXPECT_EQ(Shown(*host.panels().last()), (Lines{"\"seen\" [128]", "2"}));
  }
}

struct NullBlockCase {
  PanelUser user;
  Lines lines;
  Lines messages;
};

TEST(ByNamePanel, HandlersIgnoreANullBlock) {
  const NullBlockCase cases[] = {
      {PanelUser().Presses('4').Presses(9).Presses(13).Dismisses(), {}, {}},
      // Enter closes nothing, so the user's own OK confirms what was shown:
      // the objects named Arm*, not bones.
      {PanelUser().Presses('4').Presses(9).Presses(13).Confirms(),
       {"EditObjects", "SelectItem 10000001", "AddToSelection 10000003"},
       {}},
  };
  for (const NullBlockCase& row : cases) {
    SCOPED_TRACE(row.user.confirms ? "confirmed" : "dismissed");
    FreshModule module;
    Host host(qztest::Rig());
    RunByName(host, PanelUser().Types("Arm*").Presses('1').Confirms(), *module);
    host.panels().faults().nullHandlerData = true;
    const hostsim::RunResult result = RunByName(host, row.user, *module);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.lines, row.lines);
    Lines messages;
    for (const hostsim::Message& message : result.messages) messages.push_back(message.text);
    EXPECT_EQ(messages, row.messages);
    const PanelRecord& panel = *host.panels().last();
    // No place set, no field focused, no key handled, no close.
    EXPECT_EQ(Between(panel, "open 3", row.user.confirms ? "confirm" : "dismiss"),
              (Lines{"open handler", "draw callback BorderControl", "draw BorderControl 0", "key 0x34", "key 0x34 -> 0",
                     "key 0x9", "key 0x9 -> 0", "key 0xD", "key 0xD -> 0"}));
    host.panels().faults().nullHandlerData = false;
    RunByName(host, PanelUser().Dismisses(), *module);
    EXPECT_EQ(Shown(*host.panels().last()), (Lines{"\"Arm*\" [128]", "0"}));
  }
}

// ---- the emulated services catch a module that misuses them ---------------

using Misuse = void (*)(PanelServices& services, PanelId panel);
Misuse g_misuse = nullptr;

// A module that creates a panel "t", misuses it, and destroys it.
int MisusingCommand(int, ServiceLookup lookup, void*, void*) {
  auto& services = *static_cast<PanelServices*>(lookup(kPanelService, 0));
  PanelId panel = services.create("t", nullptr);
  g_misuse(services, panel);
  services.destroy(panel);
  return 0;
}

PanelControl* Add(PanelServices& services, PanelId panel, const char* name, std::int32_t type) {
  ControlDescriptor descriptor{type, 1, {nullptr}, 0};
  return services.addControl(panel, name, &descriptor, "");
}

struct MisuseCase {
  const char* error;
  Misuse misuse;
};

TEST(PanelServicesEmulation, ReportsMisuse) {
  const MisuseCase cases[] = {
      {"panel: set of unknown attribute panel 5", [](PanelServices& s, PanelId p) { s.set(p, 5, nullptr); }},
      {"panel: \"u\" was never destroyed", [](PanelServices& s, PanelId) { s.create("u", nullptr); }},
      {"panel: open of a panel the host never created",
       [](PanelServices& s, PanelId) {
         int notAPanel = 0;
         s.open(&notAPanel, 3);
       }},
      {"panel: add EditControl with type code 19, expected 1",
       [](PanelServices& s, PanelId p) { Add(s, p, kEditControlName, kBorderControlType); }},
      {"panel: set EditControl 4 with a text not terminated within its capacity",
       [](PanelServices& s, PanelId p) {
         PanelControl* edit = Add(s, p, kEditControlName, kEditControlType);
         char full[4] = {'a', 'b', 'c', 'd'};
         ControlValue value{kTextValue, 0, full, 4};
         edit->set(edit, kControlValue, &value);
       }},
      {"panel: close of \"t\" while not open", [](PanelServices& s, PanelId p) { s.close(p); }},
      {"panel: draw of BorderControl while its panel is not open",
       [](PanelServices& s, PanelId p) {
         PanelControl* border = Add(s, p, kBorderControlName, kBorderControlType);
         border->draw(border, 0);
       }},
  };
  for (const MisuseCase& row : cases) {
    SCOPED_TRACE(row.error);
    Host host;
    g_misuse = row.misuse;
    const hostsim::RunResult result = host.Run(MisusingCommand);
    ASSERT_FALSE(result.protocolErrors.empty());
    EXPECT_EQ(result.protocolErrors[0], row.error);
  }
}

TEST(PanelServicesEmulation, DroppedPanelsLeaveLaterRunsIntact) {
  Host host;
  host.panels().SetKeepPanels(false);
  for (int run = 0; run < 3; ++run) RunByName(host, PanelUser().Types("x").Presses('2').Confirms());
  EXPECT_EQ(host.panels().createCalls(), 3);
  EXPECT_TRUE(host.panels().panels().empty());
  host.panels().SetKeepPanels(true);
  RunByName(host, PanelUser().Dismisses());
  EXPECT_EQ(Shown(*host.panels().last()), (Lines{"\"x\" [128]", "1"}));
}

}  // namespace
