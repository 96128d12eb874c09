#include "hostsim/cli/svg_view.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "hostsim/cli/console.h"
#include "hostsim/cli/text.h"
#include "hostsim/scene/utf8.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8_path.h"

namespace hostsim {

namespace {

// Longer texts are cut: a picture is for reading at a glance.
constexpr std::size_t kLongestName = 24;
constexpr std::size_t kLongestLine = 64;  // a sent line, a message, an error
constexpr std::size_t kLongestPattern = 40;
constexpr std::size_t kEntriesInTitle = 4;

constexpr int kMargin = 16;
constexpr int kRowHeight = 16;
constexpr int kIndentStep = 12;
constexpr int kDeepestIndent = 16;  // levels drawn; deeper rows say how much deeper
constexpr int kPanelGap = 32;
constexpr int kNoteHeight = 18;
constexpr int kKindBadgeWidth = 14;

// The fonts are the viewer's, so widths are estimated generously rather than
// measured: pixels per character at 12px, ASCII and beyond it.
constexpr int kAsciiAdvance = 8;
constexpr int kWideAdvance = 13;
constexpr int kMonospaceAdvanceTwice = 15;

constexpr char kPaper[] = "#ffffff";
constexpr char kPanelFill[] = "#f6f8fa";
constexpr char kPanelEdge[] = "#d0d7de";
constexpr char kStripe[] = "#edf0f3";
constexpr char kSelectedRow[] = "#cde2fe";
constexpr char kPlaceFill[] = "#0969da";
constexpr char kFirstPlaceFill[] = "#bc4c00";
constexpr char kInk[] = "#1f2328";
constexpr char kMuted[] = "#57606a";
constexpr char kDimInk[] = "#aab2ba";
constexpr char kAdded[] = "#1a7f37";
constexpr char kDropped[] = "#cf222e";
constexpr char kDimOpacity[] = "0.3";

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kEllipsis[] = "\xE2\x80\xA6";     // U+2026

struct KindStyle {
  const char* label;  // as KindLabel gives it
  const char* letter;
  const char* fill;
  const char* legend;
};
const KindStyle kKindStyles[] = {
    {"object", "O", "#9a6700", "loaded object"}, {"null", "N", "#6e7781", "null"}, {"light", "L", "#bf8700", "light"},
    {"camera", "C", "#8250df", "camera"},        {"bone", "B", "#1b7c83", "bone"},
};

const KindStyle& StyleOf(const Item& item) {
  const std::string_view label = KindLabel(item);
  for (const KindStyle& style : kKindStyles) {
    if (label == style.label) return style;
  }
  return kKindStyles[0];
}

// XML 1.0 forbids most control characters even as references; the rest, and
// the C1 controls, would show as nothing.
bool Printable(char32_t c) { return c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F) && c != 0xFFFE && c != 0xFFFF; }

// A text as drawn: escaped, with its length in characters for the layout.
struct Shown {
  std::string xml;
  std::size_t characters = 0;
  std::size_t wide = 0;  // characters beyond ASCII, which take more room

