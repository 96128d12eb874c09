// The module as the host first meets it: descriptor, command table, start-up,
// and the activation contract's answer to a missing service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsim/validate/expected_module.h"
#include "tests/support/module_fixture.h"

namespace {

using hostsim::Host;
using qztest::kCommandNames;
using qztest::Module;

TEST(ModuleFrame, DescriptorCarriesSyncVersionAndMachine) {
  const ModuleDescriptor& descriptor = Module().descriptor();
  EXPECT_EQ(descriptor.sync, 0x04121994u);
  EXPECT_EQ(descriptor.version, 3u);
  EXPECT_EQ(descriptor.machine, 0x300u);
  EXPECT_NE(Module().startupToken(), nullptr);
}

TEST(ModuleFrame, TableListsElevenCommandsInOrderThenTerminator) {
  const auto& commands = Module().commands();
  ASSERT_EQ(commands.size(), hostsim::kExpectedCommandCount);
  for (std::size_t index = 0; index < commands.size(); ++index) {
    SCOPED_TRACE(commands[index].name);
    EXPECT_EQ(commands[index].name, kCommandNames[index]);
    EXPECT_EQ(commands[index].className, "LayoutGeneric");
    ASSERT_EQ(commands[index].tags.size(), 1u);
    EXPECT_EQ(commands[index].tags[0].first, hostsim::kExpectedTag);
    EXPECT_EQ(commands[index].tags[0].second, hostsim::kExpectedTagCode);
  }
  const CommandEntry& terminator = Module().descriptor().commands[hostsim::kExpectedCommandCount];
  EXPECT_EQ(terminator.className, nullptr);
  EXPECT_EQ(terminator.name, nullptr);
  EXPECT_EQ(terminator.activate, nullptr);
  EXPECT_EQ(terminator.tags, nullptr);
}

TEST(ModuleFrame, EveryCommandSharesOneTagList) {
  const CommandEntry* table = Module().descriptor().commands;
  for (std::size_t index = 1; index < hostsim::kExpectedCommandCount; ++index)
    EXPECT_EQ(table[index].tags, table[0].tags);
}

TEST(ModuleFrame, StartupTokenIsFourAndShutdownIgnoresItsArgument) {
  const ModuleDescriptor& descriptor = Module().descriptor();
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(descriptor.startup()), 4u);
  descriptor.shutdown(nullptr);
  descriptor.shutdown(reinterpret_cast<void*>(std::uintptr_t{0xDEAD}));  // NOLINT(performance-no-int-to-ptr)
}

hostsim::Scene SmallScene() {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");
  scene.AddNull("Child", body);
  scene.AddLight("Key");
  return scene;
}

TEST(ActivationContract, MissingStartServiceReturnsTwoAndSendsNothing) {
  for (const hostsim::ExpectedCommand& start : hostsim::kExpectedCommands) {
    for (const std::string missing : start.startServices) {
      SCOPED_TRACE(std::string(start.name) + " without " + missing);
      Host host(SmallScene());
      host.Select({0x10000000u, 0x10000001u});
      host.faults().missingServices = {missing};
      const hostsim::RunResult result = qztest::RunCommand(host, start.name);
      EXPECT_EQ(result.code, 2);
      EXPECT_TRUE(result.lines.empty());
      EXPECT_TRUE(result.messages.empty());
      // Both start services are asked for before either answer is tested.
      ASSERT_GE(result.lookups.size(), 2u);
      EXPECT_EQ(result.lookups[0], start.startServices[0]);
      EXPECT_EQ(result.lookups[1], start.startServices[1]);
      EXPECT_EQ(host.selection(), (std::vector<std::uint32_t>{0x10000000u, 0x10000001u}));
    }
  }
}

// Runs each command that reads the selection, in every update mode, on a host
// `prepare` sets up, and expects it to answer 0 and change nothing.
template <typename Prepare>
void ExpectEachSelectionCommandEndsQuietly(Prepare prepare) {
  for (const char* command : {"QZ_Sel_Child", "QZ_Add_Child", "QZ_Sel_Sibling", "QZ_Sel_Throwback", "QZ_Sel_Parent",
                              "QZ_Add_Parent", "QZ_Sel_Descendant", "QZ_Sel_Hierarchy"}) {
    for (const hostsim::UpdateMode mode : qztest::kAllModes) {
      SCOPED_TRACE(std::string(command) + " " + hostsim::UpdateModeName(mode));
      Host host(SmallScene());
      host.SetUpdateMode(mode);
      prepare(host);
      const std::vector<std::uint32_t> before = host.selection();
      const hostsim::RunResult result = qztest::RunCommand(host, command);
      EXPECT_EQ(result.code, 0);
      EXPECT_TRUE(result.lines.empty());
      EXPECT_TRUE(result.messages.empty());
      EXPECT_EQ(host.selection(), before);
    }
  }
}

TEST(ActivationContract, HierarchyCommandsReturnZeroOnAnEmptySelection) {
  ExpectEachSelectionCommandEndsQuietly([](Host& /*host*/) {});
}

// A host with nothing selected may hand out no list at all rather than an
// empty one; this one hands out none, whatever is selected.
TEST(ActivationContract, SelectionCommandsReturnZeroWhenTheHostHasNoList) {
  ExpectEachSelectionCommandEndsQuietly([](Host& host) {
    host.Select({0x10000000u, 0x10000001u});
    host.faults().noSelectionList = true;
  });
}

}  // namespace
