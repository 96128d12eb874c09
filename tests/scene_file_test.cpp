// Reading and writing the host's scene files: the real files collected for us,
// hand-made scenes for what those files do not show, and broken files.
#include "hostsim/scene_file/scene_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hostsim/scene/examples.h"
#include "hostsim/scene_file/fixed_decimal.h"
#include "hostsim/scene_file/layer_naming.h"
#include "hostsim/scene_file/windows_path.h"
#include "tests/support/process.h"
#include "tests/support/scene_outline.h"

namespace {

using hostsim::Kind;
using hostsim::ReadSceneText;
using hostsim::Scene;
using hostsim::SceneFileError;
using qztest::Outline;

template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string Real(const std::string& name) { return qztest::SharedScenesDirectory() + "/" + name; }

// What a whole scene ends with, after its cameras.
const std::string kEnd = "CurrentObject 0\n";

// The items-only excerpt keeps no settings, so it reads as cut short
// (SceneFileCut.EveryCutIsRefusedOrReadsWhole); its items are read with the
// line that ends a scene added.
constexpr char kExcerpt[] = "derived/ISS complete_2011.items-only.lws";

Scene ReadReal(const std::string& name, const hostsim::SceneFileOptions& options = {}) {
  if (name != kExcerpt) return hostsim::ReadSceneFile(Real(name), options);
  return ReadSceneText(qztest::ReadFile(Real(name)) + "\n" + kEnd, Real(name), options);
}

#define SKIP_WITHOUT_SHARED_SCENES()                                                                 \
  if (qztest::SharedScenesDirectory().empty())                                                       \
  GTEST_SKIP() << "the real scene files are not here (../shared/scenes beside the checkout, or set " \
                  "QZ_SHARED_DIR)"

std::size_t MaxDepth(const Scene& scene, std::size_t parent = hostsim::kNoItem) {
  std::size_t deepest = 0;
  for (std::size_t child = scene.At(parent).firstChild; child != hostsim::kNoItem; child = scene.At(child).nextSibling)
    deepest = std::max(deepest, 1 + MaxDepth(scene, child));
  return deepest;
}

std::size_t CountLoaded(const Scene& scene, bool loaded) {
  std::size_t count = 0;
  for (std::size_t index = scene.FirstOfKind(Kind::Object); index != hostsim::kNoItem;
       index = scene.At(index).nextOfKind)
    count += scene.At(index).fileName.empty() != loaded;
  return count;
}

// ---- the real files ------------------------------------------------------

struct RealSceneCounts {
  const char* file;
  std::size_t loaded, nulls, lights, cameras, maxDepth;
};

const RealSceneCounts kRealScenes[] = {
    {"QuickDraw v.2.2.lws", 11, 9, 1, 1, 6},
    {"QuickDraw v.2.2_oldformat_56.lws", 11, 9, 1, 1, 6},
    {"move_x.lws", 1, 0, 1, 1, 1},
    {"move_x_oldformat_6.lws", 1, 0, 1, 1, 1},
    {"move_x_oldformat_56.lws", 1, 0, 1, 1, 1},
    {"ballcone.lws", 2, 0, 1, 1, 1},
    {"boxi3.lws", 6, 0, 1, 1, 1},
    {"colors0.lws", 1, 0, 1, 1, 1},
    {"derived/ISS complete_2011.items-only.lws", 73, 12, 3, 1, 13},
};

TEST(SceneFileReal, EveryCollectedSceneLoadsWithItsItemCountsAndDepth) {
  SKIP_WITHOUT_SHARED_SCENES();
  for (const RealSceneCounts& expected : kRealScenes) {
    SCOPED_TRACE(expected.file);
    const Scene scene = ReadReal(expected.file);
    EXPECT_EQ(CountLoaded(scene, true), expected.loaded);
    EXPECT_EQ(CountLoaded(scene, false), expected.nulls);
    EXPECT_EQ(scene.CountOfKind(Kind::Bone), 0u);
    EXPECT_EQ(scene.CountOfKind(Kind::Light), expected.lights);
    EXPECT_EQ(scene.CountOfKind(Kind::Camera), expected.cameras);
    EXPECT_EQ(MaxDepth(scene), expected.maxDepth);
    for (const hostsim::Item& item : scene.items()) {
      if (item.id != 0) {
        EXPECT_EQ(item.pointCount > 0, !item.fileName.empty()) << item.name;
      }
    }
  }
}

// The same scene saved in two formats: decimal 1-based positions in one,
// kind-and-ordinal ids in the other, backslashes in one and slashes in the
// other. Both must give the same items, names, files and hierarchy.
TEST(SceneFileReal, QuickDrawReadsTheSameFromVersionTwoAndThree) {
  SKIP_WITHOUT_SHARED_SCENES();
  const Scene v3 = hostsim::ReadSceneFile(Real("QuickDraw v.2.2.lws"));
  const Scene v2 = hostsim::ReadSceneFile(Real("QuickDraw v.2.2_oldformat_56.lws"));
  EXPECT_EQ(Outline(v2), Outline(v3));
  const std::string outline = Outline(v3);
  EXPECT_NE(outline.find("1000000E null Quick Draw == HANDLE == MASTER\n"
                         "  10000000 object QuickDraw--Chasis\n"),
            std::string::npos)
      << outline;
  EXPECT_NE(outline.find("        10000006 object QuickDraw--Arm-Tip\n"
                         "          1000000D null Quick Draw -- magnet -- Arm\n"),
            std::string::npos)
      << outline;
  for (const Scene* scene : {&v2, &v3}) {
    EXPECT_EQ(scene->Get(0x10000000u).fileName, "C:\\LWO\\LWO2\\LWSReferences\\QuickDraw--Chasis.lwo");
    EXPECT_EQ(scene->Get(0x20000000u).name, "Light");
    EXPECT_EQ(scene->Get(0x30000000u).name, "Camera");
  }
}

TEST(SceneFileReal, IssKeepsItsIdsLayersForwardParentsAndRepeatedNames) {
  SKIP_WITHOUT_SHARED_SCENES();
  const Scene scene = ReadReal(kExcerpt);
  EXPECT_FALSE(scene.Contains(0x1000003Eu));
  EXPECT_EQ(scene.Get(0x1000003Du).name, "jem_layers:Layer5");
  EXPECT_EQ(scene.Get(0x1000002Au).name, "armA:Layer1");
  EXPECT_EQ(scene.Get(0x10000033u).name, "armA:Layer10");
  EXPECT_EQ(scene.Get(0x1000004Bu).name, "mss:Layer3");
  EXPECT_EQ(scene.Get(0x10000004u).name, "lab-ext");
  EXPECT_EQ(scene.Get(0x10000004u).fileName, "C:\\Content\\Objects\\Modules\\lab\\lab-ext.lwo");

  // ISS PIVOT -> SSRMS -> armA layers 10..1 -> SPDM_low, every link but the
  // first pointing forward in the file.
  std::vector<std::string> chain;
  for (std::size_t at = scene.IndexOf(0x10000028u); at != hostsim::kNoItem; at = scene.At(at).parent)
    chain.insert(chain.begin(), scene.At(at).name);
  ASSERT_EQ(chain.size(), 13u);
  EXPECT_EQ(chain[0], "ISS PIVOT");
  EXPECT_EQ(chain[1], "SSRMS");
  EXPECT_EQ(chain[2], "armA:Layer10");
  EXPECT_EQ(chain[11], "armA:Layer1");
  EXPECT_EQ(chain[12], "SPDM_low");

  EXPECT_EQ(scene.At(scene.Get(0x20000000u).parent).name, "Sun pivot");
  EXPECT_EQ(scene.At(scene.Get(0x30000000u).parent).name, "Camera pivot");
  EXPECT_EQ(scene.Get(0x20000001u).name, "Earth");
  EXPECT_EQ(scene.Get(0x20000002u).name, "Earth");
}

struct RealObject {
  const char* file;
  std::uint32_t id;
  const char* name;
  const char* fileName;
};

const RealObject kRealObjects[] = {
    {"boxi3.lws", 0x10000000u, "boxi", "E:\\LightWave\\boxi.lwo"},
    {"boxi3.lws", 0x10000005u, "boxi", "E:\\LightWave\\boxi.lwo"},
    {"colors0.lws", 0x10000000u, "colors0",
     "C:\\storage\\blender\\blender-import-lwo\\tests\\basic\\src\\LWO2\\box\\colors0.lwo"},
    {"move_x.lws", 0x10000000u, "simple_cube", "C:\\Content\\simple_cube.lwo"},
    {"move_x_oldformat_56.lws", 0x10000000u, "simple_cube", "C:\\Content\\simple_cube.lwo"},
    {"ballcone.lws", 0x10000001u, "redcone", "C:\\Content\\redcone.lwo"},
    {"ballcone.lws", 0x30000000u, "Camera", ""},
    {"ballcone.lws", 0x20000000u, "Light", ""},
};

TEST(SceneFileReal, ObjectsAreNamedAfterTheirFilesWithWindowsPaths) {
  SKIP_WITHOUT_SHARED_SCENES();
  for (const RealObject& expected : kRealObjects) {
    SCOPED_TRACE(std::string(expected.file) + " " + expected.name);
    const Scene scene = hostsim::ReadSceneFile(Real(expected.file));
    ASSERT_TRUE(scene.Contains(expected.id));
    EXPECT_EQ(scene.Get(expected.id).name, expected.name);
    EXPECT_EQ(scene.Get(expected.id).fileName, expected.fileName);
  }
}

TEST(SceneFileReal, AnotherContentDirectoryMovesRelativePathsOnly) {
  SKIP_WITHOUT_SHARED_SCENES();
  hostsim::SceneFileOptions options;
  options.contentDirectory = "D:/Projects/Station/";
  const Scene iss = ReadReal(kExcerpt, options);
  EXPECT_EQ(iss.Get(0x10000004u).fileName, "D:\\Projects\\Station\\Objects\\Modules\\lab\\lab-ext.lwo");
  const Scene boxi = hostsim::ReadSceneFile(Real("boxi3.lws"), options);
  EXPECT_EQ(boxi.Get(0x10000000u).fileName, "E:\\LightWave\\boxi.lwo");
}

TEST(SceneFileReal, EveryCollectedSceneSurvivesWritingAndReadingBack) {
  SKIP_WITHOUT_SHARED_SCENES();
  for (const RealSceneCounts& real : kRealScenes) {
    SCOPED_TRACE(real.file);
    const Scene original = ReadReal(real.file);
    std::vector<std::string> warnings;
    const Scene copy = ReadSceneText(hostsim::WriteSceneText(original, {}, &warnings), "copy.lws");
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(Outline(copy), Outline(original));
    for (const hostsim::Item& item : original.items()) {
      if (item.id != 0) {
        EXPECT_EQ(copy.Get(item.id).fileName, item.fileName);
      }
    }
  }
}

// ---- files cut short -----------------------------------------------------

// Every line boundary and 60 byte offsets spread through the file: a cut is
// refused with its line, or it fell among the settings after the first of
// those that end a scene, where nothing tells it from a whole file, and reads
// as the whole file does. Where the whole file is refused (the items-only
// excerpt), every cut is.
TEST(SceneFileCut, EveryCutIsRefusedOrReadsWhole) {
  SKIP_WITHOUT_SHARED_SCENES();
  std::vector<std::pair<std::string, std::string>> files = {{"demo_rig.lws", std::string(hostsim::DemoSceneText())}};
  for (const RealSceneCounts& real : kRealScenes) files.emplace_back(real.file, qztest::ReadFile(Real(real.file)));
  for (const auto& [name, text] : files) {
    std::string whole;
    try {
      whole = Outline(ReadSceneText(text, name));
    } catch (const SceneFileError& error) {
      EXPECT_EQ(name, kExcerpt) << error.what();
    }
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < text.size(); ++at) {
      if (text[at] == '\n') cuts.push_back(at + 1);
    }
    for (std::size_t step = 1; step <= 60; ++step) cuts.push_back(text.size() * step / 61);
    std::size_t refused = 0;
    for (const std::size_t cut : cuts) {
      try {
        const std::string outline = Outline(ReadSceneText(std::string_view(text).substr(0, cut), name));
        if (outline != whole) ADD_FAILURE() << name << " cut at byte " << cut << " reads as a smaller scene";
      } catch (const SceneFileError& error) {
        ++refused;
        if (error.line <= 0) ADD_FAILURE() << name << " cut at byte " << cut << ": " << error.what();
      }
    }
    // Most of a host's file comes before the settings that end it.
    EXPECT_GT(refused, cuts.size() / 2) << name;
    EXPECT_EQ(refused == cuts.size(), name == kExcerpt) << name;
  }
}