  int Width(int asciiAdvance = kAsciiAdvance) const {
    return static_cast<int>(characters - wide) * asciiAdvance + static_cast<int>(wide) * kWideAdvance;
  }
  int MonospaceWidth() const {
    return (static_cast<int>(characters - wide) * kMonospaceAdvanceTwice + 1) / 2 +
           static_cast<int>(wide) * kWideAdvance;
  }
};

// Four characters, "\xE9", that a cut must not split.
bool EscapeStarts(std::string_view text, std::size_t at) {
  return text.size() - at >= 4 && text[at] == '\\' && text[at + 1] == 'x';
}

Shown Show(std::string_view bytes, std::size_t longest) {
  const std::string text = EscapedText(bytes);
  // Counted first, so that a cut falls between characters, never inside one.
  std::size_t total = 0;
  for (std::size_t at = 0; at < text.size(); ++total) at += std::max<std::size_t>(1, DecodeUtf8(text, at).length);
  const bool cut = total > longest;
  const std::size_t keep = cut ? (longest == 0 ? 0 : longest - 1) : total;
  Shown shown;
  for (std::size_t at = 0; shown.characters < keep; ++shown.characters) {
    if (cut && EscapeStarts(text, at) && shown.characters + 4 > keep) break;
    const Utf8Char c = DecodeUtf8(text, at);
    at += std::max<std::size_t>(1, c.length);
    if (c.length == 0 || !Printable(c.codePoint)) {
      shown.xml += kReplacement;
      ++shown.wide;
      continue;
    }
    switch (c.codePoint) {
      case '&': shown.xml += "&amp;"; break;
      case '<': shown.xml += "&lt;"; break;
      case '>': shown.xml += "&gt;"; break;
      case '"': shown.xml += "&quot;"; break;
      case '\'': shown.xml += "&#39;"; break;
      default: shown.xml.append(text.substr(at - c.length, c.length));
    }
    if (c.codePoint >= 0x80) ++shown.wide;
  }
  if (cut && longest > 0) {
    shown.xml += kEllipsis;
    ++shown.characters;
    ++shown.wide;
  }
  return shown;
}

Shown Joined(std::initializer_list<Shown> parts) {
  Shown joined;
  for (const Shown& part : parts) {
    joined.xml += part.xml;
    joined.characters += part.characters;
    joined.wide += part.wide;
  }
  return joined;
}

Shown Plain(std::string_view text) { return Show(text, text.size()); }

std::string Decimal(int value) { return std::to_string(value); }

int Digits(std::size_t value) {
  int digits = 1;
  for (; value >= 10; value /= 10) ++digits;
  return digits;
}

class Drawing {
 public:
  void Rect(int x, int y, int width, int height, const char* fill, const std::string& more = "") {
    out_ += "<rect x=\"" + Decimal(x) + "\" y=\"" + Decimal(y) + "\" width=\"" + Decimal(width) + "\" height=\"" +
            Decimal(height) + "\" fill=\"" + fill + "\"" + more + "/>\n";
  }
  // `xml` is escaped already; `more` holds further attributes.
  void Text(int x, int y, const std::string& xml, const std::string& more = "") {
    out_ += "<text x=\"" + Decimal(x) + "\" y=\"" + Decimal(y) + "\"" + more + ">" + xml + "</text>\n";
  }
  void Raw(const std::string& text) { out_ += text; }
  const std::string& text() const { return out_; }

