#include "desktop/Globals.h"

int DebugMode = 0;
int LayeredMode = 0;
