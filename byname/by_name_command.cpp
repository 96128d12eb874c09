// "QZ_Sel_ByName": the pattern and kind come from the panel, the selecting
// from the name search.
#include "byname/by_name_panel.h"
#include "byname/name_search.h"
#include "host/host_records.h"
#include "module/activation.h"
#include "module/commands.h"

int SelectByName(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  const auto* items = LookUpService<ItemInfo>(lookup, kItemInfoService);
  const auto* messages = LookUpService<MessageFuncs>(lookup, kMessageService);
  if (items == nullptr || messages == nullptr) return kResultServiceMissing;

  ItemKind kind = LastKindChoice;
  // Dismissed, or no panel to ask with: the user is left where they were.
  if (RunByNamePanel(lookup, &kind, PatternBuffer) == 0) return kResultDone;
  if (SearchByName(static_cast<const LayoutGeneric*>(local), items, lookup, PatternBuffer, kind) == 0) {
    messages->info("Not Found", nullptr);
  }
  return kResultDone;
}
