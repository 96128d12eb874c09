// The select-by-name panel: asks the user for a pattern and an item kind and
// remembers both for the next run.
#ifndef QZ_BYNAME_BY_NAME_PANEL_H
#define QZ_BYNAME_BY_NAME_PANEL_H

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"
#include "host/panel_records.h"

constexpr std::size_t kPatternCapacity = 128;  // terminator included

// The last confirmed pattern and kind; they live as long as the library.
extern char PatternBuffer[kPatternCapacity];
extern std::int32_t LastKindChoice;

// Alive only while the panel runs; the host hands it back to our callbacks
// through slot 11 of its panel services record.
struct PanelBlock {
  PanelControl* choice;
  PanelControl* edit;
  PanelControl* border;
  std::int32_t horizontal;
  std::int32_t vertical;
};

// Non-zero when the user confirmed; then `kind` and `pattern` (kPatternCapacity
// bytes) hold the choice. 0 when dismissed or when the panel is unavailable.
int RunByNamePanel(ServiceLookup lookup, ItemKind* kind, char* pattern);

// Where a 320 x 250 panel would sit centred on the desktop.
void CentreOnDesktop(std::int32_t* horizontal, std::int32_t* vertical);

#endif  // QZ_BYNAME_BY_NAME_PANEL_H
