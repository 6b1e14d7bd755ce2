#pragma once
// Trace lines go to standard output, which start-up points at a console or the null device.
#include <cstdio>

#define AfxTrace(...) (std::printf(__VA_ARGS__), std::fflush(stdout))

// Reports an exception stopped at a boundary with system code.
void AfxTraceBoundary(const char* where, const char* what);