 private:
  std::string out_;
};

std::string Fill(const char* colour) { return std::string(" fill=\"") + colour + "\""; }
const char kBoldWeight[] = " font-weight=\"bold\"";
const char kMiddle[] = " text-anchor=\"middle\"";
const char kMonospace[] = " font-family=\"monospace\"";

std::string Size(int pixels) { return " font-size=\"" + Decimal(pixels) + "\""; }

// A small rounded label: the place in the selection, or the kind letter.
void Badge(Drawing& drawing, int x, int top, int width, const char* fill, const std::string& label) {
  drawing.Rect(x, top + 2, width, 12, fill, " rx=\"3\"");
  drawing.Text(x + width / 2, top + 12, label, Fill(kPaper) + Size(10) + kBoldWeight + kMiddle);
}

struct Row {
  const Item* item;
  int depth;
  Shown name;
  Shown deeper;  // "+N " when the indent stops short of the depth
};

struct Layout {
  int placeWidth = 0;  // of the widest place badge
  int kindX = 0, nameX = 0;
  int panelWidth = 0, panelTop = 0, panelHeight = 0;
};

std::optional<Kind> ReferenceKind(const Scene& scene, const std::vector<std::uint32_t>& before) {
  if (before.empty() || !scene.Contains(before[0])) return std::nullopt;
  return scene.Get(before[0]).kind;
}

Shown ItemName(const Scene& scene, std::uint32_t id) {
  return scene.Contains(id) ? Show(scene.Get(id).name, kLongestName) : Plain(IdText(id));
}

void DrawPanel(Drawing& drawing, const std::vector<Row>& rows, const Layout& layout, int x,
               const std::unordered_map<std::uint32_t, std::size_t>& places,
               const std::unordered_map<std::uint32_t, std::size_t>* placesBefore, std::optional<Kind> reference) {
  drawing.Rect(x, layout.panelTop, layout.panelWidth, layout.panelHeight, kPanelFill,
               std::string(" stroke=\"") + kPanelEdge + "\"");
  if (rows.empty()) {
    drawing.Text(x + 8, layout.panelTop + 13, "(the scene is empty)", Fill(kMuted));
    return;
  }
  for (std::size_t index = 0; index < rows.size(); ++index) {
    const Row& row = rows[index];
    const int top = layout.panelTop + 1 + static_cast<int>(index) * kRowHeight;
    const auto place = places.find(row.item->id);
    const bool selected = place != places.end();
    if (selected)
      drawing.Rect(x + 1, top, layout.panelWidth - 2, kRowHeight, kSelectedRow);
    else if (index % 2 == 1)
      drawing.Rect(x + 1, top, layout.panelWidth - 2, kRowHeight, kStripe);
    if (placesBefore != nullptr) {
      const bool was = placesBefore->count(row.item->id) != 0;
      if (selected != was) drawing.Rect(x + 1, top, 3, kRowHeight, selected ? kAdded : kDropped);
    }
    if (selected) {
      const std::string number = std::to_string(place->second);
      const int width = 8 + 6 * static_cast<int>(number.size());
      Badge(drawing, x + 8 + layout.placeWidth - width, top, width, place->second == 1 ? kFirstPlaceFill : kPlaceFill,
            number);
    }
    const bool dim = reference && row.item->kind != *reference;
    const KindStyle& kind = StyleOf(*row.item);
    if (dim) drawing.Raw(std::string("<g opacity=\"") + kDimOpacity + "\">\n");
    Badge(drawing, x + layout.kindX, top, kKindBadgeWidth, kind.fill, kind.letter);
    if (dim) drawing.Raw("</g>\n");
    const int nameX = x + layout.nameX + std::min(row.depth, kDeepestIndent) * kIndentStep;
    std::string name;
    if (row.deeper.characters > 0) {
      name += "<tspan" + Fill(kMuted) + " font-weight=\"normal\">";
      name += row.deeper.xml;
      name += "</tspan>";
    }
    name += row.name.xml;
    drawing.Text(nameX, top + 12, name, Fill(dim ? kDimInk : kInk) + (selected ? kBoldWeight : ""));
  }
}

// The lines in columns, numbered, so that a long list stays short.
int DrawLines(Drawing& drawing, const std::vector<std::string>& lines, int y, int width) {
  std::vector<Shown> shown;
  int longest = 0;
  for (const std::string& line : lines) {
    shown.push_back(Show(line, kLongestLine));
    longest = std::max(longest, shown.back().MonospaceWidth());
  }
  const int numberWidth = kMonospaceAdvanceTwice * Digits(lines.size()) / 2 + 1;
  const int columnWidth = numberWidth + 8 + longest + 24;
  const int fit = std::max(1, (width - 2 * kMargin + 24) / columnWidth);
  const int columns = std::max(1, std::min(fit, static_cast<int>((lines.size() + 3) / 4)));
  const int perColumn =
      static_cast<int>((lines.size() + static_cast<std::size_t>(columns) - 1) / static_cast<std::size_t>(columns));
  for (std::size_t index = 0; index < shown.size(); ++index) {
    const int column = static_cast<int>(index) / perColumn;
    const int row = static_cast<int>(index) % perColumn;
    const int x = kMargin + column * columnWidth;
    const int baseline = y + row * kNoteHeight;
    drawing.Text(x + numberWidth, baseline, std::to_string(index + 1),
                 std::string(kMonospace) + Fill(kMuted) + " text-anchor=\"end\"");
    drawing.Text(x + numberWidth + 8, baseline, shown[index].xml, std::string(kMonospace) + Fill(kInk));
  }
  return perColumn;
}

struct Note {
  Shown text;
  const char* colour;
};

std::vector<Note> Notes(const RunPicture& run) {
  std::vector<Note> notes;
  if (run.panel) {
    const PanelRecord& panel = *run.panel;
    Shown kind = Plain("none"), pattern = Plain("none");
    for (const ControlRecord& control : panel.controls) {
      if (control.typeName == kEditControlName)
        pattern = Joined({Plain("\""), Show(control.text, kLongestPattern), Plain("\"")});
      if (control.typeName == kChoiceControlName && control.choice >= 0 &&
          static_cast<std::size_t>(control.choice) < control.items.size()) {
        std::string item = control.items[static_cast<std::size_t>(control.choice)];
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        kind = Show(item, kLongestName);
      }
    }
    const char* outcome = !panel.openResult ? "never opened" : *panel.openResult != 0 ? "confirmed" : "dismissed";
    notes.push_back({Joined({Plain("panel \""), Show(panel.title, kLongestLine), Plain("\": kind "), kind,
                             Plain(", pattern "), pattern, Plain(", "), Plain(outcome)}),
                     kInk});
  }
  for (const Message& message : run.result.messages) {
    Shown text = Joined({Plain("message: "), Show(message.text, kLongestLine)});
    if (message.secondText) text = Joined({text, Plain(" / "), Show(*message.secondText, kLongestLine)});
    notes.push_back({text, kFirstPlaceFill});
  }
  for (const std::string& error : run.result.protocolErrors)
    notes.push_back({Joined({Plain("protocol error: "), Show(error, kLongestLine * 2)}), kDropped});
  return notes;
}

Shown TitleSelection(const Scene& scene, const std::vector<std::uint32_t>& before) {
  if (before.empty()) return Plain("with nothing selected");
  Shown text = Plain("on ");
  const std::size_t named = before.size() > kEntriesInTitle + 1 ? kEntriesInTitle : before.size();
  for (std::size_t entry = 0; entry < named; ++entry)
    text = Joined({text, Plain(entry == 0 ? "" : ", "), ItemName(scene, before[entry])});
  if (named < before.size()) text = Joined({text, Plain(" and " + std::to_string(before.size() - named) + " more")});
  return text;
}

struct LegendEntry {
  int markWidth;  // a badge, or the narrow bar of a change
  const char* fill;
  const char* label;
  const char* meaning;
  bool faded;
  bool newLine;  // starts a group of its own
};

std::vector<LegendEntry> LegendEntries() {
  std::vector<LegendEntry> entries = {
      {14, kFirstPlaceFill, "1", "first entry: sets the reference kind", false, false},
      {14, kPlaceFill, "2", "place in the selection", false, false},
      {3, kAdded, "", "newly selected", false, false},
      {3, kDropped, "", "deselected", false, false},
  };
  for (const KindStyle& kind : kKindStyles)
    entries.push_back({kKindBadgeWidth, kind.fill, kind.letter, kind.legend, false, &kind == kKindStyles});
  entries.push_back(
      {kKindBadgeWidth, kKindStyles[0].fill, kKindStyles[0].letter, "not of the reference kind", true, false});
  return entries;
}

int LegendEntryWidth(const LegendEntry& entry) { return entry.markWidth + 5 + Plain(entry.meaning).Width(6); }

// The marks explained, in as many lines as the width needs; returns the y of
// the last line.
int DrawLegend(Drawing& drawing, int y, int width) {
  int x = kMargin;
  for (const LegendEntry& entry : LegendEntries()) {
    if (x > kMargin && (entry.newLine || x + LegendEntryWidth(entry) > width - kMargin)) {
      x = kMargin;
      y += kNoteHeight;
    }
    if (entry.faded) drawing.Raw(std::string("<g opacity=\"") + kDimOpacity + "\">\n");
    if (entry.label[0] == '\0')
      drawing.Rect(x, y - 12, entry.markWidth, kRowHeight, entry.fill);
    else
      Badge(drawing, x, y - 12, entry.markWidth, entry.fill, entry.label);
    if (entry.faded) drawing.Raw("</g>\n");
    drawing.Text(x + entry.markWidth + 5, y, entry.meaning, Fill(kMuted) + Size(11));
    x += LegendEntryWidth(entry) + 14;
  }
  return y;
}

}  // namespace

