#include "byname/by_name_panel.h"

#include "byname/desktop.h"

char PatternBuffer[kPatternCapacity];
std::int32_t LastKindChoice;

namespace {

constexpr const char kPanelTitle[] = "Select By Name(wildcard)";
// The host wants a label text even where the panel shows none.
constexpr const char kNoLabel[] = "";

// Indexed by ItemKind; the leading spaces line the texts up in the host's font.
const char* const kKindItems[] = {" Object", "  Light", " Camera", "  Bone", nullptr};

// The panel is given 240 x 60 but centred as if it were 320 x 250, which
// leaves room for the host's frame and buttons around the controls.
constexpr std::int32_t kCentringWidth = 320;
constexpr std::int32_t kCentringHeight = 250;

constexpr std::uint32_t kKeyOne = 0x31;
constexpr std::uint32_t kKeyFour = 0x34;
constexpr std::uint32_t kKeyTab = 9;
constexpr std::uint32_t kKeyEnter = 13;
constexpr std::uint32_t kKeyConfirm = 100;

bool IsItemKind(std::int32_t value) { return value >= kKindObject && value <= kKindBone; }

// Function pointers travel through the host's untyped value slots.
template <typename Function>
void* AsValue(Function* function) {
  return reinterpret_cast<void*>(function);
}

void SetInteger(PanelControl* control, int code, std::int32_t integer) {
  ControlValue value{kIntegerValue, integer, nullptr, 0};
  control->set(control, code, &value);
}

PanelBlock* BlockOf(void* userData) {
  const auto* services = static_cast<const PanelServices*>(userData);
  return services == nullptr ? nullptr : static_cast<PanelBlock*>(services->userData);
}

// ---- Callbacks the host calls while the panel is open ---------------------

void PanelOpenHandler(PanelId panel, void* userData) {
  PanelBlock* block = BlockOf(userData);
  if (block == nullptr) return;
  // The host takes the horizontal place only once the panel exists on screen.
  static_cast<PanelServices*>(userData)->set(panel, kPanelX, &block->horizontal);
}

int PanelKeyHandler(PanelId panel, void* userData, std::uint32_t keyCode) {
  PanelBlock* block = BlockOf(userData);
  if (block == nullptr) return 0;
  // The upper bits carry modifier state we do not bind.
  const std::uint32_t key = keyCode & 0xFFFFu;
  if (key >= kKeyOne && key <= kKeyFour) {
    SetInteger(block->choice, kControlValue, static_cast<std::int32_t>(key - kKeyOne));
    return 1;
  }
  if (key == kKeyTab) {
    SetInteger(block->edit, kControlActivate, 0);
    return 1;
  }
  if (key == kKeyEnter || key == kKeyConfirm) {
    static_cast<PanelServices*>(userData)->close(panel);
    return 1;
  }
  return 0;
}

// The border is drawn whenever the panel is, so this keeps typing in the
// pattern field without the user clicking it first.
void FocusDrawHandler(PanelControl* control, void* userData, int /*drawMode*/) {
  auto* edit = static_cast<PanelControl*>(userData);
  if (edit != nullptr) SetInteger(edit, kControlActivate, 0);
  // The host's own draw slot does not call back here, so this cannot recurse.
  control->draw(control, kDrawNormal);
}

bool AddControls(const PanelServices* services, PanelId panel, PanelBlock& block) {
  // One descriptor for all three: each control sets only the words it reads.
  ControlDescriptor descriptor{};
  descriptor.type = kChoiceControlType;
  descriptor.at8.items = kKindItems;
  descriptor.word16 = 0;
  block.choice = services->addControl(panel, kChoiceControlName, &descriptor, kNoLabel);
  descriptor.type = kEditControlType;
  descriptor.word4 = 44;
  block.edit = services->addControl(panel, kEditControlName, &descriptor, kNoLabel);
  descriptor.type = kBorderControlType;
  descriptor.word4 = 1;
  descriptor.at8.word = 0;
  block.border = services->addControl(panel, kBorderControlName, &descriptor, kNoLabel);
  return block.choice != nullptr && block.edit != nullptr && block.border != nullptr;
}

void SetControlAttributes(PanelBlock& block, char* pattern) {
  SetInteger(block.border, kControlX, -5);
  SetInteger(block.border, kControlY, -5);
  SetInteger(block.choice, kControlX, 0);
  SetInteger(block.edit, kControlX, 0);
  SetInteger(block.edit, kControlY, 0);
  SetInteger(block.choice, kControlY, 20);
  ControlValue value{kTextValue, 0, pattern, static_cast<std::int32_t>(kPatternCapacity)};
  block.edit->set(block.edit, kControlValue, &value);
  SetInteger(block.choice, kControlValue, LastKindChoice);
  // The host reads pointer attributes from the pointer field whatever the
  // type code says; it stays the integer code of the set before.
  value = {kIntegerValue, LastKindChoice, block.edit, 0};
  block.border->set(block.border, kControlUserData, &value);
  value.pointer = AsValue(FocusDrawHandler);
  block.border->set(block.border, kControlDrawFunc, &value);
}

void SetPanelAttributes(PanelServices* services, PanelId panel, PanelBlock& block, std::int32_t* width,
                        std::int32_t* height) {
  services->set(panel, kPanelUserData, services);
  services->set(panel, kPanelKeyFunc, AsValue(PanelKeyHandler));
  services->set(panel, kPanelOpenFunc, AsValue(PanelOpenHandler));
  services->set(panel, kPanelWidth, width);
  services->set(panel, kPanelHeight, height);
  services->set(panel, kPanelY, &block.vertical);
}

void ReadBack(PanelBlock& block, ItemKind* kind, char* pattern) {
  // Primed with the kind the panel showed, so a host that leaves the value
  // untouched reads back the choice the user saw.
  ControlValue value{kIntegerValue, LastKindChoice, nullptr, 0};
  block.choice->get(block.choice, kControlValue, &value);
  // A value outside the four items would index past the edit-mode lines.
  if (IsItemKind(value.integer)) LastKindChoice = value.integer;
  *kind = LastKindChoice;
  value = {kTextValue, 0, pattern, static_cast<std::int32_t>(kPatternCapacity)};
  block.edit->get(block.edit, kControlValue, &value);
}

}  // namespace

int RunByNamePanel(ServiceLookup lookup, ItemKind* kind, char* pattern) {
  auto* services = static_cast<PanelServices*>(lookup(kPanelService, 0));
  if (services == nullptr) return 0;
  PanelId panel = services->create(kPanelTitle, nullptr);
  if (panel == nullptr) return 0;

  PanelBlock block{};
  services->lookup = lookup;
  services->userData = &block;
  CentreOnDesktop(&block.horizontal, &block.vertical);
  std::int32_t width = 240;
  std::int32_t height = 60;
  int result = 0;
  if (AddControls(services, panel, block)) {
    SetControlAttributes(block, pattern);
    SetPanelAttributes(services, panel, block, &width, &height);
    result = services->open(panel, kPanelOpenFlags);
    if (result != 0) ReadBack(block, kind, pattern);
  }
  // The host may write the field's text here while the user types, and need
  // not terminate it; the pattern must stay a string for the search and the
  // next run.
  pattern[kPatternCapacity - 1] = '\0';
  services->destroy(panel);
  return result;
}

void CentreOnDesktop(std::int32_t* horizontal, std::int32_t* vertical) {
  const DesktopSize desktop = DesktopClientSize();
  *horizontal = (desktop.right - kCentringWidth) >> 1;
  *vertical = (desktop.bottom - kCentringHeight) >> 1;
}
