#include "byname/desktop.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// What the panel is centred on when there is no desktop to ask: a common
// full-HD screen, so every build places the panel by the same rule.
constexpr DesktopSize kStandInDesktop = {1920, 1080};

}  // namespace

DesktopSize DesktopClientSize() {
#if defined(_WIN32)
  RECT rect{};
  if (GetClientRect(GetDesktopWindow(), &rect) == 0) return kStandInDesktop;
  return {static_cast<std::int32_t>(rect.right), static_cast<std::int32_t>(rect.bottom)};
#else
  return kStandInDesktop;
#endif
}
