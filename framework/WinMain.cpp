#include "framework/App.h"

// Compiled into the program, not the framework library: console programs (the unit tests) have
// their own main.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int cmdShow)
{
    return AfxWinMain(instance, previous, cmdLine, cmdShow);
}
