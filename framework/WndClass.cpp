#include "framework/WndClass.h"

#include "framework/App.h"

#include <cstdio>
#include <set>
#include <string>

LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    // The name carries every attribute, so equal requests share one class.
    static std::set<std::string> registered;
    HINSTANCE instance = AfxGetInstanceHandle();
    char name[96];
    std::snprintf(name, sizeof(name), "Kv:%p:%x:%p:%p:%p", static_cast<void*>(instance), classStyle,
                  static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    auto it = registered.find(name);
    if (it != registered.end())
        return it->c_str();

    WNDCLASSA wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return registered.insert(name).first->c_str();
}
