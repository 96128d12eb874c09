// One run of a command as "hostsim run", "tour" and "time" and validate's
// checks all set it up: the host's faults by name, the scripted user a panel
// meets, the time limit and who hears of the run, and the rule a dismissed
// panel keeps. Here, so that a single run needs nothing above the host, and
// so that a run line validate prints replays exactly what validate ran.
#ifndef QZ_HOSTSIM_SCRIPTED_RUN_H
#define QZ_HOSTSIM_SCRIPTED_RUN_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/panel.h"

namespace hostsim {

// Told what is about to run before each run of the module, and when the run
// is over, so that a watchdog can name what hangs and a crash handler what
// crashed.
class StepListener {
 public:
  virtual void Starting(const std::string& step) = 0;
  virtual void Finished() = 0;

 protected:
  ~StepListener() = default;
};

// For each run of a command, unless the user gives another.
constexpr double kDefaultTimeoutSeconds = 10;
// Seconds as an option takes them: "1", "0.5".
std::string SecondsText(double seconds);

// The host's faults by the names "--fault" takes: high-id-bits, null-names,
// missing-service=NAME.
bool AddFault(std::string_view name, Faults& faults);  // false for a name it does not know
std::vector<std::string> FaultNames(const Faults& faults);
constexpr char kFaultChoices[] = "high-id-bits, null-names, missing-service=NAME";

// The kinds a panel's choice offers, in its order, and the key that picks each.
struct PanelKind {
  const char* name;  // "object", "light", "camera", "bone"
  char key;
};
extern const PanelKind kPanelKinds[4];
const PanelKind* FindPanelKind(std::string_view name);  // null for none

// What "hostsim run" does with --kind, --pattern, --keys and --dismiss: the
// kind's key unless that kind is shown, the typing, the keys, then OK or
// Cancel.
struct PanelScript {
  const char* kind = nullptr;  // a name of kPanelKinds, or null
  std::optional<std::string> pattern;
  std::vector<std::uint32_t> keys;
  bool dismisses = false;

  PanelUser User() const;
  std::vector<std::string> RunArguments() const;  // "--kind", "bone", ...
};

// What a result code means, as a run reports it: "done" for 0.
std::string ResultText(int code);

// A command must send and show nothing when its panel is dismissed; the
// problem with a run that did, or empty.
std::string DismissedPanelProblem(const PanelRecord& panel, const RunResult& result);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCRIPTED_RUN_H
