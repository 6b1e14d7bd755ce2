// The tray icon's add, the debug console's exit road and the program's own folder.
#include "app/ConsoleExit.h"
#include "app/StartUp.h"
#include "app/TrayIcon.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Shell_NotifyIconA that fails each call as scripted, recording the calls.
struct FakeShell {
    std::vector<DWORD> calls;
    std::vector<DWORD> errors;     // per call: 0 succeeds
    NOTIFYICONDATAA deleted = {};  // what the last NIM_DELETE named
};
FakeShell* g_shell = nullptr;

BOOL WINAPI FakeNotify(DWORD message, PNOTIFYICONDATAA data)
{
    const size_t i = g_shell->calls.size();
    g_shell->calls.push_back(message);
    if (message == NIM_DELETE)
        g_shell->deleted = *data;
    const DWORD error = i < g_shell->errors.size() ? g_shell->errors[i] : 0;
    ::SetLastError(error);
    return error == 0;
}

}  // namespace

// A shell that times out must never hold the user-interface thread: one try, IDT_TRAYCHECK does the rest.
TEST(TrayIcon, OneTryNeverWaits)
{
    struct Case {
        const char* name;
        std::vector<DWORD> errors;
        bool added;
        std::vector<DWORD> calls;
        DWORD error;
    } cases[] = {
        {"added", {0}, true, {NIM_ADD}, 0},
        {"time-out, yet the shell added it", {ERROR_TIMEOUT, 0}, true, {NIM_ADD, NIM_MODIFY}, 0},
        {"time-out, not there", {ERROR_TIMEOUT, ERROR_TIMEOUT}, false, {NIM_ADD, NIM_MODIFY}, ERROR_TIMEOUT},
        {"time-out, then modify fails otherwise",
         {ERROR_TIMEOUT, ERROR_INVALID_WINDOW_HANDLE},
         false,
         {NIM_ADD, NIM_MODIFY},
         ERROR_TIMEOUT},
        {"another error", {ERROR_ACCESS_DENIED}, false, {NIM_ADD}, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        FakeShell shell;
        shell.errors = c.errors;
        g_shell = &shell;
        NOTIFYICONDATAA nid = {};
        DWORD error = 0;
        const DWORD start = ::GetTickCount();
        EXPECT_EQ(c.added, TryAddTrayIcon(&FakeNotify, &nid, &error)) << c.name;
        EXPECT_LT(::GetTickCount() - start, 200u) << c.name;
        EXPECT_EQ(c.calls, shell.calls) << c.name;
        if (!c.added) {
            EXPECT_EQ(c.error, error) << c.name;
        }
        g_shell = nullptr;
    }
}

// The icon is deleted once, by Remove or by the owner's end, also after an add that failed: a
// shell that timed out may have added it all the same.
TEST(TrayIcon, DeletedOnceForItsWindowWhateverTheAddSaid)
{
    const HWND owner = reinterpret_cast<HWND>(0x1234);
    struct Case {
        const char* name;
        std::vector<DWORD> errors;
        bool add;
        bool removeFirst;
        std::vector<DWORD> calls;
    } cases[] = {
        {"added, owner ends", {0}, true, false, {NIM_ADD, NIM_DELETE}},
        {"added, removed, owner ends", {0}, true, true, {NIM_ADD, NIM_DELETE}},
        {"add timed out", {ERROR_TIMEOUT, ERROR_TIMEOUT}, true, false, {NIM_ADD, NIM_MODIFY, NIM_DELETE}},
        {"add refused", {ERROR_ACCESS_DENIED}, true, false, {NIM_ADD, NIM_DELETE}},
        {"never added", {}, false, true, {}},
    };
    for (const Case& c : cases) {
        FakeShell shell;
        shell.errors = c.errors;
        g_shell = &shell;
        {
            CTrayIcon icon(&FakeNotify);
            NOTIFYICONDATAA nid = {};
            nid.hWnd = owner;
            nid.uID = 0;
            DWORD error = 0;
            if (c.add)
                icon.Add(&nid, &error);
            if (c.removeFirst)
                icon.Remove();
        }
        EXPECT_EQ(c.calls, shell.calls) << c.name;
        if (!c.calls.empty()) {
            EXPECT_EQ(owner, shell.deleted.hWnd) << c.name;
            EXPECT_EQ(sizeof(NOTIFYICONDATAA), shell.deleted.cbSize) << c.name;
            EXPECT_EQ(0u, shell.deleted.uFlags) << c.name;
        }
        g_shell = nullptr;
    }
}

TEST(StartUp, ProgramFolderComesFromTheModuleNotTheCommandLine)
{
    char module[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameA(nullptr, module, sizeof module));
    EXPECT_STREQ(module, ProgramPath().GetString());

    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(sizeof previous, previous);
    char temp[MAX_PATH] = {};
    ::GetTempPathA(sizeof temp, temp);
    ASSERT_TRUE(::SetCurrentDirectoryA(temp));
    // Whatever argv[0] says (a bare name found through PATH has no folder).
    char* savedArgv0 = __argv[0];
    char bare[] = "test_app_shell";
    __argv[0] = bare;
    testing::internal::CaptureStdout();
    InitPortableFolder();
    testing::internal::GetCapturedStdout();
    __argv[0] = savedArgv0;
    char now[MAX_PATH] = {};
    ::GetCurrentDirectoryA(sizeof now, now);
    ::SetCurrentDirectoryA(previous);
    EXPECT_STREQ(ProgramFolder(module).GetString(), now);
}

namespace {

// The main window's stand-in: counts exit commands; its exit road takes 300 ms.
const DWORD kExitRoad = 300;
int g_exitCommands = 0;
DWORD g_commandAt = 0;

LRESULT CALLBACK ExitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == ID_TRAY_EXIT) {
        ++g_exitCommands;
        g_commandAt = ::GetTickCount();
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

struct HandlerRun {
    BOOL result = FALSE;
    DWORD returnedAfter = 0;  // ms after the call
    DWORD exitDoneAfter = 0;  // ms after the call; 0 when the road never ran
};

// Calls the handler on a thread of its own, as the system does, running the exit road here.
HandlerRun CallHandler(DWORD event)
{
    HandlerRun run;
    volatile bool done = false;
    const DWORD start = ::GetTickCount();
    std::thread system([&] {
        run.result = ConsoleCtrlHandler(event);
        run.returnedAfter = ::GetTickCount() - start;
        done = true;
    });
    while (!done && ::GetTickCount() - start < 10000) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        if (g_exitCommands && !run.exitDoneAfter && ::GetTickCount() - g_commandAt >= kExitRoad) {
            run.exitDoneAfter = ::GetTickCount() - start;
            SignalExitDone();
        }
        ::Sleep(5);
    }
    system.join();
    return run;
}

}  // namespace

