// A source window on a thread of its own, which stops answering when told to: a hung program as
// Kestrova meets it, within one test process.
#pragma once
#include <windows.h>

class SourceThread {
public:
    // make() runs on the new thread and returns its window.
    explicit SourceThread(HWND (*make)()) : m_make(make)
    {
        m_thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
        WaitForSingleObject(m_ready, 5000);
    }
    ~SourceThread()
    {
        SetEvent(m_quit);
        SetEvent(m_resume);
        WaitForSingleObject(m_thread, 10000);
        for (HANDLE h : {m_ready, m_hang, m_hung, m_resume, m_quit, m_thread})
            CloseHandle(h);
    }
    SourceThread(const SourceThread&) = delete;
    SourceThread& operator=(const SourceThread&) = delete;

    HWND Window() const { return m_hwnd; }

    // Returns once the thread has stopped answering; it answers again after Resume, or by itself
    // after holdMs, so that a caller without a time-out is caught by its delay, not left for good.
    void Hang(DWORD holdMs = 4000)
    {
        m_holdMs = holdMs;
        ResetEvent(m_resume);
        SetEvent(m_hang);
        WaitForSingleObject(m_hung, 5000);
    }
    // Returns once the window answers again.
    void Resume()
    {
        SetEvent(m_resume);
        DWORD_PTR result = 0;
        for (int i = 0; i < 100 && !SendMessageTimeoutA(m_hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result); ++i) {
        }
    }
    // Called on the source's own thread (from its window procedure): stops answering as Hang does.
    void HangHere()
    {
        SetEvent(m_hung);
        WaitForSingleObject(m_resume, m_holdMs);
        ResetEvent(m_hung);
    }

private:
    static DWORD WINAPI Run(void* context)
    {
        SourceThread* self = static_cast<SourceThread*>(context);
        self->m_hwnd = self->m_make();
        SetEvent(self->m_ready);
        const HANDLE wake[2] = {self->m_quit, self->m_hang};
        for (;;) {
            const DWORD woke = MsgWaitForMultipleObjects(2, wake, FALSE, INFINITE, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0)
                break;
            if (woke == WAIT_OBJECT_0 + 1) {
                ResetEvent(self->m_hang);
                self->HangHere();
                continue;
            }
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        DestroyWindow(self->m_hwnd);
        return 0;
    }

    HWND (*m_make)();
    HWND m_hwnd = nullptr;
    DWORD m_holdMs = 4000;
    HANDLE m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_hang = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_hung = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_resume = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_thread = nullptr;
};