// ---- hand-made scenes ----------------------------------------------------

struct GoodScene {
  const char* what;
  std::string text;
  std::string outline;
};

const GoodScene kGoodScenes[] = {
    {"v5: a parent declared later, ids neither dense nor in order, names with spaces",
     "LWSC\n5\n\nAddNullObject 10000007 Arm Rig\nParentItem 10000003\n\n"
     "LoadObjectLayer 1 10000003 Objects/Body Mesh.lwo\n\nAddLight 20000004\nLightName Key  Light\n"
     "ParentItem 10000007\n\nAddCamera 30000000\nCameraName Main\n",
     "10000003 object Body Mesh\n  10000007 null Arm Rig\n    20000004 light Key  Light\n30000000 camera Main\n"},
    {"v5: bones with ids, chains, an object parented to a bone",
     "LWSC\n5\nLoadObjectLayer 1 10000002 Body.lwo\nAddBone 40000002\nBoneName Root\nParentItem 10000002\n"
     "AddBone 40010002\nBoneName Arm.L\nParentItem 40000002\nShadowOptions 7\n"
     "AddNullObject 10000003 Hand.Target\nParentItem 40010002\n",
     "10000002 object Body\n  40000002 bone Root\n    40010002 bone Arm.L\n      10000003 null Hand.Target\n"},
    {"v3: parents by kind and ordinal, bone parents pointing forward, a bone without parent line",
     "LWSC\n3\nLoadObjectLayer 1 Mesh.lwo\nParentItem 10000001\nAddBone\nBoneName Root\nParentItem 10000000\n"
     "AddBone\nBoneName Foot\nParentItem 40020000\nAddBone\nBoneName Shin\nParentItem 40000000\nAddBone\n"
     "BoneName Loose\nAddNullObject Master\nAddLight\nLightName Sun\nParentItem 40000000\n",
     "10000001 null Master\n  10000000 object Mesh\n    40000000 bone Root\n      40020000 bone Shin\n"
     "        40010000 bone Foot\n      20000000 light Sun\n    40030000 bone Loose\n"},
    {"v1: ParentObject counts objects, and bones among their object's bones",
     "LWSC\n1\nLoadObject head.lwo\nParentObject 2\nLoadObject body.lwo\nAddBone\nBoneName Hip\nAddBone\n"
     "BoneName Leg\nParentObject 1\nAddBone\nBoneName Foot\nParentObject 2\n",
     "10000001 object body\n  10000000 object head\n  40000001 bone Hip\n    40010001 bone Leg\n"
     "      40020001 bone Foot\n"},
    {"v1: the one camera has no declaration, lights are named by their name line",
     "LWSC\n1\nLoadObject ball.lwo\nAddLight\nLightName Lamp\nShowLight 1 7\nShowCamera 1 7\nZoomFactor 3.2\n",
     "10000000 object ball\n20000000 light Lamp\n30000000 camera Camera\n"},
    {"CRLF and lone CR line ends; a name line missing gives the host's default",
     "LWSC\r\n2\r\nAddNullObject A\r\nAddLight\rAddCamera\r\nParentObject 1\r\n",
     "10000000 null A\n  30000000 camera Camera\n20000000 light Light\n"},
    {"brace and plug-in blocks hide lines that look like items",
     "LWSC\n5\nPlugin MasterHandler 1 Thing\nAddNullObject 10000009 Fake\n{ Braces\n}\nEndPlugin\n"
     "AddNullObject 10000000 Real\n{ Block\n  { Nested\nAddNullObject 10000008 Hidden\n  }\n"
     "ParentItem 10000005\n}\nAnimationSaver AVI(.avi)\n 3\nEndPlugin\nParentItem 10000001\n"
     "AddNullObject 10000001 Up\n",
     "10000001 null Up\n  10000000 null Real\n"},
    {"one file with several layers names each by layer; one layer loaded twice keeps one name",
     "LWSC\n3\nLoadObjectLayer 1 C:\\Props\\arm.lwo\nLoadObjectLayer 2 ../../Props/ARM.lwo\n"
     "LoadObjectLayer 1 box.lwo\nLoadObjectLayer 1 box.lwo\nLoadObject Props/.hidden\n",
     "10000000 object arm:Layer1\n10000001 object ARM:Layer2\n10000002 object box\n10000003 object box\n"
     "10000004 object .hidden\n"},
    {"empty names and trailing data the reader does not need",
     "LWSC\n4\nAddNullObject 10000000 \nAddNullObject 10000001  two spaces\nParentItem 10000000 extra\n",
     "10000000 null \n  10000001 null  two spaces\n"},
    {"whole motions of each form; lines the host writes that are one edit from none of the item lines",
     "LWSC\n3\nLoadObjectLayer 1 a.lwo\nObjectMotion\nNumChannels 2\nChannel 0\n{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 "
     "0 0\n  Behaviors 1 1\n}\nChannel 1\n{ Envelope\n  0\n  Behaviors 1 1\n}\nAddBone\nGoalObject 1\n"
     "BoneActive 1\nShowObject 5 7\n",
     "10000000 object a\n  40000000 bone Bone\n"},
    {"version 1 motion rows: two a key",
     "LWSC\n1\nLoadObject a.lwo\nObjectMotion (unnamed)\n  9\n  1\n  0 0 0 0 0 0 1 1 "
     "1\n  0 0 0 0 0\nEndBehavior 1\nAddLight\nLightMotion (unnamed)\n  9\n  0\nEndBehavior 1\n",
     "10000000 object a\n20000000 light Light\n"},
    {"version 2 motion rows: a count and its keys per channel",
     "LWSC\n2\nAddNullObject N\nObjectMotion (unnamed)\n  2\n  2\n  0 0 2 0 0 0\n  1 9 2 0 0 0\n  1\n  0 0 2 0 0 "
     "0\nPre/PostBehavior 1 1\n",
     "10000000 null N\n"},
};

