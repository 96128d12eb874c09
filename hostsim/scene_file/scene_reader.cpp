// The reader: one pass over the lines collects every item with its parent
// line, then the parents are resolved, cycles rejected and the scene built.
//
// A file cut short must not read as a smaller scene, so the pass also holds
// every block to what it announces (a motion's channels, an envelope's keys,
// an old motion's key rows), and a scene is whole only once it has reached
// the render and view settings the host writes after its cameras.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "hostsim/scene/item_ids.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene_file/fixed_decimal.h"
#include "hostsim/scene_file/layer_naming.h"
#include "hostsim/scene_file/scene_file.h"
#include "hostsim/scene_file/scene_syntax.h"
#include "hostsim/scene_file/windows_path.h"

namespace hostsim {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

const char* const kDefaultNames[4] = {"", "Light", "Camera", "Bone"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Frame numbers may be negative; far beyond any animation's length is not one.
std::optional<std::int64_t> ParseFrame(std::string_view token) {
  std::int64_t value = 0;
  const char* end = token.data() + token.size();
  const auto [stop, error] = std::from_chars(token.data(), end, value);
  if (error != std::errc() || stop != end || value < -1000000000 || value > 1000000000) return std::nullopt;
  return value;
}

// Version 1 writes the rate as "30.000000", later versions as "30".
std::optional<double> ParseRate(std::string_view token) {
  const std::optional<double> value = ReadFixedDecimal(token);
  if (!value || !std::isfinite(*value) || *value <= 0) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> ParseCount(std::string_view token) {
  return token == "0" ? std::optional<std::uint32_t>(0) : ParsePositive(token);
}

// The first of the settings the host writes once, after its last camera:
// backdrop, fog, render, view, grid and current items. Every file the host
// wrote that we have seen holds several of them; items never follow them.
constexpr std::string_view kClosingSettings[] = {"SolidBackdrop",     "FogType",    "RenderMode",
                                                 "ViewConfiguration", "GridNumber", "CurrentObject"};

// One letter added, dropped, changed, or two neighbours swapped.
bool OneEditApart(std::string_view a, std::string_view b) {
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > 1) return false;
  std::size_t at = 0;
  while (at < a.size() && a[at] == b[at]) ++at;
  if (at == a.size()) return a.size() != b.size();
  if (a.size() < b.size()) return a.substr(at) == b.substr(at + 1);
  if (a.substr(at + 1) == b.substr(at + 1)) return true;
  return at + 1 < a.size() && a[at] == b[at + 1] && a[at + 1] == b[at] && a.substr(at + 2) == b.substr(at + 2);
}

// Walks one line: fixed tokens first, then the free text after them.
class Fields {
 public:
  explicit Fields(std::string_view line) : rest_(line) {}

  std::string_view Next() {
    while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
    std::size_t end = 0;
    while (end < rest_.size() && !IsBlank(rest_[end])) ++end;
    const std::string_view token = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return token;
  }

  // Everything after the one blank that ends the last token, kept verbatim so
  // that names with leading or inner spaces survive.
  std::string_view Remainder() const { return rest_.empty() ? rest_ : rest_.substr(1); }
  // A name may be empty, but the blank before it is still written.
  bool HasRemainder() const { return !rest_.empty(); }
  bool AtEnd() const { return Trimmed(rest_).empty(); }

 private:
  std::string_view rest_;
};

enum class ParentForm { None, Id, ObjectPosition, BonePosition };

struct ParentRef {
  ParentForm form = ParentForm::None;
  std::uint32_t value = 0;
  int line = 0;
};

struct PendingItem {
  Kind kind = Kind::Object;
  std::uint32_t id = 0;
  int line = 0;
  std::string name;
  bool named = false;
  std::string path;  // loaded objects only
  int layer = 0;
  std::size_t owner = kNone;       // bones
  std::vector<std::size_t> bones;  // objects, in file order
  ParentRef parentLine;
  std::size_t parent = kNone;  // resolved
};

std::string Describe(const PendingItem& item) { return "'" + item.name + "' (" + IdText(item.id) + ")"; }

class Reader {
 public:
  Reader(std::string_view text, const std::string& file, const SceneFileOptions& options)
      : text_(text), file_(file), options_(options) {}

  Scene Read();

 private:
  using Handler = void (Reader::*)(Fields&);
  struct Keyword {
    std::string_view word;
    Handler handler;
  };
  static const Keyword kKeywords[];

  [[noreturn]] void Fail(int line, const std::string& message) const { throw SceneFileError(file_, line, message); }

  bool NextLine(std::string_view& line);
  void ReadHeader();
  void ReadLine(std::string_view line);

  std::size_t Declare(Kind kind);
  std::uint32_t DeclarationId(Fields& fields, Kind kind);
  std::uint32_t WrittenId(Fields& fields, Kind kind);
  std::uint32_t NumberedId(Kind kind);
  void ExpectEnd(Fields& fields, std::string_view keyword);
  PendingItem& Current(std::string_view keyword, std::optional<Kind> kind);

  void LoadObject(Fields& fields) { LoadObjectFile(fields, false); }
  void LoadObjectLayer(Fields& fields) { LoadObjectFile(fields, true); }
  void LoadObjectFile(Fields& fields, bool withLayer);
  void AddNullObject(Fields& fields);
  void AddNamedItem(Fields& fields, Kind kind, std::string_view keyword);
  void NameLine(Fields& fields, Kind kind, std::string_view keyword);
  void ParentItem(Fields& fields);
  void ParentObject(Fields& fields);
  void SetParentLine(ParentRef ref, std::string_view keyword);
  void ShowCamera(Fields& fields);
  void Plugin(Fields& fields);
  void FirstFrame(Fields& fields) { FrameLine(fields, timing_.firstFrame, "FirstFrame"); }
  void LastFrame(Fields& fields) { FrameLine(fields, timing_.lastFrame, "LastFrame"); }
  void FrameLine(Fields& fields, std::optional<std::int64_t>& frame, std::string_view keyword);
  void FramesPerSecond(Fields& fields);
  void ClosingSetting(Fields& /*fields*/) { closed_ = true; }

  void Motion(Fields& fields);
  void NumChannels(Fields& fields);
  void Channel(Fields& fields);
  void EnvelopeRow(std::string_view row);
  void EndEnvelope();
  void EndMotion();
  void MotionRow(std::string_view row);
  void EndMotionRows();
  void RejectMisspeltItemLine(std::string_view word);
  void RejectCutShort();

  void NameLoadedObjects();
  void ResolveParents();
  void RejectCycles();
  Scene Build();

  std::string_view text_;
  const std::string& file_;
  const SceneFileOptions& options_;
  std::size_t offset_ = 0;
  int lineNumber_ = 0;
  int version_ = 0;

  int braceDepth_ = 0, braceLine_ = 0;
  int pluginLine_ = 0;  // 0: not inside a plugin block

  std::vector<PendingItem> items_;
  std::size_t current_ = kNone;
  std::size_t lastObject_ = kNone;
  std::vector<std::size_t> objects_;  // object-kind items in file order
  std::size_t countOfKind_[4] = {0, 0, 0, 0};
  std::unordered_map<std::uint32_t, std::size_t> byId_;
  SceneTiming timing_;
  bool closed_ = false;  // the settings after the cameras were reached

  // Versions 3 to 5: "NumChannels" and one "Channel" with its envelope each.
  int motionLine_ = 0, channelLine_ = 0;
  std::uint32_t channelsAnnounced_ = 0, channelsWhole_ = 0;
  int envelopeLine_ = 0;
  std::optional<std::uint32_t> keysAnnounced_;
  std::uint32_t keys_ = 0;

  // Versions 1 and 2: the channel count, then key counts each followed by
  // its rows (one count and two rows a key in version 1; a count and one row
  // a key per channel in version 2).
  int rowsLine_ = 0;
  bool channelCountRead_ = false;
  std::uint32_t keyCountsLeft_ = 0;
  std::uint64_t rowsLeft_ = 0;
};

const Reader::Keyword Reader::kKeywords[] = {
    {"LoadObjectLayer", &Reader::LoadObjectLayer},
    {"LoadObject", &Reader::LoadObject},
    {"AddNullObject", &Reader::AddNullObject},
    {"ParentItem", &Reader::ParentItem},
    {"ParentObject", &Reader::ParentObject},
    {"ShowCamera", &Reader::ShowCamera},
    {"Plugin", &Reader::Plugin},
    {"FirstFrame", &Reader::FirstFrame},
    {"LastFrame", &Reader::LastFrame},
    {"FramesPerSecond", &Reader::FramesPerSecond},
    {"ObjectMotion", &Reader::Motion},
    {"BoneMotion", &Reader::Motion},
    {"LightMotion", &Reader::Motion},
    {"CameraMotion", &Reader::Motion},
    {"NumChannels", &Reader::NumChannels},
    {"Channel", &Reader::Channel},
};

bool Reader::NextLine(std::string_view& line) {
  if (offset_ >= text_.size()) return false;
  ++lineNumber_;
  std::size_t end = offset_;
  while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') {
    if (!IsSceneTextByte(text_[end])) {
      const auto byte = static_cast<unsigned char>(text_[end]);
      Fail(lineNumber_, "binary data (byte 0x" + Hex(byte, 2) + "), not scene text");
    }
    ++end;
  }
  line = text_.substr(offset_, end - offset_);
  offset_ = end;
  if (offset_ < text_.size() && text_[offset_] == '\r') ++offset_;
  if (offset_ < text_.size() && text_[offset_] == '\n') ++offset_;
  return true;
}

void Reader::ReadHeader() {
  std::string_view line;
  if (!NextLine(line)) Fail(0, "empty file, not a scene");
  if (TrimmedRight(line) != "LWSC") Fail(1, "not a scene file: the first line is not 'LWSC'");
  if (!NextLine(line)) Fail(2, "the format version is missing (file cut short?)");
  const std::string_view version = Trimmed(line);
  const std::optional<std::uint32_t> value = ParsePositive(version);
  if (!value || *value > static_cast<std::uint32_t>(kNewestSceneVersion))
    Fail(2, "unknown scene format version '" + std::string(version) + "' (known: 1 to 5)");
  version_ = static_cast<int>(*value);
}

void Reader::ReadLine(std::string_view line) {
  const std::string_view trimmed = Trimmed(line);
  if (pluginLine_ != 0) {
    // Plug-in blocks hold free-form data, braces included.
    if (trimmed == "EndPlugin") pluginLine_ = 0;
    return;
  }
  if (!trimmed.empty() && trimmed.front() == '{') {
    if (braceDepth_ == 0 && trimmed == "{ Envelope") {
      envelopeLine_ = lineNumber_;
      keysAnnounced_.reset();
      keys_ = 0;
    }
    if (braceDepth_++ == 0) braceLine_ = lineNumber_;
    if (trimmed.size() > 1 && trimmed.back() == '}') --braceDepth_;
    return;
  }
  if (trimmed == "}") {
    if (braceDepth_ > 0 && --braceDepth_ == 0 && envelopeLine_ != 0) EndEnvelope();
    return;
  }
  if (braceDepth_ > 0) {
    if (braceDepth_ == 1 && envelopeLine_ != 0) EnvelopeRow(trimmed);
    return;
  }
  // Item lines start at column 0; indented lines are data rows.
  if (line.empty() || IsBlank(line.front())) {
    if (rowsLine_ != 0 && !trimmed.empty()) MotionRow(trimmed);
    return;
  }
  Fields fields(line);
  const std::string_view word = fields.Next();
  if (rowsLine_ != 0) EndMotionRows();
  if (motionLine_ != 0 && word != "Channel") EndMotion();
  for (const Keyword& keyword : kKeywords) {
    if (keyword.word == word) return (this->*keyword.handler)(fields);
  }
  for (const NamedItemLines& lines : kNamedItemLines) {
    if (word == lines.declaration) return AddNamedItem(fields, lines.kind, lines.declaration);
    if (word == lines.nameLine) return NameLine(fields, lines.kind, lines.nameLine);
  }
  for (const std::string_view setting : kClosingSettings) {
    if (word == setting) return ClosingSetting(fields);
  }
  RejectMisspeltItemLine(word);
}

// A misspelt line that makes an item or hangs it somewhere would otherwise be
// skipped like the many lines hostsim does not model, and the item go missing
// or the error surface lines later. No keyword seen in the host's files is
// one edit from these ("GoalObject" is two from "LoadObject").
void Reader::RejectMisspeltItemLine(std::string_view word) {
  constexpr std::string_view kItemLines[] = {"LoadObjectLayer", "LoadObject",   "AddNullObject",
                                             "ParentItem",      "ParentObject", "AddLight",
                                             "AddCamera",       "AddBone",      "ShowCamera"};
  for (const std::string_view keyword : kItemLines) {
    if (keyword == "ShowCamera" && version_ != 1) continue;
    if (OneEditApart(word, keyword))
      Fail(lineNumber_, "unknown keyword '" + std::string(word) + "'; did you mean '" + std::string(keyword) + "'?");
  }
}

std::size_t Reader::Declare(Kind kind) {
  PendingItem item;
  item.kind = kind;
  item.line = lineNumber_;
  item.name = kDefaultNames[static_cast<int>(kind)];
  items_.push_back(std::move(item));
  current_ = items_.size() - 1;
  if (kind == Kind::Object) {
    lastObject_ = current_;
    objects_.push_back(current_);
  }
  return current_;
}

// Versions 4 and 5 carry the id on the declaration line; older files number
// each kind in file order, the way their references count.
std::uint32_t Reader::DeclarationId(Fields& fields, Kind kind) {
  const std::uint32_t id = version_ >= 4 ? WrittenId(fields, kind) : NumberedId(kind);
  const auto [found, inserted] = byId_.emplace(id, items_.size());
  if (!inserted)
    Fail(lineNumber_, "item id " + IdText(id) + " is declared twice (first on line " +
                          std::to_string(items_[found->second].line) + ")");
  ++countOfKind_[static_cast<int>(kind)];
  return id;
}

std::uint32_t Reader::WrittenId(Fields& fields, Kind kind) {
  const std::string_view token = fields.Next();
  const std::optional<std::uint32_t> parsed = token.size() == 8 ? ParseHex(token) : std::nullopt;
  if (!parsed) Fail(lineNumber_, "expected an 8-digit hex item id, found '" + std::string(token) + "'");
  const std::uint32_t id = *parsed;
  if (!CarriesKindBits(id, kind))
    Fail(lineNumber_, "item id " + IdText(id) + " does not carry the kind bits of a " + KindName(kind) + " (" +
                          IdText(KindBitsOf(kind)).substr(0, 1) + "xxxxxxx)");
  if (kind == Kind::Bone && !BoneNamesObject(id, items_[lastObject_].id))
    Fail(lineNumber_, "bone id " + IdText(id) + " does not name its object " + IdText(items_[lastObject_].id) +
                          " in its low four digits");
  return id;
}

std::uint32_t Reader::NumberedId(Kind kind) {
  if (kind == Kind::Bone) {
    const PendingItem& owner = items_[lastObject_];
    const std::uint32_t objectNumber = SerialOf(owner.id);
    if (objectNumber > 0xFFFF) Fail(lineNumber_, "a bone id cannot name object number " + std::to_string(objectNumber));
    if (owner.bones.size() >= kMaxBonesPerObject) Fail(lineNumber_, "more than 4096 bones on " + Describe(owner));
    return BoneId(owner.id, owner.bones.size());
  }
  const std::size_t serial = countOfKind_[static_cast<int>(kind)];
  if (serial >= kMaxSerials) Fail(lineNumber_, std::string("too many items of kind ") + KindName(kind));
  return SerialId(kind, serial);
}

void Reader::ExpectEnd(Fields& fields, std::string_view keyword) {
  if (!fields.AtEnd())
    Fail(lineNumber_,
         "unexpected text after '" + std::string(keyword) + "' in a version " + std::to_string(version_) + " scene");
}

void Reader::LoadObjectFile(Fields& fields, bool withLayer) {
  int layer = 1;
  if (withLayer) {
    const std::string_view token = fields.Next();
    const std::optional<std::uint32_t> parsed = ParsePositive(token);
    if (!parsed) Fail(lineNumber_, "expected a layer number, found '" + std::string(token) + "'");
    layer = static_cast<int>(*parsed);
  }
  const std::uint32_t id = DeclarationId(fields, Kind::Object);
  const std::string_view path = fields.Remainder();
  if (Trimmed(path).empty()) Fail(lineNumber_, "the object's file name is missing");
  // A path whose last part is blank, "." or ".." names a folder; written back it
  // would lose the file part altogether.
  const std::string_view trimmedPath = Trimmed(path);
  const std::size_t slash = trimmedPath.find_last_of("/\\");
  const std::string_view lastPart =
      Trimmed(slash == std::string_view::npos ? trimmedPath : trimmedPath.substr(slash + 1));
  if (lastPart.empty() || lastPart == "." || lastPart == "..")
    Fail(lineNumber_, "the object's path '" + std::string(trimmedPath) + "' names a folder, not a file");
  PendingItem& item = items_[Declare(Kind::Object)];
  item.id = id;
  item.layer = layer;
  item.path = WindowsPath(path, options_.contentDirectory);
}

void Reader::AddNullObject(Fields& fields) {
  const std::uint32_t id = DeclarationId(fields, Kind::Object);
  if (!fields.HasRemainder()) Fail(lineNumber_, "the null's name is missing");
  PendingItem& item = items_[Declare(Kind::Object)];
  item.id = id;
  item.name = std::string(fields.Remainder());
  item.named = true;
}

void Reader::AddNamedItem(Fields& fields, Kind kind, std::string_view keyword) {
  if (kind == Kind::Bone && lastObject_ == kNone) Fail(lineNumber_, "a bone is declared before any object");
  const std::uint32_t id = DeclarationId(fields, kind);
  ExpectEnd(fields, keyword);
  const std::size_t index = Declare(kind);
  items_[index].id = id;
  if (kind == Kind::Bone) {
    items_[index].owner = lastObject_;
    items_[lastObject_].bones.push_back(index);
  }
}

PendingItem& Reader::Current(std::string_view keyword, std::optional<Kind> kind) {
  if (current_ == kNone) Fail(lineNumber_, "'" + std::string(keyword) + "' before any item");
  PendingItem& item = items_[current_];
  if (kind && item.kind != *kind)
    Fail(lineNumber_,
         "'" + std::string(keyword) + "' among the lines of a " + KindName(item.kind) + ", not a " + KindName(*kind));
  return item;
}

void Reader::NameLine(Fields& fields, Kind kind, std::string_view keyword) {
  PendingItem& item = Current(keyword, kind);
  if (item.named) Fail(lineNumber_, "a second '" + std::string(keyword) + "' for one item");
  if (!fields.HasRemainder()) Fail(lineNumber_, "the name after '" + std::string(keyword) + "' is missing");
  item.name = std::string(fields.Remainder());
  item.named = true;
}

void Reader::ParentItem(Fields& fields) {
  const std::string_view token = fields.Next();
  const std::optional<std::uint32_t> id = token.size() == 8 ? ParseHex(token) : std::nullopt;
  if (!id) Fail(lineNumber_, "expected an 8-digit hex parent id, found '" + std::string(token) + "'");
  SetParentLine({ParentForm::Id, *id, lineNumber_}, "ParentItem");
}

// Old files count positions from 1: among the objects, or, inside a bone's
// lines, among the bones of the same object.
void Reader::ParentObject(Fields& fields) {
  const std::string_view token = fields.Next();
  const std::optional<std::uint32_t> position = ParsePositive(token);
  if (!position) Fail(lineNumber_, "expected a positive object position, found '" + std::string(token) + "'");
  const bool inBone = current_ != kNone && items_[current_].kind == Kind::Bone;
  SetParentLine({inBone ? ParentForm::BonePosition : ParentForm::ObjectPosition, *position, lineNumber_},
                "ParentObject");
}

void Reader::SetParentLine(ParentRef ref, std::string_view keyword) {
  PendingItem& item = Current(keyword, std::nullopt);
  if (item.parentLine.form != ParentForm::None)
    Fail(lineNumber_, "a second parent line for " + Describe(item) + " (the first is on line " +
                          std::to_string(item.parentLine.line) + ")");
  item.parentLine = ref;
}

// A version-1 scene has one camera and no declaration for it.
void Reader::ShowCamera(Fields& /*fields*/) {
  if (version_ != 1 || countOfKind_[static_cast<int>(Kind::Camera)] != 0) return;
  Fields none("");
  const std::uint32_t id = DeclarationId(none, Kind::Camera);
  items_[Declare(Kind::Camera)].id = id;
}

void Reader::Plugin(Fields& /*fields*/) { pluginLine_ = lineNumber_; }

void Reader::FrameLine(Fields& fields, std::optional<std::int64_t>& frame, std::string_view keyword) {
  const std::string_view token = fields.Next();
  frame = ParseFrame(token);
  if (!frame)
    Fail(lineNumber_,
         "expected a frame number after '" + std::string(keyword) + "', found '" + std::string(token) + "'");
  ExpectEnd(fields, keyword);
}

void Reader::FramesPerSecond(Fields& fields) {
  const std::string_view token = fields.Next();
  timing_.framesPerSecond = ParseRate(token);
  if (!timing_.framesPerSecond)
    Fail(lineNumber_, "expected a positive number after 'FramesPerSecond', found '" + std::string(token) + "'");
  ExpectEnd(fields, "FramesPerSecond");
}

// Versions 1 and 2 follow the line with bare rows of numbers; later versions
// with "NumChannels".
void Reader::Motion(Fields& /*fields*/) {
  if (version_ > 2) return;
  rowsLine_ = lineNumber_;
  channelCountRead_ = false;
  keyCountsLeft_ = 0;
  rowsLeft_ = 0;
}

void Reader::MotionRow(std::string_view row) {
  if (rowsLeft_ > 0) {
    --rowsLeft_;
    return;
  }
  Fields fields(row);
  const std::string_view token = fields.Next();
  const std::optional<std::uint32_t> count = fields.AtEnd() ? ParseCount(token) : std::nullopt;
  if (channelCountRead_ && keyCountsLeft_ == 0)
    Fail(lineNumber_, "a row past the keys that the motion on line " + std::to_string(rowsLine_) + " announces");
  if (!count)
    Fail(lineNumber_,
         "expected a count in the motion on line " + std::to_string(rowsLine_) + ", found '" + std::string(row) + "'");
  if (!channelCountRead_) {
    channelCountRead_ = true;
    keyCountsLeft_ = version_ == 1 ? 1 : *count;
    return;
  }
  --keyCountsLeft_;
  rowsLeft_ = std::uint64_t{*count} * (version_ == 1 ? 2 : 1);
}

void Reader::EndMotionRows() {
  if (!channelCountRead_ || keyCountsLeft_ != 0 || rowsLeft_ != 0)
    Fail(lineNumber_, "the motion on line " + std::to_string(rowsLine_) + " ends before the keys it announces");
  rowsLine_ = 0;
}

void Reader::NumChannels(Fields& fields) {
  const std::string_view token = fields.Next();
  const std::optional<std::uint32_t> count = ParseCount(token);
  if (!count) Fail(lineNumber_, "expected a channel count after 'NumChannels', found '" + std::string(token) + "'");
  motionLine_ = lineNumber_;
  channelsAnnounced_ = *count;
  channelsWhole_ = 0;
  channelLine_ = 0;
}

void Reader::Channel(Fields& fields) {
  const std::string_view token = fields.Next();
  if (!ParseCount(token))
    Fail(lineNumber_, "expected a channel number after 'Channel', found '" + std::string(token) + "'");
  if (motionLine_ == 0) return;
  if (channelLine_ != 0) Fail(lineNumber_, "the channel on line " + std::to_string(channelLine_) + " has no envelope");
  if (channelsWhole_ == channelsAnnounced_)
    Fail(lineNumber_, "a channel past the " + std::to_string(channelsAnnounced_) + " that line " +
                          std::to_string(motionLine_) + " announces");
  channelLine_ = lineNumber_;
}

void Reader::EndMotion() {
  if (channelLine_ != 0 || channelsWhole_ != channelsAnnounced_)
    Fail(lineNumber_, "the motion on line " + std::to_string(motionLine_) + " announces " +
                          std::to_string(channelsAnnounced_) + " channels but has " + std::to_string(channelsWhole_));
  motionLine_ = 0;
}

// The key count comes first, then one "Key" line per key.
void Reader::EnvelopeRow(std::string_view row) {
  if (keysAnnounced_) {
    keys_ += Fields(row).Next() == "Key" ? 1 : 0;
    return;
  }
  keysAnnounced_ = ParseCount(row);
  if (!keysAnnounced_) Fail(lineNumber_, "expected the envelope's key count, found '" + std::string(row) + "'");
}

void Reader::EndEnvelope() {
  if (!keysAnnounced_ || keys_ != *keysAnnounced_)
    Fail(lineNumber_, "the envelope on line " + std::to_string(envelopeLine_) + " announces " +
                          (keysAnnounced_ ? std::to_string(*keysAnnounced_) : "no") + " keys but has " +
                          std::to_string(keys_));
  envelopeLine_ = 0;
  if (channelLine_ != 0) {
    ++channelsWhole_;
    channelLine_ = 0;
  }
}

// Every check names the last line, where the file stops.
void Reader::RejectCutShort() {
  const std::string cut = " (file cut short?)";
  const auto from = [](int line) { return " on line " + std::to_string(line); };
  if (pluginLine_ != 0)
    Fail(lineNumber_, "the file ends inside the plug-in block" + from(pluginLine_) + ", before its 'EndPlugin'" + cut);
  if (braceDepth_ > 0) Fail(lineNumber_, "the file ends inside the '{' block" + from(braceLine_) + cut);
  if (motionLine_ != 0 && (channelLine_ != 0 || channelsWhole_ != channelsAnnounced_))
    Fail(lineNumber_, "the file ends after " + std::to_string(channelsWhole_) + " of the " +
                          std::to_string(channelsAnnounced_) + " channels the motion" + from(motionLine_) +
                          " announces" + cut);
  if (rowsLine_ != 0 && (!channelCountRead_ || keyCountsLeft_ != 0 || rowsLeft_ != 0))
    Fail(lineNumber_, "the file ends inside the motion" + from(rowsLine_) + ", before the keys it announces" + cut);
  if (!closed_)
    Fail(lineNumber_,
         "the file ends before the render and view settings that follow the cameras in a whole scene" + cut);
}

void Reader::NameLoadedObjects() {
  FileLayers layers;
  for (const PendingItem& item : items_) {
    if (!item.path.empty()) layers.Add(item.path, item.layer);
  }
  for (PendingItem& item : items_) {
    if (!item.path.empty()) item.name = layers.ObjectName(item.path, item.layer);
  }
}

void Reader::ResolveParents() {
  for (std::size_t index = 0; index < items_.size(); ++index) {
    PendingItem& item = items_[index];
    const ParentRef& ref = item.parentLine;
    switch (ref.form) {
      case ParentForm::None: item.parent = item.owner; break;
      case ParentForm::Id: {
        const auto found = byId_.find(ref.value);
        if (found == byId_.end())
          Fail(ref.line, "the parent " + IdText(ref.value) + " of " + Describe(item) + " is never declared");
        item.parent = found->second;
        break;
      }
      case ParentForm::ObjectPosition:
        if (ref.value > objects_.size())
          Fail(ref.line, "the parent of " + Describe(item) + " is object " + std::to_string(ref.value) +
                             ", but the scene declares " + std::to_string(objects_.size()) + " objects");
        item.parent = objects_[ref.value - 1];
        break;
      case ParentForm::BonePosition: {
        const std::vector<std::size_t>& bones = items_[item.owner].bones;
        if (ref.value > bones.size())
          Fail(ref.line, "the parent of " + Describe(item) + " is bone " + std::to_string(ref.value) + " of " +
                             Describe(items_[item.owner]) + ", which has " + std::to_string(bones.size()) + " bones");
        item.parent = bones[ref.value - 1];
        break;
      }
    }
  }
}

// A bone moves with its object, so an object may not hang below its own bones
// either: both links count.
void Reader::RejectCycles() {
  enum : char { kUnseen, kOnPath, kDone };
  std::vector<char> state(items_.size(), kUnseen);
  const auto links = [this](std::size_t index, int which) {
    return which == 0 ? items_[index].parent
                      : (items_[index].owner == items_[index].parent ? kNone : items_[index].owner);
  };
  std::vector<std::pair<std::size_t, int>> path;
  for (std::size_t start = 0; start < items_.size(); ++start) {
    if (state[start] != kUnseen) continue;
    path.assign(1, {start, 0});
    state[start] = kOnPath;
    while (!path.empty()) {
      auto& [index, which] = path.back();
      if (which == 2) {
        state[index] = kDone;
        path.pop_back();
        continue;
      }
      const std::size_t next = links(index, which++);
      if (next == kNone || state[next] == kDone) continue;
      if (state[next] == kUnseen) {
        state[next] = kOnPath;
        path.emplace_back(next, 0);
        continue;
      }
      std::size_t first = 0;
      while (path[first].first != next) ++first;
      std::string chain;
      int line = 0;
      for (std::size_t step = first; step < path.size(); ++step) {
        const PendingItem& item = items_[path[step].first];
        chain += Describe(item) + (path[step].second == 2 ? " of " : " in ");
        if (line == 0 && item.parentLine.line != 0) line = item.parentLine.line;
      }
      Fail(line, "the parent lines make a cycle: " + chain + Describe(items_[next]));
    }
  }
}

Scene Reader::Build() {
  Scene scene;
  std::vector<std::size_t> depth(items_.size(), 0);
  for (std::size_t index = 0; index < items_.size(); ++index) {
    const PendingItem& item = items_[index];
    ItemSpec spec;
    spec.kind = item.kind;
    spec.id = item.id;
    spec.name = item.name;
    spec.fileName = item.path;
    spec.pointCount = item.path.empty() ? 0 : 8;
    if (item.owner != kNone) spec.owner = items_[item.owner].id;
    try {
      scene.Add(spec);
    } catch (const SceneError& error) {
      Fail(item.line, error.what());
    }
  }
  // Depth without recursion: deep chains come from untrusted files.
  std::vector<std::size_t> climb;
  for (std::size_t index = 0; index < items_.size(); ++index) {
    std::size_t at = index;
    while (at != kNone && depth[at] == 0) {
      climb.push_back(at);
      at = items_[at].parent;
    }
    std::size_t known = at == kNone ? 0 : depth[at];
    for (auto step = climb.rbegin(); step != climb.rend(); ++step) depth[*step] = ++known;
    climb.clear();
  }
  // Deepest first: every parent is then still at the top when its children
  // are linked, which keeps the builder's cycle check short; file order within
  // a level keeps children in file order.
  std::vector<std::size_t> order;
  for (std::size_t index = 0; index < items_.size(); ++index) {
    if (items_[index].parent != kNone) order.push_back(index);
  }
  std::stable_sort(order.begin(), order.end(), [&depth](std::size_t a, std::size_t b) { return depth[a] > depth[b]; });
  for (const std::size_t index : order) {
    try {
      scene.SetParent(items_[index].id, items_[items_[index].parent].id);
    } catch (const SceneError& error) {
      Fail(items_[index].parentLine.line, error.what());
    }
  }
  scene.SetTiming(timing_);
  return scene;
}

Scene Reader::Read() {
  offset_ = text_.size() - WithoutByteOrderMark(text_).size();
  ReadHeader();
  std::string_view line;
  while (NextLine(line)) ReadLine(line);
  RejectCutShort();
  NameLoadedObjects();
  ResolveParents();
  RejectCycles();
  return Build();
}

}  // namespace

Scene ReadSceneText(std::string_view text, const std::string& fileName, const SceneFileOptions& options) {
  return Reader(text, fileName, options).Read();
}

}  // namespace hostsim
