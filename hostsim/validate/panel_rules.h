// The panel check: a command that opens a panel meets scripted users on the
// demo scene and on random scenes, and each run must keep the panel's rules.
#ifndef QZ_HOSTSIM_VALIDATE_PANEL_RULES_H
#define QZ_HOSTSIM_VALIDATE_PANEL_RULES_H

#include "hostsim/validate/validate.h"

namespace hostsim {

void CheckPanel(Validation& validation);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_PANEL_RULES_H
