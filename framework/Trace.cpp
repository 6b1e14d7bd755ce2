#include "framework/Trace.h"

void AfxTraceBoundary(const char* where, const char* what)
{
    AfxTrace("exception stopped in %s: %s\n", where, what);
}
