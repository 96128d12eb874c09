// "QZ_Sel_ByName" from end to end: the user types a pattern and picks a kind
// in the panel, and the command selects by name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/module_fixture.h"
#include "tests/support/rig_scene.h"

namespace {

using hostsim::Host;
using hostsim::Message;
using hostsim::PanelUser;
using qztest::Lines;

struct SearchCase {
  const char* pattern;
  std::uint32_t kindKey;  // '1' objects, '2' lights, '3' cameras, '4' bones
  bool notFound;
  std::vector<std::uint32_t> selected;
  Lines lines;
};

const SearchCase kSearches[] = {
    {"B*", '1', false, {}, {"EditObjects", "SelectItem 10000000"}},
    {"H*", '1', false, {}, {"EditObjects", "SelectItem 10000001", "AddToSelection 10000002"}},
    {"*i*", '2', false, {}, {"EditLights", "SelectItem 20000001"}},
    {"T?p", '3', false, {}, {"EditCameras", "SelectItem 30000001"}},
    {"Nobody", '3', true, {}, {"EditCameras"}},
    // Bones with no bone selected first: object by object, up to the first with a match.
    {"Arm*", '4', false, {}, {"EditBones", "SelectItem 40000000", "AddToSelection 40010000"}},
    {"Leg", '4', false, {0x10000002u}, {"EditBones", "SelectItem 40020000"}},
    {"Nope", '4', true, {}, {"EditBones", "EditBones", "EditBones", "EditBones"}},
    // A bone selected first: only its object's bones.
    {"Arm*", '4', false, {0x40000001u, 0x40000000u}, {"EditBones", "SelectItem 40000001"}},
    {"Leg", '4', true, {0x40000002u}, {"EditBones"}},
    // A dot: bones of the first matching object that has any, whatever the kind.
    {"Head*.Arm*", '1', false, {}, {"EditBones", "SelectItem 40000001"}},
    {"*.Leg", '2', false, {}, {"EditBones", "SelectItem 40020000"}},
    {"Prop.*", '4', true, {}, {}},
    {"Body.", '1', true, {}, {"EditBones"}},
    {"", '1', true, {}, {"EditObjects"}},
    {"", '4', true, {}, {"EditBones", "EditBones", "EditBones", "EditBones"}},
};

TEST(ByNameCommand, SelectsWhatThePanelAskedFor) {
  for (const SearchCase& row : kSearches) {
    for (const hostsim::UpdateMode mode : qztest::kAllModes) {
      SCOPED_TRACE(std::string("\"") + row.pattern + "\" kind key " + static_cast<char>(row.kindKey) + " " +
                   hostsim::UpdateModeName(mode));
      Host host(qztest::BoneRig());
      host.SetUpdateMode(mode);
      host.Select(row.selected);
      host.panels().user() = PanelUser().Types(row.pattern).Presses(row.kindKey).Confirms();
      const hostsim::RunResult result = qztest::RunCommand(host, "QZ_Sel_ByName");
      EXPECT_EQ(result.code, 0);
      EXPECT_EQ(result.lines, row.lines);
      const std::vector<Message> notFound = {{"Not Found", std::nullopt}};
      EXPECT_EQ(result.messages, row.notFound ? notFound : std::vector<Message>());
    }
  }
}

TEST(ByNameCommand, LongestPatternSelectsByItsWholeLength) {
  std::string name;
  for (int index = 0; index < 127; ++index) name += static_cast<char>('A' + index % 26);
  hostsim::Scene scene;
  scene.AddLight(name.substr(0, 126));
  scene.AddLight(name);
  scene.AddLight(name + "x");
  Host host(std::move(scene));
  host.panels().user() = PanelUser().Types(name).Presses('2').Confirms();
  EXPECT_EQ(qztest::RunCommand(host, "QZ_Sel_ByName").lines, (Lines{"EditLights", "SelectItem 20000001"}));
}

TEST(ByNameCommand, DismissedOrWithoutStartServicesSendsNothing) {
  Host host(qztest::BoneRig());
  host.Select({0x10000001u});
  host.panels().user() = PanelUser().Types("*").Presses('1').Dismisses();
  hostsim::RunResult result = qztest::RunCommand(host, "QZ_Sel_ByName");
  EXPECT_EQ(result.code, 0);
  EXPECT_TRUE(result.lines.empty());
  EXPECT_TRUE(result.messages.empty());
  for (const char* missing : {"LW Item Info 3", "Info Messages 2"}) {
    host.faults().missingServices = {missing};
    host.panels().user().Confirms();
    result = qztest::RunCommand(host, "QZ_Sel_ByName");
    EXPECT_EQ(result.code, 2);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_EQ(host.panels().panels().size(), 1u) << "no panel without " << missing;
  }
  EXPECT_EQ(host.selection(), (std::vector<std::uint32_t>{0x10000001u}));
}

}  // namespace
