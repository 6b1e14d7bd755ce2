// End-to-end harness: starts Kestrova.exe and helper programs and observes their windows and files.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "../unit/support/describe.h"

namespace kv {

// ---- test registry: KV_E2E_TEST(name) { ... } becomes CTest test e2e.name ----

using TestFn = void (*)();
struct TestCase {
    const char* name;
    TestFn fn;
};
std::vector<TestCase>& Registry();
struct RegisterTest {
    RegisterTest(const char* name, TestFn fn) { Registry().push_back({name, fn}); }
};

#define KV_E2E_TEST(name)                                             \
    static void e2e_##name();                                         \
    static ::kv::RegisterTest e2e_register_##name(#name, e2e_##name); \
    static void e2e_##name()

// Runs one registered test with clean-up; returns the process exit code.
int RunTest(const std::string& name);
// Runs fn as test `name`: fresh state before, leftovers killed after; 0 when it passed.
int RunCase(const char* name, TestFn fn);
const std::string& CurrentTest();

// ---- reporting ----

void Log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Records a failure and goes on.
bool Expect(bool ok, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Records a failure and ends the test.
void Require(bool ok, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// ---- waiting: polls with a deadline, pumping this thread's messages ----

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs);
// True when cond holds at every poll for the whole period.
bool HoldsFor(const std::function<bool()>& cond, DWORD periodMs);
void Pump(DWORD ms);

// ---- files and folders ----

std::string BuildDir();                   // the working directory CTest gives us
std::string BuiltFile(const char* name);  // a file the build made: Kestrova.exe, kv_helper.exe
bool FileExists(const std::string& path);
std::string ReadBytes(const std::string& path, const char* missing = "");  // missing: what a missing file reads as
void WriteBytes(const std::string& path, const std::string& bytes);
std::vector<std::string> ListFolder(const std::string& folder);  // names, sorted

// A file's last write and size. Watching it never opens the file: Wine refuses to replace a file
// that anyone holds open, so a poll that read it could make the program's save fail.
struct Stamp {
    bool exists = false;
    FILETIME written = {};
    DWORD size = 0;
};
Stamp StampOf(const std::string& path);
bool SameStamp(const Stamp& a, const Stamp& b);

// A fresh folder build\e2e-scratch\<test>, emptied at the start of each run.
class Scratch {
public:
    Scratch();
    const std::string& Root() const { return m_root; }
    // Creates Root()\name (name may hold DBCS text) and returns its path.
    std::string Folder(const std::string& name) const;
    // Copies Kestrova.exe into folder as exeName; returns the copy's path.
    std::string InstallApp(const std::string& folder, const std::string& exeName = "Kestrova.exe") const;
    // Copies kv_helper.exe into folder as exeName ("firefox.exe"); returns the copy's path.
    std::string InstallHelper(const std::string& folder, const std::string& exeName) const;
    // Writes folder\Kestrova.ini as [SYSTEM] with keys ("KEY=value\r\n" lines) and installs the
    // program beside it; returns the program's path.
    std::string InstallAppWithSettings(const std::string& folder, const std::string& keys) const;

private:
    std::string m_root;
};

// ---- processes ----

class Process {
public:
    Process() = default;
    Process(HANDLE h, DWORD pid) : m_handle(h), m_pid(pid) {}
    Process(Process&& o) noexcept;
    Process& operator=(Process&& o) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    explicit operator bool() const { return m_handle != nullptr; }
    DWORD Pid() const { return m_pid; }
    HANDLE Handle() const { return m_handle; }
    bool Running() const;
    bool WaitExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;  // STILL_ACTIVE while running
    bool WaitIdle(DWORD timeoutMs) const;

private:
    HANDLE m_handle = nullptr;
    DWORD m_pid = 0;
};

// Starts exe with args (CP932 text) in folder cwd (empty: the exe's folder).
// The process joins the harness's job, so it dies with the harness.
Process Start(const std::string& exe, const std::string& args, const std::string& cwd = "");
std::vector<DWORD> PidsNamed(const char* exeName);
// Kills every process started so far and every Kestrova.exe left running.
void KillLeftovers();

// ---- windows ----

std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
std::vector<HWND> TopWindows(DWORD pid);
// First top-level window of pid with this class and caption; nullptr matches any.
HWND FindTopWindow(DWORD pid, const char* className, const char* caption);
HWND FindDescendant(HWND root, int ctrlId);
RECT WindowRectOf(HWND hwnd);
// hwnd's client area, in the coordinates of its window rectangle.
RECT ClientInWindow(HWND hwnd);
RECT FrameBounds(HWND hwnd);  // visible frame: DWM extended bounds when composition runs
RECT WorkArea();
bool Foreground(HWND hwnd);  // brings hwnd forward; true once it is the foreground window
void SendKey(WORD vk);
// The cursor at (x, y), once this process sees it there; another process sees it a little later.
void MoveCursor(int x, int y);
// A real click at p (the MOUSEEVENTF_ pair down, up), once this process sees the cursor there.
void ClickAt(POINT p, DWORD down, DWORD up);
// The cursor at the screen's right edge, clear of the strip, once this process sees it there.
void ParkCursor();

// ---- thumbnails: Kestrova's visible layered tool windows ----

bool IsThumbnail(HWND hwnd);
std::vector<HWND> Thumbnails(DWORD pid);
// The layered alpha of hwnd; -1 when it has none.
int AlphaOf(HWND hwnd);
// How many of pid's top-level windows are visible.
int VisibleTopWindows(DWORD pid);
// Another process's window styles, read afresh.
DWORD StyleOf(HWND hwnd);
DWORD ExStyleOf(HWND hwnd);
// The alpha, -1 unless the window has the layered style now.
int LayeredAlpha(HWND hwnd);
// "" when thumb shows kv_helper's picture of this pattern for source, else what it shows instead.
std::string PatternMismatch(HWND source, HWND thumb, int pattern);

// ---- Kestrova ----

constexpr UINT kTrayNotify = WM_USER + 100;
constexpr WPARAM kCmdTrayExit = 32772;
constexpr int kModeLetterId = 1105;

// A running Kestrova with its main window.
struct App {
    Process proc;
    HWND main = nullptr;
};

// Starts Kestrova at exePath and waits for its main window and its first idle moment.
App StartApp(const std::string& exePath, const std::string& args = "", const std::string& cwd = "");
HWND MainWindowOf(DWORD pid);
void PostTray(HWND mainWnd, UINT mouseMsg);
// The tray's exit road; true when the process ended within timeoutMs.
bool ExitByTray(const App& app, DWORD timeoutMs = 10000);

// ---- message boxes ----

HWND WaitMessageBox(DWORD pid, const char* caption, DWORD timeoutMs);
std::string MessageBoxText(HWND box);
void PressButton(HWND dialog, int id);

// ---- console of another process ----

// The text on pid's console, rows joined by '\n' with trailing blanks cut; false when it has none.
bool ReadConsoleOf(DWORD pid, std::string* text);

// ---- resources of another process ----

// The GDI objects that process holds now, -1 when they cannot be read; byType (when given) counts
// them by the type byte of their handle (1 DC, 4 region, 9 bitmap, 10 font, 16 brush, 48 pen).
long GdiObjectsOf(HANDLE process, std::vector<long>* byType = nullptr);

}  // namespace kv
