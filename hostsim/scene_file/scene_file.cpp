#include "hostsim/scene_file/scene_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>

namespace hostsim {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// Real scenes are a few megabytes at most; anything far larger is not one.
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

constexpr std::uint32_t kKindBits[4] = {0x10000000u, 0x20000000u, 0x30000000u, 0x40000000u};
const char* const kDefaultNames[4] = {"", "Light", "Camera", "Bone"};

std::string Hex(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", id);
  return text;
}

std::string LowerHex(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", id);
  return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiLower(c);
  return lowered;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Tab is the one control character a scene's text may hold.
bool IsTextByte(char c) { return c == '\t' || static_cast<unsigned char>(c) >= 0x20; }

std::string_view TrimmedRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trimmed(std::string_view text) {
  text = TrimmedRight(text);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
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
  bool AtEnd() const { return Trimmed(rest_).empty(); }

 private:
  std::string_view rest_;
};

std::optional<std::uint32_t> ParseId(std::string_view token) {
  if (token.size() != 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : token) {
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::optional<std::uint32_t> ParsePositive(std::string_view token) {
  if (token.empty() || token.size() > 9) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : token) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value == 0) return std::nullopt;
  return value;
}

// Frame numbers may be negative; far beyond any animation's length is not one.
std::optional<std::int64_t> ParseFrame(std::string_view token) {
  std::int64_t value = 0;
  const char* end = token.data() + token.size();
  const auto [stop, error] = std::from_chars(token.data(), end, value);
  if (error != std::errc() || stop != end || value < -1000000000 || value > 1000000000) return std::nullopt;
  return value;
}

std::optional<double> ParseRate(std::string_view token) {
  double value = 0;
  const char* end = token.data() + token.size();
  const auto [stop, error] = std::from_chars(token.data(), end, value, std::chars_format::fixed);
  if (error != std::errc() || stop != end || !std::isfinite(value) || value <= 0) return std::nullopt;
  return value;
}

// The shortest text that reads back as the same number: 30 for 30.000000.
std::string RateText(double value) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::to_string(value);
}

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
  std::uint32_t layer = 0;
  std::size_t owner = kNone;       // bones
  std::vector<std::size_t> bones;  // objects, in file order
  ParentRef parentLine;
  std::size_t parent = kNone;  // resolved
};

std::string Describe(const PendingItem& item) { return "'" + item.name + "' (" + Hex(item.id) + ")"; }

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
  void ExpectEnd(Fields& fields, std::string_view keyword);
  PendingItem& Current(std::string_view keyword, std::optional<Kind> kind);

  void LoadObject(Fields& fields) { LoadObjectFile(fields, false); }
  void LoadObjectLayer(Fields& fields) { LoadObjectFile(fields, true); }
  void LoadObjectFile(Fields& fields, bool withLayer);
  void AddNullObject(Fields& fields);
  void AddLight(Fields& fields) { AddNamedItem(fields, Kind::Light, "AddLight"); }
  void AddCamera(Fields& fields) { AddNamedItem(fields, Kind::Camera, "AddCamera"); }
  void AddBone(Fields& fields) { AddNamedItem(fields, Kind::Bone, "AddBone"); }
  void AddNamedItem(Fields& fields, Kind kind, std::string_view keyword);
  void LightName(Fields& fields) { NameLine(fields, Kind::Light, "LightName"); }
  void CameraName(Fields& fields) { NameLine(fields, Kind::Camera, "CameraName"); }
  void BoneName(Fields& fields) { NameLine(fields, Kind::Bone, "BoneName"); }
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
};

const Reader::Keyword Reader::kKeywords[] = {
    {"LoadObjectLayer", &Reader::LoadObjectLayer},
    {"LoadObject", &Reader::LoadObject},
    {"AddNullObject", &Reader::AddNullObject},
    {"AddLight", &Reader::AddLight},
    {"AddCamera", &Reader::AddCamera},
    {"AddBone", &Reader::AddBone},
    {"LightName", &Reader::LightName},
    {"CameraName", &Reader::CameraName},
    {"BoneName", &Reader::BoneName},
    {"ParentItem", &Reader::ParentItem},
    {"ParentObject", &Reader::ParentObject},
    {"ShowCamera", &Reader::ShowCamera},
    {"Plugin", &Reader::Plugin},
    {"FirstFrame", &Reader::FirstFrame},
    {"LastFrame", &Reader::LastFrame},
    {"FramesPerSecond", &Reader::FramesPerSecond},
};

