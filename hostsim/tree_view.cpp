#include "hostsim/tree_view.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace hostsim {

namespace {

constexpr char kGreen[] = "\033[1;32m";
constexpr char kRed[] = "\033[31m";
constexpr char kBold[] = "\033[1m";
constexpr char kDim[] = "\033[2m";
constexpr char kReset[] = "\033[0m";

std::string Place(const std::unordered_map<std::uint32_t, std::size_t>& places, std::uint32_t id) {
  const auto found = places.find(id);
  return found == places.end() ? "-" : std::to_string(found->second);
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

const char* KindLabel(const Item& item) {
  if (item.kind == Kind::Object) return item.fileName.empty() ? "null" : "object";
  return KindName(item.kind);
}

std::unordered_map<std::uint32_t, std::size_t> PlacesInSelection(const std::vector<std::uint32_t>& selection) {
  std::unordered_map<std::uint32_t, std::size_t> places;
  for (std::size_t entry = 0; entry < selection.size(); ++entry) places.emplace(selection[entry], entry + 1);
  return places;
}

std::string IdText(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", id);
  return text;
}

std::string RenderTree(const Scene& scene, const SelectionMarks* marks, const TreeStyle& style) {
  std::unordered_map<std::uint32_t, std::size_t> before, after;
  if (marks != nullptr) {
    before = PlacesInSelection(marks->before);
    after = PlacesInSelection(marks->after);
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
        colour = was == "-" ? kGreen : kBold;
      else if (was != "-")
        colour = kRed;
    }
    row += IdText(item.id) + "  " + PadRight(KindLabel(item), 6) + "  " +
           std::string(static_cast<std::size_t>(depth) * 2, ' ') + item.name;
    if (style.color && colour != nullptr) row = colour + row + kReset;
    if (style.files && !item.fileName.empty()) {
      row += style.color ? std::string("  ") + kDim + item.fileName + kReset : "  " + item.fileName;
    }
    out += row + "\n";
  });
  return out;
}

void WriteItemsJson(JsonWriter& json, const Scene& scene, const SelectionMarks* marks) {
  std::unordered_map<std::uint32_t, std::size_t> before, after;
  if (marks != nullptr) {
    before = PlacesInSelection(marks->before);
    after = PlacesInSelection(marks->after);
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
