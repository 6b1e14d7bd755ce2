#include "framework/ModalStack.h"

#include "framework/Dialog.h"
#include "framework/Guard.h"

#include <algorithm>
#include <string.h>
#include <vector>

namespace {

struct ModalEntry {
    CDialog* dialog;  // null for a message box
    HWND box;         // the box's window once it exists
    UINT type;
    bool dismissed;
    int serial;  // a box's identity while entries come and go
};

std::vector<ModalEntry> g_modals;
int g_nextSerial = 0;

// The box being created: the first top-level dialog the system makes while the hook is set.
HHOOK g_hBoxHook = nullptr;
int g_pendingBox = -1;

int FindBox(int serial)
{
    for (size_t i = 0; i < g_modals.size(); ++i) {
        if (!g_modals[i].dialog && g_modals[i].serial == serial)
            return static_cast<int>(i);
    }
    return -1;
}

void Unhook()
{
    if (g_hBoxHook) {
        ::UnhookWindowsHookEx(g_hBoxHook);
        g_hBoxHook = nullptr;
    }
    g_pendingBox = -1;
}

LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    HHOOK hook = g_hBoxHook;
    AfxCallGuarded("message box hook", 0, [&] {
        if (code != HCBT_CREATEWND)
            return 0;
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        const CBT_CREATEWNDA* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        if (!create || !create->lpcs || (create->lpcs->style & WS_CHILD))
            return 0;
        char name[16] = "";
        ::GetClassNameA(hwnd, name, sizeof(name));
        if (strcmp(name, "#32770") != 0)
            return 0;
        const int at = FindBox(g_pendingBox);
        if (at >= 0)
            g_modals[at].box = hwnd;
        Unhook();
        return 0;
    });
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

int DismissedBoxAnswer(UINT type)
{
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return IDOK;
        case MB_YESNO:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

int AfxRunMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const int serial = ++g_nextSerial;
    g_modals.push_back({nullptr, nullptr, type, false, serial});
    Unhook();  // a box whose creation failed leaves no hook behind, but never trust that
    g_pendingBox = serial;
    g_hBoxHook = ::SetWindowsHookExA(WH_CBT, &BoxHookProc, nullptr, ::GetCurrentThreadId());
    const int answer = ::MessageBoxA(owner, text, caption, type);
    if (g_pendingBox == serial)
        Unhook();
    const int at = FindBox(serial);
    if (at >= 0)
        g_modals.erase(g_modals.begin() + at);
    return answer;
}

namespace afx {

void PushModalDialog(CDialog* dialog)
{
    g_modals.push_back({dialog, nullptr, 0, false, 0});
}

void PopModalDialog(CDialog* dialog)
{
    g_modals.erase(
        std::remove_if(g_modals.begin(), g_modals.end(), [dialog](const ModalEntry& e) { return e.dialog == dialog; }),
        g_modals.end());
}

void EndModalsInside(CDialog* dialog)
{
    size_t self = 0;
    while (self < g_modals.size() && g_modals[self].dialog != dialog)
        ++self;
    // By index: ending one may change the stack.
    for (size_t i = self + 1; i < g_modals.size(); ++i) {
        if (CDialog* inner = g_modals[i].dialog) {
            if (inner->IsModalLoopRunning())
                inner->EndDialog(IDCANCEL);
        } else if (!g_modals[i].dismissed) {
            g_modals[i].dismissed = true;
            HWND box = g_modals[i].box;
            if (box && ::IsWindow(box))
                ::EndDialog(box, DismissedBoxAnswer(g_modals[i].type));
        }
    }
}
}  // namespace afx
