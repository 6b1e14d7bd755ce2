#pragma once
// The debug console's control handler. Windows ends the process once the handler returns from
// closing the console, log-off or shut-down, so those take the program's normal exit road first.
#include <windows.h>

// True for the console events after which Windows ends the process whatever the handler returns.
bool ConsoleEventEndsProcess(DWORD event);

// Creates the exit signal and installs ConsoleCtrlHandler.
void InstallConsoleCtrlHandler();
// The window that gets the exit command; nullptr while there is none.
void SetConsoleExitWindow(HWND mainWindow);
// The exit road has saved the rules and put every window back: the handler may return.
void SignalExitDone();

BOOL WINAPI ConsoleCtrlHandler(DWORD event);
