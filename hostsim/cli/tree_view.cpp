#include "hostsim/cli/tree_view.h"

#include <algorithm>
#include <unordered_map>

#include "hostsim/cli/text.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8.h"

namespace hostsim {

namespace {

std::string Place(const std::unordered_map<std::uint32_t, std::size_t>& places, std::uint32_t id) {
  const auto found = places.find(id);
  return found == places.end() ? "-" : std::to_string(found->second);
}

}  // namespace

std::unordered_map<std::uint32_t, std::size_t> PlacesInSelection(const std::vector<std::uint32_t>& selection) {
  std::unordered_map<std::uint32_t, std::size_t> places;
  for (std::size_t entry = 0; entry < selection.size(); ++entry) places.emplace(selection[entry], entry + 1);
  return places;
}

std::string RenderTree(const Scene& scene, const SelectionMarks* marks, const TreeStyle& style) {
  if (marks == nullptr) return RenderTree(scene, std::vector<MarkColumn>(), style);
  return RenderTree(scene, {{"before", marks->before}, {"after", marks->after}}, style);
}

std::string RenderTree(const Scene& scene, const std::vector<MarkColumn>& columns, const TreeStyle& style) {
  std::vector<std::unordered_map<std::uint32_t, std::size_t>> places;
  std::string out;
  for (const MarkColumn& column : columns) {
    places.push_back(PlacesInSelection(column.selection));
    out += (out.empty() ? "" : " ") + column.title;
  }
  const bool compared = columns.size() > 2;
  if (!columns.empty()) out += compared ? "   " : "  ";
  out += "id        kind    item\n";
  if (scene.size() == 0) out += "(the scene is empty)\n";
  WalkTree(scene, [&](const Item& item, int depth) {
    std::string row;
    const char* colour = nullptr;
    if (!columns.empty()) {
      std::vector<std::string> marks;
      for (std::size_t column = 0; column < columns.size(); ++column) {
        marks.push_back(Place(places[column], item.id));
        row += (column == 0 ? "" : " ") + PadLeft(marks.back(), columns[column].title.size());
      }
      const std::string& was = marks[0];
      const std::string& is = marks.size() > 1 ? marks[1] : was;
      bool disagree = false;
      for (std::size_t column = 2; column < marks.size(); ++column) disagree |= marks[column] != is;
      row += !compared ? "  " : disagree ? " * " : "   ";
      if (disagree)
        colour = kYellow;
      else if (is != "-")
        colour = was == "-" ? kBoldGreen : kBold;
      else if (was != "-")
        colour = kRed;
    }
    row += IdText(item.id) + "  " + PadRight(KindLabel(item), 6) + "  " +
           std::string(static_cast<std::size_t>(depth) * 2, ' ') + EscapedText(item.name);
    if (colour != nullptr) row = Styled(row, colour, style.color);
    if (style.files && !item.fileName.empty()) row += "  " + Styled(EscapedText(item.fileName), kDim, style.color);
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
    json.NamedBytes("name", item.name);
    json.Key("depth").Number(depth);
    json.Key("parent");
    if (item.parent == kNoItem)
      json.Null();
    else
      json.String(IdText(scene.At(item.parent).id));
    if (item.fileName.empty())
      json.Key("file").Null();
    else
      json.NamedBytes("file", item.fileName);
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