std::string XmlText(std::string_view bytes, std::size_t longest) { return Show(bytes, longest).xml; }

namespace {

// The scene list in tree order, names cut to fit.
std::vector<Row> OutlinerRows(const Scene& scene) {
  std::vector<Row> rows;
  rows.reserve(scene.size());
  WalkTree(scene, [&](const Item& item, int depth) {
    Row row{&item, depth, Show(item.name, kLongestName), {}};
    if (depth > kDeepestIndent) row.deeper = Plain("+" + std::to_string(depth - kDeepestIndent) + " ");
    rows.push_back(std::move(row));
  });
  return rows;
}

// Both panels are as wide as the widest row and its place badge need.
Layout OutlinerLayout(const std::vector<Row>& rows, std::size_t longestSelection) {
  Layout layout;
  layout.placeWidth = 8 + 6 * Digits(std::max<std::size_t>(1, longestSelection));
  layout.kindX = 8 + layout.placeWidth + 6;
  layout.nameX = layout.kindX + kKindBadgeWidth + 6;
  int widestName = Plain("(the scene is empty)").Width();
  for (const Row& row : rows) {
    widestName =
        std::max(widestName, std::min(row.depth, kDeepestIndent) * kIndentStep + row.deeper.Width() + row.name.Width());
  }
  layout.panelWidth = std::max(layout.nameX + widestName + 8, 200);
  layout.panelTop = 96;
  layout.panelHeight = std::max<int>(1, static_cast<int>(rows.size())) * kRowHeight + 2;
  return layout;
}

Shown Subtitle(const Scene& scene, const RunPicture& run, const std::optional<Kind>& reference) {
  Shown subtitle = Plain("nothing selected: no reference kind, nothing faded");
  if (reference)
    subtitle = Joined({Plain("reference kind: "), Plain(KindName(*reference)), Plain(", from entry 1 ("),
                       ItemName(scene, run.marks.before[0]), Plain("); other kinds are faded")});
  if (run.mode != UpdateMode::Deferred)
    subtitle = Joined({subtitle, Plain(" · " + std::string(UpdateModeName(run.mode)) + " updates")});
  return subtitle;
}

// Before on the left, after on the right, each under its heading.
void DrawOutliners(Drawing& body, const std::vector<Row>& rows, const RunPicture& run, const Layout& layout,
                   const std::optional<Kind>& reference) {
  const auto placesBefore = PlacesInSelection(run.marks.before);
  const auto placesAfter = PlacesInSelection(run.marks.after);
  const int leftX = kMargin, rightX = kMargin + layout.panelWidth + kPanelGap;
  const auto header = [&](int x, const char* label, std::size_t count) {
    body.Text(x + 2, layout.panelTop - 10,
              std::string(label) + " <tspan font-weight=\"normal\"" + Fill(kMuted) + ">" +
                  (count == 0 ? std::string("nothing selected") : std::to_string(count) + " selected") + "</tspan>",
              Size(13) + kBoldWeight + Fill(kInk));
  };
  header(leftX, "Before", run.marks.before.size());
  header(rightX, "After", run.marks.after.size());
  body.Text(leftX + layout.panelWidth + kPanelGap / 2, layout.panelTop - 10, "\xE2\x86\x92",
            Size(16) + kMiddle + Fill(kMuted));
  DrawPanel(body, rows, layout, leftX, placesBefore, nullptr, reference);
  DrawPanel(body, rows, layout, rightX, placesAfter, &placesBefore, reference);
}

// The lines sent, the result and the notes from `y` down; widens `width` for
// a long note. Returns where the legend goes.
int DrawOutcome(Drawing& body, const RunPicture& run, int y, int& width) {
  const std::size_t lineCount = run.result.lines.size();
  body.Text(kMargin, y,
            "sent " +
                (lineCount == 0 ? std::string("no lines")
                                : std::to_string(lineCount) + (lineCount == 1 ? " line" : " lines")) +
                "<tspan font-weight=\"normal\"" + Fill(kMuted) + "> · result " + std::to_string(run.result.code) +
                "</tspan>",
            Size(13) + kBoldWeight + Fill(kInk));
  y += kNoteHeight + 4;
  if (lineCount > 0) y += DrawLines(body, run.result.lines, y, width) * kNoteHeight + 6;
  for (const Note& note : Notes(run)) {
    body.Text(kMargin, y, note.text.xml, Fill(note.colour));
    width = std::max(width, 2 * kMargin + note.text.Width(7));
    y += kNoteHeight;
  }
  return y + 10;
}

std::string Framed(const Drawing& body, int width, int height, const std::string& title) {
  Drawing svg;
  svg.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.Raw("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + Decimal(width) + "\" height=\"" +
          Decimal(height) + "\" viewBox=\"0 0 " + Decimal(width) + " " + Decimal(height) +
          "\" font-family=\"sans-serif\" font-size=\"12\" xml:space=\"preserve\">\n");
  svg.Raw("<title>" + title + "</title>\n");
  svg.Rect(0, 0, width, height, kPaper);
  svg.Raw(body.text());
  svg.Raw("</svg>\n");
  return svg.text();
}

}  // namespace

