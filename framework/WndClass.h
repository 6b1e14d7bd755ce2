#pragma once
// Window classes for framework windows that need no procedure of their own: the class procedure is
// DefWindowProc, and the creation hook routes every message through the object's WindowProc.
#include <windows.h>

// Registers a class with these attributes once per process and returns its name, which stays
// valid until the process ends. Null when the class cannot be registered.
LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                           HICON icon = nullptr);
