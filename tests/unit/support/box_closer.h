// Answers every message box of the thread with IDOK from a timer, which the box's own modal loop
// dispatches, and counts the boxes: all of them, and those that show a given text.
#pragma once
#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/Guard.h"

class MessageBoxCloser {
public:
    // dialog: a dialog of the thread that is no box; text: the text a box is counted for, or null.
    explicit MessageBoxCloser(HWND dialog = nullptr, const char* text = nullptr)
        : m_timer(SetTimer(nullptr, 0, 20, &Tick))
    {
        State().dialog = dialog;
        State().text = text;
        State().boxes.clear();
        State().withText = 0;
    }
    ~MessageBoxCloser() { KillTimer(nullptr, m_timer); }
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    static int Boxes() { return static_cast<int>(State().boxes.size()); }
    static int BoxesWithText() { return State().withText; }

private:
    struct Seen {
        HWND dialog = nullptr;
        const char* text = nullptr;
        std::vector<HWND> boxes;
        int withText = 0;
    };
    static Seen& State()
    {
        static Seen seen;
        return seen;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), &Close, 0); }
    static BOOL CALLBACK Close(HWND hwnd, LPARAM)
    {
        return AfxCallGuarded("EnumThreadWindows callback", FALSE, [&]() -> BOOL {
            Seen& s = State();
            char name[16] = {};
            GetClassNameA(hwnd, name, sizeof name);
            if (hwnd == s.dialog || std::strcmp(name, "#32770") != 0 || !IsWindowVisible(hwnd))
                return TRUE;
            bool known = false;
            for (HWND seen : s.boxes)
                known = known || seen == hwnd;
            if (!known) {
                s.boxes.push_back(hwnd);
                if (s.text && FindWindowExA(hwnd, nullptr, "Static", s.text))
                    ++s.withText;
            }
            PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
            return TRUE;
        });
    }
    UINT_PTR m_timer;
};