bool Reader::NextLine(std::string_view& line) {
  if (offset_ >= text_.size()) return false;
  ++lineNumber_;
  std::size_t end = offset_;
  while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') {
    if (!IsTextByte(text_[end])) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(text_[end])));
      Fail(lineNumber_, std::string("binary data (byte ") + byte + "), not scene text");
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
    if (braceDepth_++ == 0) braceLine_ = lineNumber_;
    if (trimmed.size() > 1 && trimmed.back() == '}') --braceDepth_;
    return;
  }
  if (trimmed == "}") {
    if (braceDepth_ > 0) --braceDepth_;
    return;
  }
  // Item lines start at column 0; indented lines are data rows.
  if (braceDepth_ > 0 || line.empty() || IsBlank(line.front())) return;
  Fields fields(line);
  const std::string_view word = fields.Next();
  for (const Keyword& keyword : kKeywords) {
    if (keyword.word == word) {
      (this->*keyword.handler)(fields);
      return;
    }
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
  const int kindIndex = static_cast<int>(kind);
  std::uint32_t id = 0;
  if (version_ >= 4) {
    const std::string_view token = fields.Next();
    const std::optional<std::uint32_t> parsed = ParseId(token);
    if (!parsed) Fail(lineNumber_, "expected an 8-digit hex item id, found '" + std::string(token) + "'");
    id = *parsed;
    if ((id & 0xF0000000u) != kKindBits[kindIndex])
      Fail(lineNumber_, "item id " + Hex(id) + " does not carry the kind bits of a " + KindName(kind) + " (" +
                            Hex(kKindBits[kindIndex]).substr(0, 1) + "xxxxxxx)");
  } else if (kind == Kind::Bone) {
    const PendingItem& owner = items_[lastObject_];
    const std::uint32_t objectNumber = owner.id & 0x0FFFFFFFu;
    if (objectNumber > 0xFFFF) Fail(lineNumber_, "a bone id cannot name object number " + std::to_string(objectNumber));
    if (owner.bones.size() > 0xFFF) Fail(lineNumber_, "more than 4096 bones on " + Describe(owner));
    id = kKindBits[kindIndex] | static_cast<std::uint32_t>(owner.bones.size()) << 16 | objectNumber;
  } else {
    if (countOfKind_[kindIndex] > 0x0FFFFFFF)
      Fail(lineNumber_, std::string("too many items of kind ") + KindName(kind));
    id = kKindBits[kindIndex] + static_cast<std::uint32_t>(countOfKind_[kindIndex]);
  }
  if (kind == Kind::Bone && version_ >= 4 && (id & 0xFFFFu) != (items_[lastObject_].id & 0xFFFFu))
    Fail(lineNumber_,
         "bone id " + Hex(id) + " does not name its object " + Hex(items_[lastObject_].id) + " in its low four digits");
  const auto [found, inserted] = byId_.emplace(id, items_.size());
  if (!inserted)
    Fail(lineNumber_, "item id " + Hex(id) + " is declared twice (first on line " +
                          std::to_string(items_[found->second].line) + ")");
  ++countOfKind_[kindIndex];
  return id;
}

void Reader::ExpectEnd(Fields& fields, std::string_view keyword) {
  if (!fields.AtEnd())
    Fail(lineNumber_,
         "unexpected text after '" + std::string(keyword) + "' in a version " + std::to_string(version_) + " scene");
}