// Each text holds the items; the line that ends a whole scene is added.
TEST(SceneFileRead, HandMadeScenesGiveTheirHierarchy) {
  for (const GoodScene& scene : kGoodScenes) {
    SCOPED_TRACE(scene.what);
    try {
      EXPECT_EQ(Outline(ReadSceneText(scene.text + kEnd, "hand.lws")), scene.outline);
    } catch (const SceneFileError& error) {
      ADD_FAILURE() << error.what();
    }
  }
}

TEST(SceneFileRead, LoadedObjectsGetGeometryAndNullsNone) {
  const Scene scene = ReadSceneText("LWSC\n3\nLoadObjectLayer 1 a.lwo\nAddNullObject b\n" + kEnd, "x.lws");
  EXPECT_GT(scene.Get(0x10000000u).pointCount, 0);
  EXPECT_EQ(scene.Get(0x10000001u).pointCount, 0);
  EXPECT_EQ(scene.Get(0x10000001u).fileName, "");
}

struct BadScene {
  const char* what;
  std::string text;
  int line;
  const char* message;
};

const BadScene kBadScenes[] = {
    {"empty file", "", 0, "empty file"},
    {"not a scene", "LWOB\n5\n", 1, "not a scene file"},
    {"no version", "LWSC\n", 2, "format version is missing"},
    {"unknown version", "LWSC\n6\n", 2, "unknown scene format version '6' (known: 1 to 5)"},
    {"version not a number", "LWSC\nfive\n", 2, "unknown scene format version 'five'"},
    {"parent never declared", "LWSC\n5\nAddNullObject 10000000 A\nParentItem 10000001\n" + kEnd, 4,
     "the parent 10000001 of 'A' (10000000) is never declared"},
    {"object position past the end", "LWSC\n2\nAddNullObject A\nParentObject 3\n" + kEnd, 4, "is object 3"},
    {"bone position past the end", "LWSC\n1\nLoadObject a.lwo\nAddBone\nParentObject 2\n" + kEnd, 5, "is bone 2"},
    {"cycle of two",
     "LWSC\n5\nAddNullObject 10000000 A\nParentItem 10000001\nAddNullObject 10000001 B\nParentItem 10000000\n" + kEnd,
     4, "cycle: 'A' (10000000) in 'B' (10000001) in 'A' (10000000)"},
    {"item its own parent", "LWSC\n3\nAddNullObject A\nParentItem 10000000\n" + kEnd, 4, "cycle"},
    {"object under its own bone",
     "LWSC\n5\nLoadObjectLayer 1 10000000 a.lwo\nParentItem 40000000\nAddBone 40000000\n"
     "ParentItem 10000001\nAddNullObject 10000001 N\n" +
         kEnd,
     4, "cycle: 'a' (10000000) in 'Bone' (40000000) of 'a' (10000000)"},
    {"declaration cut short", "LWSC\n5\nLoadObjectLayer 1 1000\n", 3, "expected an 8-digit hex item id, found '1000'"},
    {"path missing", "LWSC\n3\nLoadObjectLayer 1\n", 3, "file name is missing"},
    {"path names a folder", "LWSC\n3\nLoadObjectLayer 1 ./ \n", 3, "names a folder"},
    {"path ends in a separator", "LWSC\n1\nLoadObject Objects/\n", 3, "names a folder"},
    {"parent cut short", "LWSC\n5\nAddNullObject 10000000 A\nParentItem 1000\n", 4, "8-digit hex parent id"},
    {"id of the wrong kind", "LWSC\n5\nAddLight 10000000\n", 3, "does not carry the kind bits of a light"},
    {"id declared twice", "LWSC\n5\nAddNullObject 10000000 A\nAddNullObject 10000000 B\n", 4,
     "declared twice (first on line 3)"},
    {"bone before any object", "LWSC\n3\nAddBone\n", 3, "before any object"},
    {"bone id naming another object", "LWSC\n5\nAddNullObject 10000001 A\nAddBone 40000002\n", 4,
     "does not name its object"},
    {"two parent lines", "LWSC\n5\nAddNullObject 10000000 A\nParentItem 10000000\nParentItem 10000000\n", 5,
     "second parent line"},
    {"parent line before any item", "LWSC\n5\nParentItem 10000000\n", 3, "before any item"},
    {"name line of the wrong kind", "LWSC\n5\nAddCamera 30000000\nLightName Key\n", 4, "among the lines of a camera"},
    {"text after a bare declaration", "LWSC\n3\nAddLight 20000000\n", 3, "unexpected text after 'AddLight'"},
    {"binary garbage", Bytes("LWSC\n5\nAddNullObject 10000000 A\n\x01\x02\x00\xff"), 4, "binary data (byte 0x01)"},
    {"NUL inside a name", Bytes("LWSC\n5\nAddNullObject 10000000 A\0B\n"), 3, "binary data (byte 0x00)"},
    {"brace block cut short", "LWSC\n3\nAddNullObject A\n{ Envelope\n  2\n", 5,
     "the file ends inside the '{' block on line 4 (file cut short?)"},
    {"plug-in block cut short", "LWSC\n5\nPlugin X 1 Y\n0\n", 4, "ends inside the plug-in block on line 3"},
    {"cut between items", "LWSC\n5\nAddNullObject 10000000 A\n\n", 4,
     "ends before the render and view settings that follow the cameras"},
    {"cut among the channels",
     "LWSC\n3\nLoadObjectLayer 1 a.lwo\nAddBone\nBoneName B1\nBoneMotion\nNumChannels 9\nChannel 0\n", 8,
     "ends after 0 of the 9 channels the motion on line 7 announces"},
    {"channel count cut off", "LWSC\n5\nAddNullObject 10000000 A\nObjectMotion\nNumChannels\n", 5,
     "expected a channel count after 'NumChannels', found ''"},
    {"a motion short of channels",
     "LWSC\n3\nAddNullObject A\nObjectMotion\nNumChannels 2\nChannel 0\n{ Envelope\n  0\n}\n"
     "ParentItem 10000000\n",
     10, "the motion on line 5 announces 2 channels but has 1"},
    {"an envelope short of keys", "LWSC\n3\nAddNullObject A\n{ Envelope\n  2\n  Key 0 0\n  Behaviors 1 1\n}\n", 8,
     "the envelope on line 4 announces 2 keys but has 1"},
    {"version 1 motion cut among its rows",
     "LWSC\n1\nLoadObject a.lwo\nObjectMotion (unnamed)\n  9\n  2\n  0 0 0\n  0 0\n", 8,
     "ends inside the motion on line 4, before the keys it announces"},
    {"version 2 motion short of channels",
     "LWSC\n2\nAddNullObject A\nObjectMotion (unnamed)\n  9\n  1\n  0 0 2 0 0 0\nEndBehavior 1\n", 8,
     "the motion on line 4 ends before the keys it announces"},
    {"null without its name", "LWSC\n5\nAddNullObject 10000000\n", 3, "the null's name is missing"},
    {"name line without its name", "LWSC\n3\nAddLight\nLightName\n", 4, "the name after 'LightName' is missing"},
    {"a misspelt declaration", "LWSC\n3\nAddNullObject A\nAddBon\nBoneName B\n", 4,
     "unknown keyword 'AddBon'; did you mean 'AddBone'?"},
    {"a misspelt layer load", "LWSC\n3\nLoadObjectLayr 1 a.lwo\n", 3, "did you mean 'LoadObjectLayer'?"},
    {"a misspelt parent line", "LWSC\n5\nAddNullObject 10000000 A\nParentIetm 10000000\n", 4,
     "unknown keyword 'ParentIetm'; did you mean 'ParentItem'?"},
    {"zero position", "LWSC\n1\nLoadObject a.lwo\nParentObject 0\n", 4, "positive object position"},
    {"frame not a number", "LWSC\n5\n\nFirstFrame one\n", 4, "frame number after 'FirstFrame', found 'one'"},
    {"frame past any animation", "LWSC\n5\nLastFrame 99999999999\n", 3, "frame number after 'LastFrame'"},
    {"rate of zero", "LWSC\n1\nFramesPerSecond 0.000000\n", 3, "positive number after 'FramesPerSecond'"},
    {"rate not a number", "LWSC\n5\nFramesPerSecond 1e9\n", 3, "found '1e9'"},
    {"text after a frame", "LWSC\n5\nFirstFrame 1 2\n", 3, "unexpected text after 'FirstFrame'"},
    {"byte-order mark twice", "\xEF\xBB\xBF\xEF\xBB\xBFLWSC\n5\n", 1, "not a scene file"},
};

