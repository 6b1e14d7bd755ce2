#include "e2e.h"
#include "kv_pattern.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kv {

namespace {

struct TestAbort {};

std::string g_currentTest;
int g_failures = 0;
HANDLE g_job = nullptr;
std::vector<std::pair<HANDLE, DWORD>> g_started;  // duplicated handles of every process we started

std::string Format(const char* fmt, va_list args)
{
    char buf[2048];
    vsnprintf(buf, sizeof(buf), fmt, args);
    return buf;
}

void Report(const char* kind, const std::string& what)
{
    printf("%s [%s] %s\n", kind, g_currentTest.c_str(), what.c_str());
    fflush(stdout);
}

// Folder part of a path; a DBCS trail byte 0x5C is no separator.
std::string ParentOf(const std::string& path)
{
    size_t cut = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (path[i] == '\\')
            cut = i;
    }
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string ModuleFolder()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof(buf));
    return ParentOf(std::string(buf, n));
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

void MakeFolders(const std::string& path)
{
    if (path.empty() || GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    MakeFolders(ParentOf(path));
    CreateDirectoryA(path.c_str(), nullptr);
}

HANDLE Job()
{
    if (!g_job) {
        g_job = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
        info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (g_job)
            SetInformationJobObject(g_job, JobObjectExtendedLimitInformation, &info, sizeof(info));
    }
    return g_job;
}

HANDLE NulHandle(DWORD access)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    return CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
}

std::string CopyBuilt(const char* built, const std::string& folder, const std::string& exeName)
{
    std::string from = BuiltFile(built);
    Require(!from.empty(), "%s not found beside or above %s", built, ModuleFolder().c_str());
    std::string copy = folder + "\\" + exeName;
    Require(CopyFileA(from.c_str(), copy.c_str(), FALSE), "cannot copy %s to %s", built, copy.c_str());
    return copy;
}

std::vector<PROCESSENTRY32> AllProcesses()
{
    std::vector<PROCESSENTRY32> all;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return all;
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
        all.push_back(pe);
    CloseHandle(snap);
    return all;
}

void KillPid(DWORD pid)
{
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!h)
        return;
    TerminateProcess(h, 1);
    WaitForSingleObject(h, 5000);
    CloseHandle(h);
}

}  // namespace

// ---------------------------------------------------------------- registry

std::vector<TestCase>& Registry()
{
    static std::vector<TestCase> tests;
    return tests;
}

const std::string& CurrentTest()
{
    return g_currentTest;
}

int RunTest(const std::string& name)
{
    for (const TestCase& t : Registry()) {
        if (name == t.name)
            return RunCase(t.name, t.fn);
    }
    printf("no test named %s\n", name.c_str());
    return 2;
}

int RunCase(const char* name, TestFn fn)
{
    g_currentTest = name;
    g_failures = 0;
    KillLeftovers();
    DWORD start = GetTickCount();
    try {
        fn();
    } catch (const TestAbort&) {
    } catch (const std::exception& e) {
        Expect(false, "exception: %s", e.what());
    } catch (...) {
        Expect(false, "unknown exception");
    }
    KillLeftovers();
    Report(g_failures ? "FAILED" : "PASSED", std::to_string(GetTickCount() - start) + " ms");
    return g_failures ? 1 : 0;
}

// ---------------------------------------------------------------- reporting

void Log(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    Report("..", Format(fmt, args));
    va_end(args);
}

bool Expect(bool ok, const char* fmt, ...)
{
    if (ok)
        return true;
    va_list args;
    va_start(args, fmt);
    Report("FAIL", Format(fmt, args));
    va_end(args);
    ++g_failures;
    return false;
}

void Require(bool ok, const char* fmt, ...)
{
    if (ok)
        return;
    va_list args;
    va_start(args, fmt);
    Report("FAIL", Format(fmt, args));
    va_end(args);
    ++g_failures;
    throw TestAbort();
}

// ---------------------------------------------------------------- waiting

void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start >= timeoutMs)
            return cond();
        Pump(20);
    }
    return true;
}

