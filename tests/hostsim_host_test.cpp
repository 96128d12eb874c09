// hostsim itself: the scene model's ids and links, and the strictness that
// makes it worth testing against. Fake activations stand in for a module here.
#include "hostsim/host/host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/panel_records.h"
#include "hostsim/host/module_library.h"
#include "hostsim/process/crash_cause.h"
#include "hostsim/scene/scene.h"
#include "tests/support/module_fixture.h"
#include "tests/support/process.h"
#include "tests/support/rig_scene.h"

namespace {

using hostsim::Host;
using hostsim::Scene;
using hostsim::UpdateMode;

TEST(HostsimScene, IdsFollowTheHostsNumbering) {
  Scene scene;
  const auto body = scene.AddObject("Body");
  const auto null = scene.AddNull("Root");
  const auto light = scene.AddLight("Key");
  const auto camera = scene.AddCamera("Camera");
  const auto bone0 = scene.AddBone(null, "Hip");
  const auto bone1 = scene.AddBone(null, "Spine", bone0);
  const auto otherBone = scene.AddBone(body, "Jaw");
  EXPECT_EQ(body, 0x10000000u);
  EXPECT_EQ(null, 0x10000001u);
  EXPECT_EQ(light, 0x20000000u);
  EXPECT_EQ(camera, 0x30000000u);
  EXPECT_EQ(bone0, 0x40000001u);
  EXPECT_EQ(bone1, 0x40010001u);
  EXPECT_EQ(otherBone, 0x40000000u);
  EXPECT_EQ(scene.Get(bone0).parent, scene.IndexOf(null));
  EXPECT_EQ(scene.Get(bone1).parent, scene.IndexOf(bone0));
  EXPECT_NE(scene.Get(body).fileName.find('\\'), std::string::npos);
  EXPECT_GT(scene.Get(body).pointCount, 0);
  EXPECT_EQ(scene.Get(null).pointCount, 0);
  EXPECT_TRUE(scene.Get(null).fileName.empty());
}

TEST(HostsimScene, ReparentingKeepsChildOrderAndRefusesCycles) {
  Scene scene;
  const auto a = scene.AddNull("A");
  const auto b = scene.AddNull("B");
  const auto c = scene.AddNull("C", a);
  scene.SetParent(b, a);
  const hostsim::Item& parent = scene.Get(a);
  EXPECT_EQ(scene.At(parent.firstChild).id, c);
  EXPECT_EQ(scene.At(scene.At(parent.firstChild).nextSibling).id, b);
  EXPECT_EQ(scene.At(scene.At(0).firstChild).id, a) << "B left the top level";
  EXPECT_EQ(scene.At(scene.At(0).firstChild).nextSibling, hostsim::kNoItem);
  EXPECT_THROW(scene.SetParent(a, c), hostsim::SceneError);
  EXPECT_THROW(scene.SetParent(a, a), hostsim::SceneError);
  EXPECT_THROW(scene.SetParent(a, 0x10000099), hostsim::SceneError);
  EXPECT_THROW(scene.AddBone(0x20000000, "Orphan"), hostsim::SceneError);
  hostsim::ItemSpec duplicate;
  duplicate.id = a;
  EXPECT_THROW(scene.Add(duplicate), hostsim::SceneError);
}

// ---- fake modules -------------------------------------------------------

std::vector<std::string> g_lines;  // what the next fake activation sends

int SendLines(int, ServiceLookup lookup, void* local, void*) {
  lookup(kItemInfoService, 0);
  const auto* generic = static_cast<const LayoutGeneric*>(local);
  for (const std::string& line : g_lines) generic->evaluate(generic->context, line.c_str());
  return 0;
}

int SendWithForeignContext(int, ServiceLookup, void* local, void*) {
  static_cast<const LayoutGeneric*>(local)->evaluate(&g_lines, "EditObjects");
  return 0;
}

int AskWithStrippedHighBits(int, ServiceLookup lookup, void*, void*) {
  const auto* items = static_cast<const ItemInfo*>(lookup(kItemInfoService, 0));
  const ItemId first = items->first(0, 0);
  items->parent(first & 0xFFFFFFFFu);
  return 0;
}

int ReturnSeven(int, ServiceLookup, void*, void*) { return 7; }

Scene ThreeNulls() {
  Scene scene;
  scene.AddNull("A");
  scene.AddNull("B");
  scene.AddNull("C");
  return scene;
}

TEST(HostsimHost, RejectsLinesTheModuleMayNotSend) {
  const char* const bad[] = {
      "SelectItem 10000009",             // no such item
      "SelectItem",                      // no id
      "SelectItem 1000000G",             // not hex
      "SelectItem  10000000",            // two spaces
      "SelectItem 110000000",            // nine digits
      "AddToSelection 10000000 ",        // trailing blank
      "EditObjects 1",                   // argument where none is taken
      "ClearSelection",                  // unknown verb
      "RemoveFromSelection 1000000000",  // longer than 28 bytes
  };
  for (const char* line : bad) {
    Host host(ThreeNulls());
    g_lines = {line};
    const hostsim::RunResult result = host.Run(SendLines);
    EXPECT_EQ(result.protocolErrors.size(), 1u) << line;
    EXPECT_TRUE(host.selection().empty()) << line;
    EXPECT_EQ(result.lineItems, std::vector<std::uint32_t>{0}) << line;
  }
}

TEST(HostsimHost, AcceptsBothDigitFormsAndAppliesTheVerbs) {
  Host host(ThreeNulls());
  g_lines = {"EditObjects",
             "SelectItem 10000002",
             "AddToSelection 10000000",
             "AddToSelection 10000000",
             "AddToSelection 10000001",
             "RemoveFromSelection 10000000",
             "AddToSelection 1000000"};
  const hostsim::RunResult result = host.Run(SendLines);
  ASSERT_EQ(result.protocolErrors.size(), 1u) << "0x01000000 names nothing";
  // Beside each line, the item it names as an id of the scene; none for an edit mode or an unknown item.
  EXPECT_EQ(result.lineItems,
            (std::vector<std::uint32_t>{0, 0x10000002, 0x10000000, 0x10000000, 0x10000001, 0x10000000, 0}));
  EXPECT_EQ(host.selection(), (std::vector<std::uint32_t>{0x10000002, 0x10000001}));
  EXPECT_EQ(host.editMode(), 0);
  for (int i = 0; i < 9; ++i) host.scene().AddNull("More");
  g_lines = {"SelectItem 1000000a", "AddToSelection 1000000B", "EditBones"};
  EXPECT_TRUE(host.Run(SendLines).protocolErrors.empty());
  EXPECT_EQ(host.selection(), (std::vector<std::uint32_t>{0x1000000A, 0x1000000B}));
  EXPECT_EQ(host.editMode(), 3);
}

TEST(HostsimHost, ChecksTheContextIdsAndResultTheModuleHandsBack) {
  Host host(ThreeNulls());
  EXPECT_EQ(host.Run(SendWithForeignContext).protocolErrors.size(), 1u);
  host.faults().idHighBits = 0xABCDull << 48;
  EXPECT_EQ(host.Run(AskWithStrippedHighBits).protocolErrors.size(), 1u);
  host.faults().idHighBits = 0;
  EXPECT_TRUE(host.Run(AskWithStrippedHighBits).protocolErrors.empty());
  EXPECT_EQ(host.Run(ReturnSeven).protocolErrors.size(), 1u);
}

const ItemId* g_listSeen[3];

int WatchTheList(int, ServiceLookup lookup, void* local, void*) {
  const auto* ui = static_cast<const InterfaceInfo*>(lookup(kInterfaceInfoService, 0));
  const auto* generic = static_cast<const LayoutGeneric*>(local);
  g_listSeen[0] = ui->selectedItems;
  generic->evaluate(generic->context, "AddToSelection 10000001");
  g_listSeen[1] = ui->selectedItems;
  g_listSeen[2] = static_cast<const InterfaceInfo*>(lookup(kInterfaceInfoService, 0))->selectedItems;
  return 0;
}

TEST(HostsimHost, UpdateModesDecideWhenTheListChanges) {
  struct Expect {
    UpdateMode mode;
    std::size_t lengthAfterLine;  // as the module sees it right after its line
    std::size_t lengthAfterLookup;
  };
  for (const Expect& expect :
       {Expect{UpdateMode::Deferred, 1, 1}, Expect{UpdateMode::Live, 2, 2}, Expect{UpdateMode::Snapshot, 1, 2}}) {
    SCOPED_TRACE(hostsim::UpdateModeName(expect.mode));
    Host host(ThreeNulls());
    host.SetUpdateMode(expect.mode);
    host.Select({0x10000000});
    // The lists are freed once the run is over, so they are measured while it runs.
    struct Counter {
      static std::size_t Length(const ItemId* list) {
        std::size_t n = 0;
        while (list[n] != 0) ++n;
        return n;
      }
    };
    static std::size_t lengths[2];
    const hostsim::RunResult result = host.Run([](int, ServiceLookup lookup, void* local, void*) {
      const auto* ui = static_cast<const InterfaceInfo*>(lookup(kInterfaceInfoService, 0));
      const auto* generic = static_cast<const LayoutGeneric*>(local);
      generic->evaluate(generic->context, "AddToSelection 10000001");
      lengths[0] = Counter::Length(ui->selectedItems);
      lengths[1] = Counter::Length(static_cast<const InterfaceInfo*>(lookup(kInterfaceInfoService, 0))->selectedItems);
      return 0;
    });
    EXPECT_TRUE(result.protocolErrors.empty());
    EXPECT_EQ(lengths[0], expect.lengthAfterLine);
    EXPECT_EQ(lengths[1], expect.lengthAfterLookup);
    EXPECT_EQ(host.selection(), (std::vector<std::uint32_t>{0x10000000, 0x10000001}));
  }
}

TEST(HostsimHost, LiveModeMovesTheListAtEveryChange) {
  Host host(ThreeNulls());
  host.SetUpdateMode(UpdateMode::Live);
  host.Select({0x10000000});
  host.Run(WatchTheList);
  EXPECT_NE(g_listSeen[0], g_listSeen[1]);
}

// What a fake module saw after each of its lines: where the list was and what it held.
struct ListView {
  const ItemId* where;
  std::vector<ItemId> entries;
};
std::vector<ListView> g_views;

int AddThenShrink(int, ServiceLookup lookup, void* local, void*) {
  const auto* ui = static_cast<const InterfaceInfo*>(lookup(kInterfaceInfoService, 0));
  const auto* generic = static_cast<const LayoutGeneric*>(local);
  for (const char* line :
       {"AddToSelection 10000001", "AddToSelection 10000002", "AddToSelection 10000002", "SelectItem 10000001"}) {
    generic->evaluate(generic->context, line);
    ListView view{ui->selectedItems, {}};
    for (const ItemId* entry = view.where; *entry != 0; ++entry) view.entries.push_back(*entry);
    g_views.push_back(view);
  }
  return 0;
}

TEST(HostsimHost, LiveListCanGrowInPlaceButAlwaysMovesToShrink) {
  Host host(ThreeNulls());
  host.SetUpdateMode(UpdateMode::Live);
  host.SetLiveList(hostsim::LiveList::GrowsInPlace);
  host.Select({0x10000000});
  g_views.clear();
  const hostsim::RunResult result = host.Run(AddThenShrink);
  EXPECT_TRUE(result.protocolErrors.empty());
  ASSERT_EQ(g_views.size(), 4u);
  EXPECT_EQ(g_views[0].entries, (std::vector<ItemId>{0x10000000, 0x10000001}));
  EXPECT_EQ(g_views[1].where, g_views[0].where) << "room was left by the first growth";
  EXPECT_EQ(g_views[1].entries, (std::vector<ItemId>{0x10000000, 0x10000001, 0x10000002}));
  EXPECT_EQ(g_views[2].where, g_views[1].where);
  EXPECT_EQ(g_views[2].entries, g_views[1].entries);
  EXPECT_NE(g_views[3].where, g_views[2].where) << "a shrunk list is a fresh exact-size one";
  EXPECT_EQ(g_views[3].entries, (std::vector<ItemId>{0x10000001}));
}

// The benchmarks' live host must not change what a command does, only what it costs.
TEST(HostsimHost, LiveListPolicyNeverChangesACommandsLines) {
  const std::vector<std::vector<std::uint32_t>> selections = {
      {qztest::rig::kBody}, {qztest::rig::kHandL, qztest::rig::kKey, qztest::rig::kArmL}, {}};
  for (const std::string& command : qztest::kCommandNames) {
    if (command == "QZ_Sel_ByName") continue;  // needs a scripted user, and its search reads one entry before any line
    for (const auto& selection : selections) {
      SCOPED_TRACE(command + " with " + std::to_string(selection.size()) + " selected");
      hostsim::RunResult runs[2];
      std::vector<std::uint32_t> after[2];
      for (const hostsim::LiveList policy : {hostsim::LiveList::MovesEveryChange, hostsim::LiveList::GrowsInPlace}) {
        Host host(qztest::Rig());
        host.SetUpdateMode(UpdateMode::Live);
        host.SetLiveList(policy);
        host.Select(selection);
        const int index = static_cast<int>(policy);
        runs[index] = qztest::RunCommand(host, command);
        after[index] = host.selection();
      }
      EXPECT_EQ(runs[0].code, runs[1].code);
      EXPECT_EQ(runs[0].lines, runs[1].lines);
      EXPECT_EQ(after[0], after[1]);
    }
  }
}

// A module that keeps a record past its activation and calls it later: the
// host cannot answer, and says so rather than touch a scene it has moved on from.
const ItemInfo* g_keptItems = nullptr;
const PanelServices* g_keptPanels = nullptr;

int KeepRecords(int, ServiceLookup lookup, void*, void*) {
  g_keptItems = static_cast<const ItemInfo*>(lookup(kItemInfoService, 0));
  g_keptPanels = static_cast<const PanelServices*>(lookup(kPanelService, 0));
  return 0;
}

TEST(HostsimHostDeathTest, RecordsCalledOutsideAnActivationAbortWithTheCall) {
  Host host(qztest::Rig());
  ASSERT_TRUE(host.Run(KeepRecords).protocolErrors.empty());
  ASSERT_NE(g_keptItems, nullptr);
  ASSERT_NE(g_keptPanels, nullptr);
  EXPECT_DEATH(g_keptItems->parent(0x10000001u), "the module called item info parent outside of a command activation");
  EXPECT_DEATH(g_keptPanels->create("Late", nullptr), "the module called panel create outside of a command activation");
}

// What a crash report names the cause with; the raw code is written from
// inside the crash, the words afterwards.
TEST(HostsimProcess, NamesHowAProcessCrashed) {
  const struct {
    std::uint32_t code;
    const char* raw;
    const char* words;
  } codes[] = {{0xC0000005u, "0xC0000005", "0xC0000005 (access violation)"},
               {0x80000003u, "0x80000003", "0x80000003 (breakpoint)"},
               {0x0000ABCDu, "0x0000ABCD", "0x0000ABCD"},
               {0xFFFFFFFFu, "0xFFFFFFFF", "0xFFFFFFFF"}};
  for (const auto& code : codes) {
    char raw[hostsim::kExceptionCodeSize];
    hostsim::FormatExceptionCode(code.code, raw);
    EXPECT_STREQ(raw, code.raw);
    EXPECT_EQ(hostsim::ExceptionCodeText(code.code), code.words);
  }
  EXPECT_EQ(hostsim::SignalName(SIGSEGV), "SIGSEGV");
  EXPECT_EQ(hostsim::KnownSignalName(12345), nullptr);
  EXPECT_EQ(hostsim::SignalName(12345), "signal 12345");
}

TEST(HostsimLoader, ExplainsWhyAFileIsNotAModule) {
  EXPECT_THROW(
      {
        try {
          hostsim::ModuleLibrary::Open("no-such-dir/QZ_Missing.p");
        } catch (const hostsim::LoadError& error) {
          EXPECT_NE(std::string(error.what()).find("no-such-dir/QZ_Missing.p"), std::string::npos);
          throw;
        }
      },
      hostsim::LoadError);
  const std::string junk = testing::TempDir() + "qz_not_a_module.p";
  std::ofstream(junk) << "this is not a library\n";
  EXPECT_THROW(hostsim::ModuleLibrary::Open(junk), hostsim::LoadError);
  std::remove(junk.c_str());
}

// "hostsim validate QZ_Lasso.so" in the build folder means the file there,
// not a search of the system's library folders.
TEST(HostsimLoader, ABareFileNameIsAFileInTheCurrentFolder) {
  const std::string path = qztest::FixtureModulePath("broken_line");
  const std::string name = path.substr(path.find_last_of("\\/") + 1);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(qztest::ProgramFolder());
  std::unique_ptr<hostsim::ModuleLibrary> module;
  std::string error;
  try {
    module = hostsim::ModuleLibrary::Open(name);
  } catch (const hostsim::LoadError& thrown) {
    error = thrown.what();
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(error, "");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->commands().size(), 11u);
}

}  // namespace