void Reader::LoadObjectFile(Fields& fields, bool withLayer) {
  std::uint32_t layer = 1;
  if (withLayer) {
    const std::string_view token = fields.Next();
    const std::optional<std::uint32_t> parsed = ParsePositive(token);
    if (!parsed) Fail(lineNumber_, "expected a layer number, found '" + std::string(token) + "'");
    layer = *parsed;
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
  item.name = std::string(fields.Remainder());
  item.named = true;
}

void Reader::ParentItem(Fields& fields) {
  const std::string_view token = fields.Next();
  const std::optional<std::uint32_t> id = ParseId(token);
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

void Reader::NameLoadedObjects() {
  std::map<std::string, std::vector<std::uint32_t>> layersOfFile;
  for (const PendingItem& item : items_) {
    if (item.path.empty()) continue;
    std::vector<std::uint32_t>& layers = layersOfFile[Lowered(item.path)];
    if (std::find(layers.begin(), layers.end(), item.layer) == layers.end()) layers.push_back(item.layer);
  }
  for (PendingItem& item : items_) {
    if (item.path.empty()) continue;
    const bool severalLayers = layersOfFile[Lowered(item.path)].size() > 1;
    item.name = ObjectNameFromPath(item.path, severalLayers ? static_cast<int>(item.layer) : 0);
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
          Fail(ref.line, "the parent " + Hex(ref.value) + " of " + Describe(item) + " is never declared");
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
  if (pluginLine_ != 0) Fail(pluginLine_, "this plug-in block has no 'EndPlugin' (file cut short?)");
  if (braceDepth_ > 0) Fail(braceLine_, "this '{' block is never closed (file cut short?)");
  NameLoadedObjects();
  ResolveParents();
  RejectCycles();
  return Build();
}

// ---- writing -------------------------------------------------------------

bool IsDriveAbsolute(std::string_view path) {
  return path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':';
}

// The shortest form the host writes that reads back as this very path:
// relative to the content directory, the host's "E:dir/file", or the path as
// it stands. Case is kept: the file name must read back unchanged.
std::string FilePathForScene(const std::string& path, const std::string& content) {
  std::vector<std::string> forms;
  const std::string prefix = content + "\\";
  if (!content.empty() && path.compare(0, prefix.size(), prefix) == 0) forms.push_back(path.substr(prefix.size()));
  if (IsDriveAbsolute(path) && path.size() > 2 && path[2] == '\\') forms.push_back(path.substr(0, 2) + path.substr(3));
  for (std::string form : forms) {
    std::replace(form.begin(), form.end(), '\\', '/');
    if (WindowsPath(form, content) == path) return form;
  }
  return path;
}

void CheckWritable(const Item& item) {
  if (!std::all_of(item.name.begin(), item.name.end(), IsTextByte))
    throw SceneError("the name of item " + Hex(item.id) + " holds a line break or control character");
  if (!std::all_of(item.fileName.begin(), item.fileName.end(), IsTextByte))
    throw SceneError("the file name of object " + Hex(item.id) + " holds a line break or control character");
}

void WriteParent(std::string& out, const Scene& scene, const Item& item) {
  if (item.parent != kNoItem) out += "ParentItem " + LowerHex(scene.At(item.parent).id) + "\n";
}

}  // namespace

SceneFileError::SceneFileError(const std::string& fileName, int lineNumber, const std::string& text)
    : std::runtime_error(fileName + (lineNumber > 0 ? ":" + std::to_string(lineNumber) : std::string()) + ": " + text),
      file(fileName),
      line(lineNumber),
      message(text) {}

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  return text.substr(0, kMark.size()) == kMark ? text.substr(kMark.size()) : text;
}

Scene ReadSceneText(std::string_view text, const std::string& fileName, const SceneFileOptions& options) {
  return Reader(text, fileName, options).Read();
}

Scene ReadSceneFile(const std::string& path, const SceneFileOptions& options) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw SceneFileError(path, 0, std::string("cannot open the scene: ") + std::strerror(errno));
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
    if (text.size() > kMaxFileBytes) {
      std::fclose(file);
      throw SceneFileError(path, 0, "larger than 256 MiB, not a scene");
    }
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) throw SceneFileError(path, 0, std::string("cannot read the scene: ") + std::strerror(error));
  return ReadSceneText(text, path, options);
}

std::string ObjectNameFromPath(std::string_view windowsPath, int layer) {
  const std::size_t slash = windowsPath.find_last_of("\\/");
  std::string_view base = slash == std::string_view::npos ? windowsPath : windowsPath.substr(slash + 1);
  const std::size_t dot = base.rfind('.');
  if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
  std::string name(base);
  if (layer != 0) name += ":Layer" + std::to_string(layer);
  return name;
}

