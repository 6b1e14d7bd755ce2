#pragma once
// Stops every C++ exception before it reaches system code: mingw's 32-bit unwinder cannot pass
// through user32 frames. Used by window and dialog procedures, hooks and enum callbacks.
#include "framework/Exceptions.h"
#include "framework/Trace.h"

#include <exception>
#include <utility>

template <class R, class F>
R AfxCallGuarded(const char* where, R fallback, F&& f) noexcept
{
    try {
        return std::forward<F>(f)();
    } catch (const CException& e) {
        AfxTraceBoundary(where, e.What());
    } catch (const std::exception& e) {
        AfxTraceBoundary(where, e.what());
    } catch (...) {
        AfxTraceBoundary(where, "unknown exception");
    }
    return fallback;
}
