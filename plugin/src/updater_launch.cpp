// Start of the update checker.
#include "plugin.h"

// Starting the checker arrives with the checker itself.
void LaunchUpdater() {}