TEST(SceneFileRead, MalformedFilesAreRejectedWithFileAndLine) {
  for (const BadScene& bad : kBadScenes) {
    SCOPED_TRACE(bad.what);
    try {
      ReadSceneText(bad.text, "bad.lws");
      ADD_FAILURE() << "read without complaint";
    } catch (const SceneFileError& error) {
      EXPECT_EQ(error.file, "bad.lws");
      EXPECT_EQ(error.line, bad.line) << error.what();
      EXPECT_NE(error.message.find(bad.message), std::string::npos) << error.what();
      const std::string prefix = bad.line > 0 ? "bad.lws:" + std::to_string(bad.line) + ": " : "bad.lws: ";
      EXPECT_EQ(std::string(error.what()).rfind(prefix, 0), 0u) << error.what();
    }
  }
}

TEST(SceneFileRead, AMissingFileNamesTheFile) {
  try {
    hostsim::ReadSceneFile("no/such/scene.lws");
    ADD_FAILURE() << "read a missing file";
  } catch (const SceneFileError& error) {
    EXPECT_EQ(error.line, 0);
    EXPECT_NE(std::string(error.what()).find("no/such/scene.lws: cannot open the scene"), std::string::npos);
  }
}

// ---- paths ---------------------------------------------------------------

struct PathCase {
  const char* scenePath;
  const char* directory;
  const char* windowsPath;
};