std::string WindowsPath(std::string_view scenePath, std::string_view directory) {
  std::string path(scenePath);
  std::replace(path.begin(), path.end(), '/', '\\');
  std::string base(directory);
  std::replace(base.begin(), base.end(), '/', '\\');
  while (base.size() > 1 && base.back() == '\\') base.pop_back();

  std::string root, rest;
  if (path.compare(0, 2, "\\\\") == 0) {
    return path;  // a network path is already absolute
  } else if (IsDriveAbsolute(path)) {
    root = path.substr(0, 2);
    rest = path.substr(2);
  } else if (!path.empty() && path[0] == '\\') {
    root = IsDriveAbsolute(base) ? base.substr(0, 2) : std::string();
    rest = path;
  } else if (IsDriveAbsolute(base)) {
    root = base.substr(0, 2);
    rest = base.substr(2) + "\\" + path;
  } else {
    root = base;
    rest = path;
  }
  // "..", "." and doubled separators go, but never above the drive.
  std::vector<std::string_view> parts;
  std::string_view remaining(rest);
  while (!remaining.empty()) {
    const std::size_t end = std::min(remaining.find('\\'), remaining.size());
    const std::string_view part = remaining.substr(0, end);
    remaining.remove_prefix(std::min(end + 1, remaining.size()));
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string result = root;
  for (const std::string_view part : parts) {
    result += '\\';
    result += part;
  }
  if (parts.empty()) result += '\\';
  return result;
}

std::string WriteSceneText(const Scene& scene, const SceneFileOptions& options, std::vector<std::string>* warnings) {
  const auto warn = [warnings](std::string text) {
    if (warnings != nullptr) warnings->push_back(std::move(text));
  };
  std::string content = options.contentDirectory;
  std::replace(content.begin(), content.end(), '/', '\\');
  while (!content.empty() && content.back() == '\\') content.pop_back();

  // A loaded object keeps its name only when the reader derives the same one.
  std::map<std::string, std::vector<int>> layersOfFile;
  std::map<std::size_t, int> layerOf;
  for (std::size_t index = scene.FirstOfKind(Kind::Object); index != kNoItem; index = scene.At(index).nextOfKind) {
    const Item& item = scene.At(index);
    if (item.fileName.empty()) continue;
    int layer = 1;
    const std::size_t colon = item.name.rfind(":Layer");
    if (colon != std::string::npos) {
      const std::optional<std::uint32_t> number = ParsePositive(std::string_view(item.name).substr(colon + 6));
      if (number && item.name == ObjectNameFromPath(item.fileName, static_cast<int>(*number)))
        layer = static_cast<int>(*number);
    }
    layerOf[index] = layer;
    std::vector<int>& layers = layersOfFile[Lowered(item.fileName)];
    if (std::find(layers.begin(), layers.end(), layer) == layers.end()) layers.push_back(layer);
  }

  // The host's own defaults for a new scene where the source said nothing.
  const SceneTiming& timing = scene.timing();
  std::string out = "LWSC\n5\n\nFirstFrame " + std::to_string(timing.firstFrame.value_or(1)) + "\nLastFrame " +
                    std::to_string(timing.lastFrame.value_or(60)) + "\nFramesPerSecond " +
                    RateText(timing.framesPerSecond.value_or(30)) + "\n";
  for (std::size_t index = scene.FirstOfKind(Kind::Object); index != kNoItem; index = scene.At(index).nextOfKind) {
    const Item& item = scene.At(index);
    CheckWritable(item);
    out += "\n";
    if (!item.fileName.empty()) {
      const int layer = layerOf[index];
      const std::string written = FilePathForScene(item.fileName, content);
      out += "LoadObjectLayer " + std::to_string(layer) + " " + LowerHex(item.id) + " " + written + "\n";
      if (WindowsPath(written, content) != item.fileName)
        warn("object " + Hex(item.id) + " has the file name '" + item.fileName + "', which will read back as '" +
             WindowsPath(written, content) + "'");
      const bool severalLayers = layersOfFile[Lowered(item.fileName)].size() > 1;
      const std::string readBack = ObjectNameFromPath(item.fileName, severalLayers ? layer : 0);
      if (readBack != item.name)
        warn("object " + Hex(item.id) + " '" + item.name + "' will read back as '" + readBack +
             "': a scene file keeps only the object's file name");
      if (item.pointCount == 0)
        warn("object " + Hex(item.id) + " has a file but no points; it will read back with points");
    } else {
      out += "AddNullObject " + LowerHex(item.id) + (item.name.empty() ? "" : " " + item.name) + "\n";
      if (item.pointCount != 0) warn("object " + Hex(item.id) + " has points but no file; it will read back as a null");
    }
    WriteParent(out, scene, item);
    for (std::size_t bone = item.firstBone; bone != kNoItem; bone = scene.At(bone).nextOfKind) {
      const Item& boneItem = scene.At(bone);
      CheckWritable(boneItem);
      out += "AddBone " + LowerHex(boneItem.id) + "\nBoneName " + boneItem.name + "\n";
      WriteParent(out, scene, boneItem);
      if (boneItem.parent == kNoItem)
        warn("bone " + Hex(boneItem.id) + " '" + boneItem.name +
             "' is at the top level; it will read back under its object");
    }
  }
  out += "\nAmbientColor 1 1 1\nAmbientIntensity 0.05\n";
  const struct {
    Kind kind;
    const char* declaration;
    const char* nameLine;
  } kOthers[] = {{Kind::Light, "AddLight ", "LightName "}, {Kind::Camera, "AddCamera ", "CameraName "}};
  for (const auto& other : kOthers) {
    for (std::size_t index = scene.FirstOfKind(other.kind); index != kNoItem; index = scene.At(index).nextOfKind) {
      const Item& item = scene.At(index);
      CheckWritable(item);
      out += std::string("\n") + other.declaration + LowerHex(item.id) + "\n" + other.nameLine + item.name + "\n";
      WriteParent(out, scene, item);
    }
  }
  return out;
}

}  // namespace hostsim
