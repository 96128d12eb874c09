#include "hostsim/host/scripted_run.h"

#include <cstdio>

namespace hostsim {

namespace {

constexpr char kNullNamesFault[] = "null-names";
constexpr char kHighIdBitsFault[] = "high-id-bits";
constexpr char kMissingServiceFault[] = "missing-service=";

// Set in every id the host hands out under the high-id-bits fault, where an
// id is wide enough to hold them.
constexpr std::uint64_t HighIdBits() { return sizeof(ItemId) >= 8 ? 0xABCD0000ull << 32 : 0; }

}  // namespace

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

const PanelKind kPanelKinds[4] = {{"object", '1'}, {"light", '2'}, {"camera", '3'}, {"bone", '4'}};

const PanelKind* FindPanelKind(std::string_view name) {
  for (const PanelKind& kind : kPanelKinds) {
    if (name == kind.name) return &kind;
  }
  return nullptr;
}

bool AddFault(std::string_view name, Faults& faults) {
  if (name == kNullNamesFault) {
    faults.nullNames = true;
    return true;
  }
  if (name == kHighIdBitsFault) {
    faults.idHighBits = HighIdBits();
    return true;
  }
  const std::string_view prefix = kMissingServiceFault;
  if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
    faults.missingServices.insert(std::string(name.substr(prefix.size())));
    return true;
  }
  return false;
}

std::vector<std::string> FaultNames(const Faults& faults) {
  std::vector<std::string> names;
  if (faults.idHighBits != 0) names.emplace_back(kHighIdBitsFault);
  if (faults.nullNames) names.emplace_back(kNullNamesFault);
  for (const std::string& service : faults.missingServices) names.push_back(kMissingServiceFault + service);
  return names;
}

PanelUser PanelScript::User() const {
  PanelUser user;
  if (const PanelKind* chosen = kind != nullptr ? FindPanelKind(kind) : nullptr)
    user.PressesToChoose(static_cast<std::uint32_t>(chosen->key), static_cast<std::int32_t>(chosen - kPanelKinds));
  if (pattern) user.Types(*pattern);
  for (const std::uint32_t key : keys) user.Presses(key);
  return dismisses ? user.Dismisses() : user.Confirms();
}

std::vector<std::string> PanelScript::RunArguments() const {
  std::vector<std::string> arguments;
  if (kind != nullptr) arguments.insert(arguments.end(), {"--kind", kind});
  if (pattern) arguments.insert(arguments.end(), {"--pattern", *pattern});
  if (!keys.empty()) arguments.emplace_back("--keys");
  // "--keys" reads a code back with at least two digits.
  for (const std::uint32_t key : keys) arguments.push_back(KeyLabel(key, 2));
  if (dismisses) arguments.emplace_back("--dismiss");
  return arguments;
}

std::string ResultText(int code) {
  switch (code) {
    case 0: return "done";
    case 2: return "a service the command needs is missing";
    default: return "not a result the host knows";
  }
}

std::string DismissedPanelProblem(const PanelRecord& panel, const RunResult& result) {
  if (!panel.openResult || *panel.openResult != 0) return "";
  if (!result.lines.empty()) return "sent '" + result.lines.front() + "' after the panel was dismissed";
  if (!result.messages.empty()) return "showed '" + result.messages.front().text + "' after the panel was dismissed";
  return "";
}

}  // namespace hostsim