const PathCase kPaths[] = {
    {"simple_cube.lwo", "C:\\Content", "C:\\Content\\simple_cube.lwo"},
    {"Objects/Modules/obss/OBSS_on S1.lwo", "C:\\Content\\", "C:\\Content\\Objects\\Modules\\obss\\OBSS_on S1.lwo"},
    {"../LWO/a.lwo", "C:\\Content", "C:\\LWO\\a.lwo"},
    {"..\\..\\..\\..\\a.lwo", "C:\\Content", "C:\\a.lwo"},
    {"E:LightWave/boxi.lwo", "C:\\Content", "E:\\LightWave\\boxi.lwo"},
    {"c:/x/./y//z.lwo", "C:\\Content", "c:\\x\\y\\z.lwo"},
    {"/top/a.lwo", "D:/Work", "D:\\top\\a.lwo"},
    {"\\\\server\\share\\a.lwo", "C:\\Content", "\\\\server\\share\\a.lwo"},
    {"a.lwo", "D:/", "D:\\a.lwo"},
};

TEST(SceneFilePaths, ScenePathsBecomeAbsoluteWindowsPaths) {
  for (const PathCase& path : kPaths) {
    EXPECT_EQ(hostsim::WindowsPath(path.scenePath, path.directory), path.windowsPath)
        << path.scenePath << " in " << path.directory;
  }
}

