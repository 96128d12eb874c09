// The scene hostsim answers for: items with the host's identifiers, one parent
// each, children in creation order, and the per-kind scene order.
//
// Every link is an index into one vector, so each host call the module makes
// costs O(1) whatever the scene's size.
#ifndef QZ_HOSTSIM_SCENE_H
#define QZ_HOSTSIM_SCENE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hostsim {

enum class Kind : int { Object = 0, Light = 1, Camera = 2, Bone = 3 };

const char* KindName(Kind kind);

struct SceneError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr std::size_t kNoItem = 0;  // index of the scene root, id 0

struct Item {
  std::uint32_t id = 0;
  Kind kind = Kind::Object;
  std::string name;
  std::string fileName;  // objects loaded from a file; empty for nulls
  int pointCount = 0;    // 0 for null objects
  std::size_t parent = kNoItem;
  std::size_t owner = kNoItem;  // bones: the owning object
  std::size_t firstChild = kNoItem, lastChild = kNoItem;
  std::size_t previousSibling = kNoItem, nextSibling = kNoItem;
  std::size_t nextOfKind = kNoItem;  // bones: next bone of the same object
  std::size_t firstBone = kNoItem, lastBone = kNoItem;
  std::size_t boneCount = 0;
};

// What a new item is; fields left empty take the host's defaults.
struct ItemSpec {
  Kind kind = Kind::Object;
  std::string name;
  std::optional<std::uint32_t> id;  // default: the host's numbering
  std::uint32_t parent = 0;         // 0: top level (bones: their object)
  std::uint32_t owner = 0;          // bones only
  std::string fileName;
  int pointCount = 0;
};

// What a scene file says of time. Nothing here reaches the module; it is
// kept so that a scene written back says what it was read with.
struct SceneTiming {
  std::optional<std::int64_t> firstFrame, lastFrame;
  std::optional<double> framesPerSecond;
};

class Scene {
 public:
  Scene();

  // Builders for tests and generators. Parents must exist already; a loaded
  // object gets a Windows path under the default content folder.
  std::uint32_t AddObject(std::string name, std::uint32_t parent = 0);
  std::uint32_t AddNull(std::string name, std::uint32_t parent = 0);
  std::uint32_t AddLight(std::string name, std::uint32_t parent = 0);
  std::uint32_t AddCamera(std::string name, std::uint32_t parent = 0);
  // A bone hangs under its object unless another parent is given.
  std::uint32_t AddBone(std::uint32_t object, std::string name, std::uint32_t parent = 0);
  std::uint32_t Add(const ItemSpec& spec);

  // Room for this many more items, so generators of huge scenes build them
  // without moving every item again at each growth.
  void Reserve(std::size_t additionalItems);

  // Moves the item to the end of the new parent's children. Rejects unknown
  // items and any move that would make a cycle.
  void SetParent(std::uint32_t child, std::uint32_t parent);

  std::size_t size() const { return items_.size() - 1; }  // without the root
  bool Contains(std::uint32_t id) const { return IndexOf(id) != kNoItem; }
  // The item with this id; throws SceneError for an unknown id.
  const Item& Get(std::uint32_t id) const;
  std::size_t IndexOf(std::uint32_t id) const;  // kNoItem when unknown
  const Item& At(std::size_t index) const { return items_[index]; }
  const std::vector<Item>& items() const { return items_; }  // [0] is the root

  std::size_t FirstOfKind(Kind kind) const { return firstOfKind_[static_cast<int>(kind)]; }
  std::size_t CountOfKind(Kind kind) const { return countOfKind_[static_cast<int>(kind)]; }

  static std::string DefaultContentDirectory() { return "C:\\Content"; }
  // Where the builders say an object named so was loaded from.
  static std::string DefaultObjectPath(std::string_view name);

  const SceneTiming& timing() const { return timing_; }
  void SetTiming(const SceneTiming& timing) { timing_ = timing; }

 private:
  std::size_t OwnerOf(const ItemSpec& spec) const;
  std::uint32_t NewId(const ItemSpec& spec, std::size_t owner) const;
  std::size_t ParentOf(const ItemSpec& spec, std::size_t owner) const;
  void AppendToKind(std::size_t index);
  void Link(std::size_t index, std::size_t parent);
  void Unlink(std::size_t index);
  void Index(std::uint32_t id, std::size_t index);

  std::vector<Item> items_;
  // The ids the host numbers itself run densely per kind from 0, so objects,
  // lights and cameras are found by their serial without hashing; bones and
  // ids given by hand go to the map. A serial lives in exactly one of the two.
  std::vector<std::size_t> bySerial_[3];
  std::unordered_map<std::uint32_t, std::size_t> index_;
  std::size_t firstOfKind_[3] = {kNoItem, kNoItem, kNoItem};
  std::size_t lastOfKind_[3] = {kNoItem, kNoItem, kNoItem};
  std::size_t countOfKind_[4] = {0, 0, 0, 0};
  SceneTiming timing_;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_H
