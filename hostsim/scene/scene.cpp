#include "hostsim/scene/scene.h"

#include "hostsim/scene/item_ids.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// Which of the serial indexes holds a numbered id: 0 objects, 1 lights,
// 2 cameras; anything else has no serial numbering.
std::uint32_t SerialKind(std::uint32_t id) { return (id >> 28) - 1u; }

ItemSpec SpecOf(Kind kind, std::string name, std::uint32_t parent) {
  ItemSpec spec;
  spec.kind = kind;
  spec.name = std::move(name);
  spec.parent = parent;
  return spec;
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

std::string Scene::DefaultObjectPath(std::string_view name) {
  return DefaultContentDirectory() + "\\Objects\\" + std::string(name) + ".lwo";
}

std::uint32_t Scene::AddObject(std::string name, std::uint32_t parent) {
  ItemSpec spec = SpecOf(Kind::Object, std::move(name), parent);
  spec.fileName = DefaultObjectPath(spec.name);
  spec.pointCount = 8;
  return Add(spec);
}

std::uint32_t Scene::AddNull(std::string name, std::uint32_t parent) {
  return Add(SpecOf(Kind::Object, std::move(name), parent));
}

std::uint32_t Scene::AddLight(std::string name, std::uint32_t parent) {
  return Add(SpecOf(Kind::Light, std::move(name), parent));
}

std::uint32_t Scene::AddCamera(std::string name, std::uint32_t parent) {
  return Add(SpecOf(Kind::Camera, std::move(name), parent));
}

std::uint32_t Scene::AddBone(std::uint32_t object, std::string name, std::uint32_t parent) {
  ItemSpec spec = SpecOf(Kind::Bone, std::move(name), parent);
  spec.owner = object;
  return Add(spec);
}

std::uint32_t Scene::Add(const ItemSpec& spec) {
  const int kind = static_cast<int>(spec.kind);
  if (kind < 0 || kind > 3) throw SceneError("unknown item kind");
  const std::size_t owner = OwnerOf(spec);
  const std::uint32_t id = NewId(spec, owner);
  if (Contains(id)) throw SceneError("duplicate item id " + IdText(id));
  const std::size_t parent = ParentOf(spec, owner);

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
  AppendToKind(index);
  Link(index, parent);
  return id;
}

std::size_t Scene::OwnerOf(const ItemSpec& spec) const {
  if (spec.kind != Kind::Bone) return kNoItem;
  const std::size_t owner = IndexOf(spec.owner);
  if (owner == kNoItem || items_[owner].kind != Kind::Object)
    throw SceneError("bone '" + spec.name + "' needs an existing object as owner, not " + IdText(spec.owner));
  return owner;
}

std::uint32_t Scene::NewId(const ItemSpec& spec, std::size_t owner) const {
  if (spec.id) {
    if (!CarriesKindBits(*spec.id, spec.kind))
      throw SceneError("id " + IdText(*spec.id) + " does not carry the kind bits of a " + KindName(spec.kind));
    return *spec.id;
  }
  if (spec.kind == Kind::Bone) {
    const std::size_t boneIndex = items_[owner].boneCount;
    if (boneIndex >= kMaxBonesPerObject) throw SceneError("more than 4096 bones on one object");
    return BoneId(items_[owner].id, boneIndex);
  }
  const std::size_t serial = countOfKind_[static_cast<int>(spec.kind)];
  if (serial >= kMaxSerials) throw SceneError("too many items of one kind");
  return SerialId(spec.kind, serial);
}

std::size_t Scene::ParentOf(const ItemSpec& spec, std::size_t owner) const {
  std::uint32_t parentId = spec.parent;
  if (spec.kind == Kind::Bone && parentId == 0) parentId = items_[owner].id;
  const std::size_t parent = parentId == 0 ? kNoItem : IndexOf(parentId);
  if (parentId != 0 && parent == kNoItem) throw SceneError("parent " + IdText(parentId) + " does not exist");
  return parent;
}

// Bones chain per object, everything else per kind, both in creation order.
void Scene::AppendToKind(std::size_t index) {
  const Item& item = items_[index];
  const int kind = static_cast<int>(item.kind);
  std::size_t& first = item.kind == Kind::Bone ? items_[item.owner].firstBone : firstOfKind_[kind];
  std::size_t& last = item.kind == Kind::Bone ? items_[item.owner].lastBone : lastOfKind_[kind];
  if (last == kNoItem)
    first = index;
  else
    items_[last].nextOfKind = index;
  last = index;
  if (item.kind == Kind::Bone) ++items_[item.owner].boneCount;
}

void Scene::Reserve(std::size_t additionalItems) { items_.reserve(items_.size() + additionalItems); }

void Scene::SetParent(std::uint32_t child, std::uint32_t parent) {
  const std::size_t index = IndexOf(child);
  if (index == kNoItem) throw SceneError("item " + IdText(child) + " does not exist");
  const std::size_t newParent = parent == 0 ? kNoItem : IndexOf(parent);
  if (parent != 0 && newParent == kNoItem) throw SceneError("parent " + IdText(parent) + " does not exist");
  for (std::size_t up = newParent; up != kNoItem; up = items_[up].parent) {
    if (up == index) throw SceneError("parenting " + IdText(child) + " to " + IdText(parent) + " would make a cycle");
  }
  Unlink(index);
  Link(index, newParent);
}

const Item& Scene::Get(std::uint32_t id) const {
  const std::size_t index = IndexOf(id);
  if (index == kNoItem) throw SceneError("item " + IdText(id) + " does not exist");
  return items_[index];
}

void Scene::Index(std::uint32_t id, std::size_t index) {
  const std::uint32_t kind = SerialKind(id);
  if (kind < 3 && SerialOf(id) == bySerial_[kind].size()) {
    bySerial_[kind].push_back(index);
  } else {
    index_.emplace(id, index);
  }
}

std::size_t Scene::IndexOf(std::uint32_t id) const {
  const std::uint32_t kind = SerialKind(id);
  if (kind < 3 && SerialOf(id) < bySerial_[kind].size()) return bySerial_[kind][SerialOf(id)];
  const auto found = index_.find(id);
  return found == index_.end() ? kNoItem : found->second;
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