// ---- writing -------------------------------------------------------------

Scene RigScene() {
  Scene scene;
  const auto rig = scene.AddNull("Rig");
  const auto body = scene.AddObject("Body", rig);
  const auto root = scene.AddBone(body, "Root");
  const auto arm = scene.AddBone(body, "Arm.L", root);
  scene.AddNull(" Hand Target", arm);
  scene.AddLight("Key", rig);
  hostsim::ItemSpec layer;
  layer.fileName = "D:\\Props\\Tree.lwo";
  layer.pointCount = 8;
  for (const char* name : {"Tree:Layer1", "Tree:Layer2"}) {
    layer.name = name;
    scene.Add(layer);
  }
  scene.AddCamera("Camera");
  return scene;
}

TEST(SceneFileWrite, AWrittenSceneReadsBackTheSame) {
  const Scene scene = RigScene();
  std::vector<std::string> warnings;
  const std::string text = hostsim::WriteSceneText(scene, {}, &warnings);
  EXPECT_TRUE(warnings.empty());
  EXPECT_NE(text.find("LoadObjectLayer 1 10000001 Objects/Body.lwo\nParentItem 10000000\n"
                      "AddBone 40000001\nBoneName Root\nParentItem 10000001\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("LoadObjectLayer 2 10000004 D:Props/Tree.lwo\n"), std::string::npos) << text;
  const Scene copy = ReadSceneText(text, "copy.lws");
  EXPECT_EQ(Outline(copy), Outline(scene));
  EXPECT_EQ(copy.Get(0x10000001u).fileName, scene.Get(0x10000001u).fileName);
}

TEST(SceneFileWrite, EveryFileNameReadsBackAsItWas) {
  for (const char* path : {"C:\\Content\\Objects\\a.lwo", "c:\\content\\b.lwo", "C:\\Content\\c:\\x\\c.lwo",
                           "E:\\d.lwo", "\\\\server\\share\\e.lwo", "D:\\with space\\ f.lwo "}) {
    Scene scene;
    hostsim::ItemSpec object;
    object.fileName = path;
    object.name = hostsim::ObjectNameFromPath(path);
    object.pointCount = 8;
    scene.Add(object);
    std::vector<std::string> warnings;
    const Scene copy = ReadSceneText(hostsim::WriteSceneText(scene, {}, &warnings), "copy.lws");
    EXPECT_EQ(copy.Get(0x10000000u).fileName, path);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
  }
}

// Rates whose shortest text has an exponent, which the reader refuses.
TEST(SceneFileWrite, EveryFrameRateReadsBackAsItWas) {
  for (const double rate : {30.0, 29.97, 10000000.0, 0.0000001, 1e300, 5e-324}) {
    Scene scene;
    hostsim::SceneTiming timing;
    timing.framesPerSecond = rate;
    scene.SetTiming(timing);
    const std::string text = hostsim::WriteSceneText(scene, {}, nullptr);
    const std::size_t at = text.find("FramesPerSecond ");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string line = text.substr(at, text.find('\n', at) - at);
    EXPECT_EQ(line.find_first_of("eE", 16), std::string::npos) << line;
    EXPECT_EQ(ReadSceneText(text, "copy.lws").timing().framesPerSecond, rate) << text;
  }
}

// The WebAssembly build reads and writes rates with the portable forms; here
// they are held to the library's, text for text and value for value: whole
// numbers past 2^53 written out, shortest digits that printf does not round
// to, the edges of the range, and random bit patterns.
TEST(FixedDecimal, PortableFormsAgreeWithTheLibrary) {
  std::vector<double> values = {0.0,
                                -0.0,
                                30,
                                29.97,
                                23.976,
                                1e23,
                                5e-324,
                                1e300,
                                9007199254740993.0,
                                7.1202363472230444e-307,
                                1.7976931348623157e308,
                                2.2250738585072014e-308};
  std::mt19937_64 random(19);
  for (int draw = 0; draw < 20000; ++draw) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
  }
  for (const double value : values) {
    const std::string text = hostsim::FixedDecimalText(value);
    ASSERT_EQ(hostsim::PortableFixedDecimalText(value), text);
    ASSERT_EQ(hostsim::PortableReadFixedDecimal(text), hostsim::ReadFixedDecimal(text)) << text;
    ASSERT_EQ(hostsim::ReadFixedDecimal(text), value) << text;
  }
  const std::vector<std::string> texts = {"30", "30.000000", "-1",   ".5",    "5.",  "007",
                                          "",   "-",         ".",    "1.2.3", "1e5", "+1",
                                          " 1", "1 ",        "0x10", "inf",   "nan", "1" + std::string(400, '0')};
  for (const std::string& text : texts) {
    EXPECT_EQ(hostsim::PortableReadFixedDecimal(text), hostsim::ReadFixedDecimal(text)) << text;
  }
}

TEST(SceneFileWrite, NamesAFileCannotKeepAreReported) {
  Scene scene;
  hostsim::ItemSpec renamed;
  renamed.name = "Hero";
  renamed.fileName = "C:\\Content\\Objects\\Body.lwo";
  renamed.pointCount = 8;
  scene.Add(renamed);
  std::vector<std::string> warnings;
  hostsim::WriteSceneText(scene, {}, &warnings);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("'Hero' will read back as 'Body'"), std::string::npos) << warnings[0];

  scene.AddNull("two\nlines");
  EXPECT_THROW(hostsim::WriteSceneText(scene), hostsim::SceneError);
}

}  // namespace