bool HoldsFor(const std::function<bool()>& cond, DWORD periodMs)
{
    DWORD start = GetTickCount();
    while (cond()) {
        if (GetTickCount() - start >= periodMs)
            return true;
        Pump(20);
    }
    return false;
}

// ---------------------------------------------------------------- files

std::string BuildDir()
{
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof(buf), buf);
    return std::string(buf, n);
}

std::string BuiltFile(const char* name)
{
    std::string folder = ModuleFolder();
    for (int up = 0; up < 3 && !folder.empty(); ++up, folder = ParentOf(folder)) {
        std::string path = folder + "\\" + name;
        if (FileExists(path))
            return path;
    }
    return std::string();
}

bool FileExists(const std::string& path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

Stamp StampOf(const std::string& path)
{
    Stamp s;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        s.exists = true;
        s.written = data.ftLastWriteTime;
        s.size = data.nFileSizeLow;
    }
    return s;
}

bool SameStamp(const Stamp& a, const Stamp& b)
{
    return a.exists == b.exists && CompareFileTime(&a.written, &b.written) == 0 && a.size == b.size;
}

std::string ReadBytes(const std::string& path, const char* missing)
{
    std::string bytes;
    // FILE_SHARE_DELETE: a read must never be what makes the program's save fail.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return missing;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got)
        bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    Require(h != INVALID_HANDLE_VALUE, "cannot create %s", path.c_str());
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    Require(written == bytes.size(), "short write to %s", path.c_str());
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = fd.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

Scratch::Scratch() : m_root(BuildDir() + "\\e2e-scratch\\" + g_currentTest)
{
    RemoveTree(m_root);
    MakeFolders(m_root);
    Require(GetFileAttributesA(m_root.c_str()) != INVALID_FILE_ATTRIBUTES, "cannot create %s", m_root.c_str());
}

std::string Scratch::Folder(const std::string& name) const
{
    std::string path = m_root + "\\" + name;
    MakeFolders(path);
    Require(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, "cannot create %s", path.c_str());
    return path;
}

std::string Scratch::InstallApp(const std::string& folder, const std::string& exeName) const
{
    return CopyBuilt("Kestrova.exe", folder, exeName);
}

std::string Scratch::InstallHelper(const std::string& folder, const std::string& exeName) const
{
    return CopyBuilt("kv_helper.exe", folder, exeName);
}

std::string Scratch::InstallAppWithSettings(const std::string& folder, const std::string& keys) const
{
    WriteBytes(folder + "\\Kestrova.ini", "[SYSTEM]\r\n" + keys);
    return InstallApp(folder);
}

// ---------------------------------------------------------------- processes

Process::Process(Process&& o) noexcept : m_handle(o.m_handle), m_pid(o.m_pid)
{
    o.m_handle = nullptr;
}

Process& Process::operator=(Process&& o) noexcept
{
    std::swap(m_handle, o.m_handle);
    std::swap(m_pid, o.m_pid);
    return *this;
}

Process::~Process()
{
    if (m_handle)
        CloseHandle(m_handle);
}

bool Process::Running() const
{
    return m_handle && WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs) const
{
    return WaitFor([&] { return !Running(); }, timeoutMs);
}

DWORD Process::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_handle)
        GetExitCodeProcess(m_handle, &code);
    return code;
}

bool Process::WaitIdle(DWORD timeoutMs) const
{
    return m_handle && WaitForInputIdle(m_handle, timeoutMs) == 0;
}

