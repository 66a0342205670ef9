// Configuration dialog.
#include "plugin.h"

// The dialog arrives with its own resources; until then there is nothing to show.
int ShowConfigDialog() { return 0; }
