#include "app/ConsoleExit.h"

#include "res/resource.h"

#include <atomic>

namespace {
// Windows ends the process 5 s after CTRL_CLOSE_EVENT; log-off and shut-down allow more.
const DWORD kExitWait = 4500;
std::atomic<HWND> g_exitWindow(nullptr);
HANDLE g_exitDone = nullptr;  // manual reset: every later event returns at once
}  // namespace

bool ConsoleEventEndsProcess(DWORD event)
{
    return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

void InstallConsoleCtrlHandler()
{
    if (!g_exitDone)
        g_exitDone = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(&ConsoleCtrlHandler, TRUE);
}

void SetConsoleExitWindow(HWND mainWindow)
{
    g_exitWindow.store(mainWindow);
}

void SignalExitDone()
{
    if (g_exitDone)
        ::SetEvent(g_exitDone);
}

// Runs on a thread of the system's: it only posts to the main window and waits.
BOOL WINAPI ConsoleCtrlHandler(DWORD event)
{
    if (!ConsoleEventEndsProcess(event))
        return TRUE;  // Ctrl+C and Ctrl+Break must not end the program
    const HWND mainWindow = g_exitWindow.load();
    if (mainWindow)
        ::PostMessageA(mainWindow, WM_COMMAND, ID_TRAY_EXIT, 0);
    if (g_exitDone)
        ::WaitForSingleObject(g_exitDone, kExitWait);
    return TRUE;
}