Process Start(const std::string& exe, const std::string& args, const std::string& cwd)
{
    static HANDLE nulIn = NulHandle(GENERIC_READ);
    static HANDLE nulOut = NulHandle(GENERIC_WRITE);
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    std::vector<char> cmdBuf(cmd.begin(), cmd.end());
    cmdBuf.push_back(0);
    std::string dir = cwd.empty() ? ParentOf(exe) : cwd;

    // Standard handles on NUL, so that no child writes into CTest's pipes.
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nulIn;
    si.hStdOutput = nulOut;
    si.hStdError = nulOut;
    PROCESS_INFORMATION pi = {};
    auto create = [&] {
        return CreateProcessA(exe.c_str(), cmdBuf.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED | DETACHED_PROCESS,
                              nullptr, dir.c_str(), &si, &pi) != FALSE;
    };
    // wine64 now and then refuses a start with ERROR_INTERNAL_ERROR while many processes come and go.
    bool created = create();
    for (int retry = 0; !created && GetLastError() == ERROR_INTERNAL_ERROR && retry < 5; ++retry) {
        Pump(200);
        created = create();
    }
    if (!created)
        Require(false, "cannot start %s (error %lu)", cmd.c_str(), GetLastError());
    if (!AssignProcessToJobObject(Job(), pi.hProcess))
        Log("job assignment failed: %lu", GetLastError());
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    HANDLE dup = nullptr;
    DuplicateHandle(GetCurrentProcess(), pi.hProcess, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS);
    g_started.push_back({dup, pi.dwProcessId});
    return Process(pi.hProcess, pi.dwProcessId);
}

std::vector<DWORD> PidsNamed(const char* exeName)
{
    std::vector<DWORD> pids;
    for (const PROCESSENTRY32& e : AllProcesses()) {
        if (!_stricmp(e.szExeFile, exeName))
            pids.push_back(e.th32ProcessID);
    }
    return pids;
}

void KillLeftovers()
{
    // The job takes our processes and theirs (a debug console's host); the name sweep any Kestrova.exe.
    if (g_job)
        TerminateJobObject(g_job, 1);
    for (auto& p : g_started)
        KillPid(p.second);
    for (DWORD pid : PidsNamed("Kestrova.exe"))
        KillPid(pid);
    for (auto& p : g_started) {
        WaitForSingleObject(p.first, 5000);
        CloseHandle(p.first);
    }
    g_started.clear();
}

// ---------------------------------------------------------------- windows

std::string ClassOf(HWND hwnd)
{
    char buf[256] = "";
    GetClassNameA(hwnd, buf, sizeof(buf));
    return buf;
}

std::string TextOf(HWND hwnd)
{
    char buf[1024] = "";
    GetWindowTextA(hwnd, buf, sizeof(buf));
    return buf;
}

