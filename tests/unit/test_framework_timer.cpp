// A window object without a window makes no timer: a null window would make a thread timer that
// fires into whatever message loop runs next.
#include <gtest/gtest.h>

#include "framework/Wnd.h"

namespace {

TEST(FrameworkTimer, NoWindowNoTimer)
{
    CWnd none;
    EXPECT_EQ(0u, none.SetTimer(110, 10));
    Sleep(50);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) << "a thread timer fired";
    EXPECT_FALSE(none.KillTimer(110));
}

}  // namespace
