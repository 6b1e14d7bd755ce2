// Helpers for the thumbnail-list and thumbnail-command tests: the control page's list read from
// outside, its buttons, the thumbnail that shows a given source, and message boxes.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e.h"

namespace kv {

constexpr int kThumbList = 1002;
constexpr int kRuleList = 1031;

// "0x%08x" of a handle, as the list writes it.
inline std::string HandleText(HWND hwnd)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

// The texts of one list-view row of another process, through memory of that process.
inline std::vector<std::string> RowTexts(HWND list, int row, int columns)
{
    std::vector<std::string> texts;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return texts;
    const SIZE_T textSize = 512;
    char* remote =
        static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + textSize, MEM_COMMIT, PAGE_READWRITE));
    if (remote) {
        for (int c = 0; c < columns; ++c) {
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = remote + sizeof(LVITEMA);
            item.cchTextMax = static_cast<int>(textSize);
            char text[512] = "";
            SIZE_T done = 0;
            WriteProcessMemory(process, remote, &item, sizeof item, &done);
            DWORD_PTR result = 0;
            SendMessageTimeoutA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote),
                                SMTO_ABORTIFHUNG, 5000, &result);
            ReadProcessMemory(process, remote + sizeof(LVITEMA), text, sizeof text - 1, &done);
            texts.push_back(text);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return texts;
}

inline int RowCount(HWND list)
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    return static_cast<int>(count);
}

// Every row as "title|process|handle".
inline std::vector<std::string> Rows(HWND list)
{
    std::vector<std::string> rows;
    for (int r = 0, n = RowCount(list); r < n; ++r) {
        std::vector<std::string> t = RowTexts(list, r, 3);
        rows.push_back(t.size() == 3 ? t[0] + "|" + t[1] + "|" + t[2] : "?");
    }
    return rows;
}

inline std::string Joined(const std::vector<std::string>& rows)
{
    std::string text;
    for (const std::string& r : rows)
        text += (text.empty() ? "" : ", ") + r;
    return "[" + text + "]";
}

// The first row whose title is title, -1 when none.
inline int RowOf(HWND list, const std::string& title)
{
    for (int r = 0, n = RowCount(list); r < n; ++r) {
        std::vector<std::string> t = RowTexts(list, r, 1);
        if (!t.empty() && t[0] == title)
            return r;
    }
    return -1;
}

inline void SelectRow(HWND list, int row)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(list, LVM_SETSELECTIONMARK, 0, row, SMTO_ABORTIFHUNG, 5000, &result);
}

inline int SelectionMark(HWND list)
{
    DWORD_PTR mark = 0;
    SendMessageTimeoutA(list, LVM_GETSELECTIONMARK, 0, 0, SMTO_ABORTIFHUNG, 5000, &mark);
    return static_cast<int>(static_cast<INT_PTR>(mark));
}

// A button of the control page pressed as the dialog hears it.
inline void Click(HWND mainWnd, int id)
{
    HWND button = FindDescendant(mainWnd, id);
    if (button)
        PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A visible message box of pid: a dialog with the box's static text.
inline HWND MessageBoxOfProcess(DWORD pid)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF))
            return hwnd;
    }
    return nullptr;
}

// A visible dialog of pid with this caption.
inline HWND DialogOf(DWORD pid, const char* caption)
{
    HWND dlg = FindTopWindow(pid, "#32770", caption);
    return dlg && IsWindowVisible(dlg) ? dlg : nullptr;
}

// An edit's text as the control holds it (marshalled WM_GETTEXT, not the caption the system keeps).
inline std::string EditText(HWND edit)
{
    char text[256] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 3000, &result);
    return text;
}

inline bool Answers(HWND hwnd)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) != 0;
}

// The thumbnail of pid that lies within slot.
inline HWND ThumbnailIn(DWORD pid, const RECT& slot)
{
    for (HWND t : Thumbnails(pid)) {
        const RECT r = WindowRectOf(t);
        if (r.left >= slot.left && r.right <= slot.right && r.top >= slot.top && r.bottom <= slot.bottom)
            return t;
    }
    return nullptr;
}

}  // namespace kv