namespace {

struct PidWindows {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectPidWindow(HWND hwnd, LPARAM lp)
{
    auto* c = reinterpret_cast<PidWindows*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == c->pid)
        c->found.push_back(hwnd);
    return TRUE;
}

struct ChildById {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildById(HWND hwnd, LPARAM lp)
{
    auto* c = reinterpret_cast<ChildById*>(lp);
    if (GetDlgCtrlID(hwnd) != c->id)
        return TRUE;
    c->found = hwnd;
    return FALSE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid)
{
    PidWindows ctx = {pid, {}};
    EnumWindows(CollectPidWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND FindTopWindow(DWORD pid, const char* className, const char* caption)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (className && ClassOf(hwnd) != className)
            continue;
        if (caption && TextOf(hwnd) != caption)
            continue;
        return hwnd;
    }
    return nullptr;
}

HWND FindDescendant(HWND root, int ctrlId)
{
    ChildById ctx = {ctrlId, nullptr};
    EnumChildWindows(root, FindChildById, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

RECT WindowRectOf(HWND hwnd)
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT ClientInWindow(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    const RECT window = WindowRectOf(hwnd);
    const LONG x = origin.x - window.left, y = origin.y - window.top;
    return {x, y, x + client.right, y + client.bottom};
}

RECT FrameBounds(HWND hwnd)
{
    using GetAttr = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
    static HMODULE dwm = LoadLibraryA("dwmapi.dll");
    static auto getAttr =
        dwm ? reinterpret_cast<GetAttr>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")))
            : nullptr;
    RECT r = {};
    const DWORD kExtendedFrameBounds = 9;
    if (getAttr && getAttr(hwnd, kExtendedFrameBounds, &r, sizeof(r)) >= 0)
        return r;
    return WindowRectOf(hwnd);
}

RECT WorkArea()
{
    RECT r = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

bool Foreground(HWND hwnd)
{
    return WaitFor(
        [&] {
            if (GetForegroundWindow() == hwnd)
                return true;
            SetForegroundWindow(hwnd);
            return false;
        },
        3000);
}

void SendKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

void ClickAt(POINT p, DWORD down, DWORD up)
{
    SetCursorPos(p.x, p.y);
    // Another process sees the move a little late.
    Require(WaitFor(
                [&] {
                    POINT at;
                    return GetCursorPos(&at) && at.x == p.x && at.y == p.y;
                },
                2000),
            "the cursor did not move to (%ld,%ld)", p.x, p.y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = down;
    in[1].mi.dwFlags = up;
    SendInput(2, in, sizeof(INPUT));
}

void MoveCursor(int x, int y)
{
    SetCursorPos(x, y);
    // Another process sees the move a little later still; each test waits for what it needs of it.
    WaitFor([&] { return CursorAt(x, y); }, 2000);
}

void ParkCursor()
{
    MoveCursor(1270, 300);
}

// ---------------------------------------------------------------- thumbnails

bool IsThumbnail(HWND hwnd)
{
    const DWORD ex = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE));
    const DWORD both = WS_EX_LAYERED | WS_EX_TOOLWINDOW;
    return IsWindowVisible(hwnd) && (ex & both) == both;
}

std::vector<HWND> Thumbnails(DWORD pid)
{
    std::vector<HWND> found;
    for (HWND hwnd : TopWindows(pid)) {
        if (IsThumbnail(hwnd))
            found.push_back(hwnd);
    }
    return found;
}

int AlphaOf(HWND hwnd)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return -1;
    return alpha;
}

int VisibleTopWindows(DWORD pid)
{
    int open = 0;
    for (HWND hwnd : TopWindows(pid))
        open += IsWindowVisible(hwnd) ? 1 : 0;
    return open;
}

DWORD StyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
}

DWORD ExStyleOf(HWND hwnd)
{
    return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE));
}

int LayeredAlpha(HWND hwnd)
{
    return (ExStyleOf(hwnd) & WS_EX_LAYERED) ? AlphaOf(hwnd) : -1;
}

