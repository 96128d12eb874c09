#include "hostsim/scene/scene.h"

#include <cstdio>
#include <cstdlib>

namespace hostsim {

namespace {

constexpr std::uint32_t kKindBase[4] = {0x10000000u, 0x20000000u, 0x30000000u, 0x40000000u};

// 0 for objects, 1 lights, 2 cameras; anything else has no serial numbering.
std::uint32_t SerialKind(std::uint32_t id) { return (id >> 28) - 1u; }
std::uint32_t Serial(std::uint32_t id) { return id & 0x0FFFFFFFu; }

std::string Hex(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", id);
  return text;
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Object: return "object";
    case Kind::Light: return "light";
    case Kind::Camera: return "camera";
    case Kind::Bone: return "bone";
  }
  return "?";
}

Scene::Scene() { items_.emplace_back(); }  // the root: id 0, parent of every top-level item

std::uint32_t Scene::AddObject(std::string name, std::uint32_t parent) {
  ItemSpec spec;
  spec.kind = Kind::Object;
  spec.fileName = DefaultContentDirectory() + "\\Objects\\" + name + ".lwo";
  spec.name = std::move(name);
  spec.parent = parent;
  spec.pointCount = 8;
  return Add(spec);
}

std::uint32_t Scene::AddNull(std::string name, std::uint32_t parent) {
  ItemSpec spec;
  spec.kind = Kind::Object;
  spec.name = std::move(name);
  spec.parent = parent;
  return Add(spec);
}

std::uint32_t Scene::AddLight(std::string name, std::uint32_t parent) {
  ItemSpec spec;
  spec.kind = Kind::Light;
  spec.name = std::move(name);
  spec.parent = parent;
  return Add(spec);
}

std::uint32_t Scene::AddCamera(std::string name, std::uint32_t parent) {
  ItemSpec spec;
  spec.kind = Kind::Camera;
  spec.name = std::move(name);
  spec.parent = parent;
  return Add(spec);
}

std::uint32_t Scene::AddBone(std::uint32_t object, std::string name, std::uint32_t parent) {
  ItemSpec spec;
  spec.kind = Kind::Bone;
  spec.name = std::move(name);
  spec.owner = object;
  spec.parent = parent;
  return Add(spec);
}

std::uint32_t Scene::Add(const ItemSpec& spec) {
  const int kind = static_cast<int>(spec.kind);
  if (kind < 0 || kind > 3) throw SceneError("unknown item kind");
  std::size_t owner = kNoItem;
  if (spec.kind == Kind::Bone) {
    owner = IndexOf(spec.owner);
    if (owner == kNoItem || items_[owner].kind != Kind::Object)
      throw SceneError("bone '" + spec.name + "' needs an existing object as owner, not " + Hex(spec.owner));
  }
  std::uint32_t id = 0;
  if (spec.id) {
    id = *spec.id;
    if ((id & 0xF0000000u) != kKindBase[kind])
      throw SceneError("id " + Hex(id) + " does not carry the kind bits of a " + KindName(spec.kind));
  } else if (spec.kind == Kind::Bone) {
    const std::size_t boneIndex = items_[owner].boneCount;
    if (boneIndex > 0xFFF) throw SceneError("more than 4096 bones on one object");
    id = kKindBase[kind] | static_cast<std::uint32_t>(boneIndex) << 16 | (items_[owner].id & 0xFFFFu);
  } else {
    if (countOfKind_[kind] > 0x0FFFFFFF) throw SceneError("too many items of one kind");
    id = kKindBase[kind] + static_cast<std::uint32_t>(countOfKind_[kind]);
  }
  if (Contains(id)) throw SceneError("duplicate item id " + Hex(id));

  std::uint32_t parentId = spec.parent;
  if (spec.kind == Kind::Bone && parentId == 0) parentId = items_[owner].id;
  const std::size_t parent = parentId == 0 ? kNoItem : IndexOf(parentId);
  if (parentId != 0 && parent == kNoItem) throw SceneError("parent " + Hex(parentId) + " does not exist");

  const std::size_t index = items_.size();
  Item item;
  item.id = id;
  item.kind = spec.kind;
  item.name = spec.name;
  item.fileName = spec.fileName;
  item.pointCount = spec.pointCount;
  item.owner = owner;
  items_.push_back(std::move(item));
  Index(id, index);
  ++countOfKind_[kind];

  if (spec.kind == Kind::Bone) {
    Item& object = items_[owner];
    if (object.lastBone == kNoItem)
      object.firstBone = index;
    else
      items_[object.lastBone].nextOfKind = index;
    object.lastBone = index;
    ++object.boneCount;
  } else {
    if (lastOfKind_[kind] == kNoItem)
      firstOfKind_[kind] = index;
    else
      items_[lastOfKind_[kind]].nextOfKind = index;
    lastOfKind_[kind] = index;
  }
  Link(index, parent);
  return id;
}

void Scene::Reserve(std::size_t additionalItems) { items_.reserve(items_.size() + additionalItems); }

void Scene::SetParent(std::uint32_t child, std::uint32_t parent) {
  const std::size_t index = IndexOf(child);
  if (index == kNoItem) throw SceneError("item " + Hex(child) + " does not exist");
  const std::size_t newParent = parent == 0 ? kNoItem : IndexOf(parent);
  if (parent != 0 && newParent == kNoItem) throw SceneError("parent " + Hex(parent) + " does not exist");
  for (std::size_t up = newParent; up != kNoItem; up = items_[up].parent) {
    if (up == index) throw SceneError("parenting " + Hex(child) + " to " + Hex(parent) + " would make a cycle");
  }
  Unlink(index);
  Link(index, newParent);
}

const Item& Scene::Get(std::uint32_t id) const {
  const std::size_t index = IndexOf(id);
  if (index == kNoItem) throw SceneError("item " + Hex(id) + " does not exist");
  return items_[index];
}

Item& Scene::GetMutable(std::uint32_t id) { return items_[static_cast<std::size_t>(&Get(id) - items_.data())]; }

void Scene::Index(std::uint32_t id, std::size_t index) {
  const std::uint32_t kind = SerialKind(id);
  if (kind < 3 && Serial(id) == bySerial_[kind].size()) {
    bySerial_[kind].push_back(index);
  } else {
    index_.emplace(id, index);
  }
}

std::size_t Scene::IndexOf(std::uint32_t id) const {
  const std::uint32_t kind = SerialKind(id);
  if (kind < 3 && Serial(id) < bySerial_[kind].size()) return bySerial_[kind][Serial(id)];
  const auto found = index_.find(id);
  return found == index_.end() ? kNoItem : found->second;
}

std::optional<std::uint32_t> Scene::FindByName(std::string_view name) const {
  for (std::size_t index = 1; index < items_.size(); ++index) {
    if (items_[index].name == name) return items_[index].id;
  }
  std::string text(name);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str() + 2, &end, 16);
    if (end != nullptr && *end == '\0' && value <= 0xFFFFFFFFul && Contains(static_cast<std::uint32_t>(value)))
      return static_cast<std::uint32_t>(value);
  }
  return std::nullopt;
}

void Scene::Link(std::size_t index, std::size_t parent) {
  Item& item = items_[index];
  Item& up = items_[parent];
  item.parent = parent;
  item.previousSibling = up.lastChild;
  item.nextSibling = kNoItem;
  if (up.lastChild == kNoItem)
    up.firstChild = index;
  else
    items_[up.lastChild].nextSibling = index;
  up.lastChild = index;
}

void Scene::Unlink(std::size_t index) {
  Item& item = items_[index];
  Item& up = items_[item.parent];
  if (item.previousSibling == kNoItem)
    up.firstChild = item.nextSibling;
  else
    items_[item.previousSibling].nextSibling = item.nextSibling;
  if (item.nextSibling == kNoItem)
    up.lastChild = item.previousSibling;
  else
    items_[item.nextSibling].previousSibling = item.previousSibling;
  item.previousSibling = item.nextSibling = kNoItem;
}

}  // namespace hostsim