// Windows ends the process once the handler returns from closing the console, log-off or
// shut-down: the handler first has the main window take the exit road, and waits for it.
TEST(DebugConsole, ClosingTakesTheExitRoad)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &ExitWindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvExitWindow";
    ASSERT_TRUE(::RegisterClassA(&wc));
    HWND hwnd = ::CreateWindowA("KvExitWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(hwnd != nullptr);
    InstallConsoleCtrlHandler();
    SetConsoleExitWindow(hwnd);

    struct Case {
        const char* name;
        DWORD event;
        int exitCommands;
    } cases[] = {
        // Ctrl+C and Ctrl+Break must not end the program.
        {"Ctrl+C", CTRL_C_EVENT, 0},
        {"Ctrl+Break", CTRL_BREAK_EVENT, 0},
        {"closing the console", CTRL_CLOSE_EVENT, 1},
    };
    for (const Case& c : cases) {
        g_exitCommands = 0;
        const HandlerRun run = CallHandler(c.event);
        EXPECT_TRUE(run.result) << c.name;
        EXPECT_EQ(c.exitCommands, g_exitCommands) << c.name;
        if (c.exitCommands) {
            // Returning earlier would let Windows end the process before the rules are saved.
            EXPECT_NE(0u, run.exitDoneAfter) << c.name;
            EXPECT_GE(run.returnedAfter, run.exitDoneAfter) << c.name;
        }
        EXPECT_LT(run.returnedAfter, 3000u) << c.name;
    }
    for (DWORD event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT})
        EXPECT_TRUE(ConsoleEventEndsProcess(event)) << event;
    for (DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT})
        EXPECT_FALSE(ConsoleEventEndsProcess(event)) << event;

    SetConsoleExitWindow(nullptr);
    ::DestroyWindow(hwnd);
}