namespace {

COLORREF ScreenPixel(POINT p)
{
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

// Where the middle of each quadrant of the source's pattern lies in its thumbnail, which shows
// the whole source window, frame included, over its whole client area.
std::vector<POINT> QuadrantPoints(HWND source, HWND thumb)
{
    const RECT client = ClientInWindow(source);
    const RECT window = WindowRectOf(source);
    RECT view;
    GetClientRect(thumb, &view);
    POINT at = {0, 0};
    ClientToScreen(thumb, &at);
    std::vector<POINT> points;
    for (int q = 0; q < 4; ++q) {
        const double x = client.left + (client.right - client.left) * (q % 2 ? 0.75 : 0.25);
        const double y = client.top + (client.bottom - client.top) * (q / 2 ? 0.75 : 0.25);
        points.push_back({at.x + static_cast<LONG>(x * view.right / (window.right - window.left)),
                          at.y + static_cast<LONG>(y * view.bottom / (window.bottom - window.top))});
    }
    return points;
}

}  // namespace

std::string PatternMismatch(HWND source, HWND thumb, int pattern)
{
    std::string wrong;
    const std::vector<POINT> points = QuadrantPoints(source, thumb);
    for (int q = 0; q < 4; ++q) {
        const COLORREF got = ScreenPixel(points[q]);
        if (!NearColor(got, PatternColor(pattern, q)))
            wrong +=
                " quadrant " + std::to_string(q) + ": " + ColorHex(got) + " for " + ColorHex(PatternColor(pattern, q));
    }
    return wrong;
}

// ---------------------------------------------------------------- Kestrova

HWND MainWindowOf(DWORD pid)
{
    return FindTopWindow(pid, "#32770", "Kestrova");
}

App StartApp(const std::string& exePath, const std::string& args, const std::string& cwd)
{
    App app;
    app.proc = Start(exePath, args, cwd);
    const DWORD pid = app.proc.Pid();
    bool found = WaitFor([&] { return (app.main = MainWindowOf(pid)) != nullptr || !app.proc.Running(); }, 15000);
    Require(found && app.main, "Kestrova %s: no main window (running: %d, exit code %lu)", args.c_str(),
            app.proc.Running(), app.proc.ExitCode());
    Require(app.proc.WaitIdle(10000), "Kestrova %s never went idle", args.c_str());
    return app;
}

void PostTray(HWND mainWnd, UINT mouseMsg)
{
    PostMessageA(mainWnd, kTrayNotify, 0, mouseMsg);
}

bool ExitByTray(const App& app, DWORD timeoutMs)
{
    PostMessageA(app.main, WM_COMMAND, kCmdTrayExit, 0);
    return app.proc.WaitExit(timeoutMs);
}

// ---------------------------------------------------------------- message boxes

HWND WaitMessageBox(DWORD pid, const char* caption, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitFor([&] { return (box = FindTopWindow(pid, "#32770", caption)) && IsWindowVisible(box); }, timeoutMs);
    return box && IsWindowVisible(box) ? box : nullptr;
}

std::string MessageBoxText(HWND box)
{
    // The message is the box's static text; 0xFFFF is its id on Windows and Wine alike.
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? TextOf(text) : std::string();
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// ---------------------------------------------------------------- console

bool ReadConsoleOf(DWORD pid, std::string* text)
{
    // Attaching rebinds the standard handles; keep ours.
    HANDLE saved[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
    FreeConsole();
    bool attached = AttachConsole(pid);
    if (attached && text) {
        text->clear();
        HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info)) {
            // Rows as they are, padding included, so that a wrapped line stays contiguous.
            const int width = info.dwSize.X;
            const int rows = std::min<int>(info.dwCursorPosition.Y + 1, info.dwSize.Y);
            std::vector<char> buf(static_cast<size_t>(width) * rows + 1, 0);
            DWORD got = 0;
            // Wine fills the buffer but reports 0 characters read.
            if (ReadConsoleOutputCharacterA(out, buf.data(), width * rows, COORD{0, 0}, &got))
                text->assign(buf.data());
        }
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
    }
    if (attached)
        FreeConsole();
    SetStdHandle(STD_INPUT_HANDLE, saved[0]);
    SetStdHandle(STD_OUTPUT_HANDLE, saved[1]);
    SetStdHandle(STD_ERROR_HANDLE, saved[2]);
    return attached;
}

// ---------------------------------------------------------------- resources of another process

long GdiObjectsOf(HANDLE process, std::vector<long>* byType)
{
    // GetGuiResources reports 0 under Wine. Every live GDI object has an entry in the process's
    // handle table, which its PEB names (GdiSharedHandleTable), as on Windows.
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return -1;
    const SIZE_T tableAt = sizeof(void*) == 8 ? 0xF8 : 0x94;
    void* table = nullptr;
    SIZE_T done = 0;
    if (!ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(info.PebBaseAddress)) + tableAt, &table,
                           sizeof table, &done) ||
        !table)
        return -1;
    // 0x10000 entries of 24 bytes: the object's address first, the type at byte 14.
    const size_t entries = 0x10000, entrySize = 24;
    std::vector<unsigned char> bytes(entries * entrySize);
    if (!ReadProcessMemory(process, table, bytes.data(), bytes.size(), &done))
        return -1;
    if (byType)
        byType->assign(256, 0);
    long live = 0;
    for (size_t i = 0; i < entries; ++i) {
        const unsigned char* e = &bytes[i * entrySize];
        unsigned long long object = 0;
        memcpy(&object, e, sizeof object);
        if (!object)
            continue;
        ++live;
        if (byType)
            ++(*byType)[e[14]];
    }
    return live;
}

}  // namespace kv
