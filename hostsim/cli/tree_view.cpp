#include "hostsim/cli/tree_view.h"

#include <algorithm>
#include <unordered_map>

#include "hostsim/cli/text.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// Tree order without recursion: scene files can nest deeper than a stack.
template <typename Visit>
void WalkTree(const Scene& scene, Visit visit) {
  std::vector<std::pair<std::size_t, int>> pending;
  const auto pushChildren = [&](std::size_t parent, int depth) {
    const std::size_t first = pending.size();
    for (std::size_t child = scene.At(parent).firstChild; child != kNoItem; child = scene.At(child).nextSibling)
      pending.emplace_back(child, depth);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
  };
  pushChildren(kNoItem, 0);
  while (!pending.empty()) {
    const auto [index, depth] = pending.back();
    pending.pop_back();
    visit(scene.At(index), depth);
    pushChildren(index, depth + 1);
  }
}

std::unordered_map<std::uint32_t, std::size_t> Places(const std::vector<std::uint32_t>& selection) {
  std::unordered_map<std::uint32_t, std::size_t> places;
  for (std::size_t entry = 0; entry < selection.size(); ++entry) places.emplace(selection[entry], entry + 1);
  return places;
}

std::string Place(const std::unordered_map<std::uint32_t, std::size_t>& places, std::uint32_t id) {
  const auto found = places.find(id);
  return found == places.end() ? "-" : std::to_string(found->second);
}

}  // namespace

const char* KindLabel(const Item& item) {
  if (item.kind == Kind::Object) return item.fileName.empty() ? "null" : "object";
  return KindName(item.kind);
}

std::string RenderTree(const Scene& scene, const SelectionMarks* marks, const TreeStyle& style) {
  std::unordered_map<std::uint32_t, std::size_t> before, after;
  if (marks != nullptr) {
    before = Places(marks->before);
    after = Places(marks->after);
  }
  std::string out = marks != nullptr ? "before after  " : "";
  out += "id        kind    item\n";
  if (scene.size() == 0) out += "(the scene is empty)\n";
  WalkTree(scene, [&](const Item& item, int depth) {
    std::string row;
    const char* colour = nullptr;
    if (marks != nullptr) {
      const std::string was = Place(before, item.id), is = Place(after, item.id);
      row += PadLeft(was, 6) + " " + PadLeft(is, 5) + "  ";
      if (is != "-")
        colour = was == "-" ? kBoldGreen : kBold;
      else if (was != "-")
        colour = kRed;
    }
    row += IdText(item.id) + "  " + PadRight(KindLabel(item), 6) + "  " +
           std::string(static_cast<std::size_t>(depth) * 2, ' ') + item.name;
    if (colour != nullptr) row = Styled(row, colour, style.color);
    if (style.files && !item.fileName.empty()) row += "  " + Styled(item.fileName, kDim, style.color);
    out += row + "\n";
  });
  return out;
}

void WriteItemsJson(JsonWriter& json, const Scene& scene, const SelectionMarks* marks) {
  std::unordered_map<std::uint32_t, std::size_t> before, after;
  if (marks != nullptr) {
    before = Places(marks->before);
    after = Places(marks->after);
  }
  json.BeginArray();
  WalkTree(scene, [&](const Item& item, int depth) {
    json.BeginObject();
    json.Key("id").String(IdText(item.id));
    json.Key("kind").String(KindLabel(item));
    json.Key("name").String(item.name);
    json.Key("depth").Number(depth);
    json.Key("parent");
    if (item.parent == kNoItem)
      json.Null();
    else
      json.String(IdText(scene.At(item.parent).id));
    json.Key("file");
    if (item.fileName.empty())
      json.Null();
    else
      json.String(item.fileName);
    if (marks != nullptr) {
      for (const auto& [key, places] : {std::pair{"before", &before}, std::pair{"after", &after}}) {
        json.Key(key);
        const auto found = places->find(item.id);
        if (found == places->end())
          json.Null();
        else
          json.Number(static_cast<std::int64_t>(found->second));
      }
    }
    json.EndObject();
  });
  json.EndArray();
}

}  // namespace hostsim