std::string DrawRunSvg(const Scene& scene, const RunPicture& run) {
  const std::vector<std::uint32_t>& before = run.marks.before;
  const std::optional<Kind> reference = ReferenceKind(scene, before);
  const std::vector<Row> rows = OutlinerRows(scene);
  const Layout layout = OutlinerLayout(rows, std::max(before.size(), run.marks.after.size()));
  const Shown command = Show(run.command, kLongestLine);
  const Shown selection = TitleSelection(scene, before);
  const Shown subtitle = Subtitle(scene, run, reference);

  int widestLegend = 0;
  for (const LegendEntry& entry : LegendEntries()) widestLegend = std::max(widestLegend, LegendEntryWidth(entry));
  int width = 2 * kMargin + 2 * layout.panelWidth + kPanelGap;
  width = std::max({width, 2 * kMargin + command.Width(12) + 12 + selection.Width(10), 2 * kMargin + subtitle.Width(7),
                    2 * kMargin + widestLegend});

  Drawing body;
  body.Text(kMargin, 32,
            command.xml + " <tspan font-weight=\"normal\"" + Fill(kMuted) + ">" + selection.xml + "</tspan>",
            Size(18) + kBoldWeight + Fill(kInk));
  body.Text(kMargin, 54, subtitle.xml, Fill(kMuted));
  DrawOutliners(body, rows, run, layout, reference);
  const int legendY = DrawOutcome(body, run, layout.panelTop + layout.panelHeight + 30, width);
  const int height = DrawLegend(body, legendY, width) + kMargin;
  return Framed(body, width, height, command.xml + " " + selection.xml);
}

void WriteRunSvg(const std::string& path, const Scene& scene, const RunPicture& run) {
  const std::string svg = DrawRunSvg(scene, run);
  errno = 0;
  int error = 0;
  // Binary, so that every platform writes the same bytes.
  if (std::FILE* file = OpenFile(path, "wb")) {
    const bool written = std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
    error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return;
    if (error == 0) error = errno;
  } else {
    error = errno;
  }
  throw CliError("cannot write the picture '" + path +
                 "': " + (error != 0 ? std::string(std::strerror(error)) : std::string("the system gave no reason")));
}

}  // namespace hostsim
