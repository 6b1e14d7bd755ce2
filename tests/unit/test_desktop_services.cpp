// DWM wrappers and their version gate, the OS-version test, frame bounds, the monitor list and
// the taskbar-button service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/DwmApi.h"
#include "desktop/MultiDisplay.h"
#include "desktop/TaskBarControl.h"
#include "tests/unit/support/describe.h"

namespace {

const HRESULT kCompositionDisabled = static_cast<HRESULT>(0x80263001);  // DWM_E_COMPOSITIONDISABLED

// ---- fake DWM ----

struct FakeDwmState {
    int calls;
    HRESULT result;
    HWND hwnd;
    HWND hwndSource;
    HTHUMBNAIL thumbnail;
    const void* pointer;
    DWORD attribute;
    DWORD attributeSize;
    RECT frame;  // what a successful GetWindowAttribute writes
};
FakeDwmState g_dwm;

HRESULT WINAPI FakeIsCompositionEnabled(BOOL* enabled)
{
    ++g_dwm.calls;
    g_dwm.pointer = enabled;
    return g_dwm.result;
}
HRESULT WINAPI FakeGetWindowAttribute(HWND hwnd, DWORD attribute, PVOID value, DWORD size)
{
    ++g_dwm.calls;
    g_dwm.hwnd = hwnd;
    g_dwm.attribute = attribute;
    g_dwm.pointer = value;
    g_dwm.attributeSize = size;
    // A failing call scribbles too, so a fallback that trusts the output shows.
    *static_cast<RECT*>(value) = g_dwm.frame;
    return g_dwm.result;
}
HRESULT WINAPI FakeUpdateThumbnailProperties(HTHUMBNAIL thumbnail, const DWM_THUMBNAIL_PROPERTIES* properties)
{
    ++g_dwm.calls;
    g_dwm.thumbnail = thumbnail;
    g_dwm.pointer = properties;
    return g_dwm.result;
}
HRESULT WINAPI FakeRegisterThumbnail(HWND hwndDestination, HWND hwndSource, PHTHUMBNAIL thumbnail)
{
    ++g_dwm.calls;
    g_dwm.hwnd = hwndDestination;
    g_dwm.hwndSource = hwndSource;
    g_dwm.pointer = thumbnail;
    return g_dwm.result;
}
HRESULT WINAPI FakeUnregisterThumbnail(HTHUMBNAIL thumbnail)
{
    ++g_dwm.calls;
    g_dwm.thumbnail = thumbnail;
    return g_dwm.result;
}
HRESULT WINAPI FakeQueryThumbnailSourceSize(HTHUMBNAIL thumbnail, PSIZE size)
{
    ++g_dwm.calls;
    g_dwm.thumbnail = thumbnail;
    g_dwm.pointer = size;
    return g_dwm.result;
}
HRESULT WINAPI FakeExtendFrameIntoClientArea(HWND hwnd, const MARGINS* margins)
{
    ++g_dwm.calls;
    g_dwm.hwnd = hwnd;
    g_dwm.pointer = margins;
    return g_dwm.result;
}

const DwmFunctions kFakeDwm = {
    FakeIsCompositionEnabled, FakeGetWindowAttribute,       FakeUpdateThumbnailProperties, FakeRegisterThumbnail,
    FakeUnregisterThumbnail,  FakeQueryThumbnailSourceSize, FakeExtendFrameIntoClientArea,
};
const DwmFunctions kNoDwm = {};

class DwmTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dwm = FakeDwmState();
        SetDwmFunctionsForTest(&kFakeDwm);
    }
    void TearDown() override
    {
        SetDwmFunctionsForTest(nullptr);
        ResetOsVersionForTest();
    }
};

// Distinct arguments, so the fake can tell that each one arrived unchanged.
const HWND kDest = reinterpret_cast<HWND>(0x1010);
const HWND kSource = reinterpret_cast<HWND>(0x2020);
const HTHUMBNAIL kThumb = reinterpret_cast<HTHUMBNAIL>(0x3030);
HTHUMBNAIL g_thumbOut;
SIZE g_sizeOut;
RECT g_rectOut;
BOOL g_flagOut;
DWM_THUMBNAIL_PROPERTIES g_props;
MARGINS g_margins;

struct WrapperCase {
    const char* name;
    HRESULT (*call)();
    HWND hwnd;
    HWND hwndSource;
    HTHUMBNAIL thumbnail;
    const void* pointer;
};
const WrapperCase kWrappers[] = {
    {"IsCompositionEnabled", [] { return SafeDwmIsCompositionEnabled(&g_flagOut); }, nullptr, nullptr, nullptr,
     &g_flagOut},
    {"GetWindowAttribute", [] { return SafeDwmGetWindowAttribute(kDest, &g_rectOut); }, kDest, nullptr, nullptr,
     &g_rectOut},
    {"UpdateThumbnailProperties", [] { return SafeDwmUpdateThumbnailProperties(kThumb, &g_props); }, nullptr, nullptr,
     kThumb, &g_props},
    {"RegisterThumbnail", [] { return SafeDwmRegisterThumbnail(kDest, kSource, &g_thumbOut); }, kDest, kSource, nullptr,
     &g_thumbOut},
    {"UnregisterThumbnail", [] { return SafeDwmUnregisterThumbnail(kThumb); }, nullptr, nullptr, kThumb, nullptr},
    {"QueryThumbnailSourceSize", [] { return SafeDwmQueryThumbnailSourceSize(kThumb, &g_sizeOut); }, nullptr, nullptr,
     kThumb, &g_sizeOut},
    {"ExtendFrameIntoClientArea", [] { return SafeDwmExtendFrameIntoClientArea(kDest, &g_margins); }, kDest, nullptr,
     nullptr, &g_margins},
};

const RECT kUntouched = {-7, -7, -7, -7};

TEST_F(DwmTest, BeforeNt6EveryWrapperReturnsMinusOneWithoutCallingDwm)
{
    const DWORD versions[][2] = {{5, 1}, {5, 2}};
    for (const auto& version : versions) {
        SetOsVersionForTest(version[0], version[1]);
        for (const WrapperCase& c : kWrappers) {
            g_dwm.calls = 0;
            g_thumbOut = reinterpret_cast<HTHUMBNAIL>(0x77);
            g_sizeOut = {-7, -7};
            g_rectOut = kUntouched;
            HRESULT hr = c.call();
            EXPECT_TRUE(hr == kDwmNotCalled && g_dwm.calls == 0)
                << c.name << " on " << version[0] << "." << version[1] << ": expected -1 and no call, got 0x"
                << std::hex << hr << std::dec << " and " << g_dwm.calls << " calls";
            // Outputs other than the composition flag stay as they were.
            EXPECT_TRUE(g_thumbOut == reinterpret_cast<HTHUMBNAIL>(0x77) && g_sizeOut.cx == -7 && g_sizeOut.cy == -7 &&
                        SameRect(g_rectOut, kUntouched))
                << c.name << ": an output was written";
        }
    }
}

TEST_F(DwmTest, CompositionFlagBeforeNt6)
{
    SetOsVersionForTest(5, 1);
    BOOL flag = 7;
    EXPECT_EQ(kDwmNotCalled, SafeDwmIsCompositionEnabled(&flag));
    EXPECT_EQ(FALSE, flag);
    EXPECT_EQ(kDwmNotCalled, SafeDwmIsCompositionEnabled(nullptr));  // writes nothing, must not crash
    EXPECT_EQ(0, g_dwm.calls);
}

TEST_F(DwmTest, FromNt6EveryWrapperPassesDwmResultAndArgumentsThrough)
{
    const DWORD versions[][2] = {{6, 0}, {10, 0}};
    const HRESULT results[] = {S_OK, S_FALSE, kCompositionDisabled};
    for (const auto& version : versions) {
        SetOsVersionForTest(version[0], version[1]);
        for (const WrapperCase& c : kWrappers) {
            for (HRESULT result : results) {
                g_dwm = FakeDwmState();
                g_dwm.result = result;
                HRESULT hr = c.call();
                EXPECT_TRUE(hr == result && g_dwm.calls == 1)
                    << c.name << " on " << version[0] << "." << version[1] << ": expected 0x" << std::hex << result
                    << " from one call, got 0x" << hr << std::dec << " from " << g_dwm.calls << " calls";
                EXPECT_TRUE(g_dwm.hwnd == c.hwnd && g_dwm.hwndSource == c.hwndSource &&
                            g_dwm.thumbnail == c.thumbnail && g_dwm.pointer == c.pointer)
                    << c.name << ": the arguments did not reach DWM unchanged";
            }
        }
    }
}

TEST_F(DwmTest, WindowAttributeIsAlwaysTheExtendedFrameBounds)
{
    SetOsVersionForTest(6, 1);
    RECT rect;
    SafeDwmGetWindowAttribute(kDest, &rect);
    EXPECT_EQ(DWORD(DWMWA_EXTENDED_FRAME_BOUNDS), g_dwm.attribute);
    EXPECT_EQ(DWORD(sizeof(RECT)), g_dwm.attributeSize);
}

TEST_F(DwmTest, MissingDwmEntryBehavesAsBeforeNt6)
{
    SetDwmFunctionsForTest(&kNoDwm);
    SetOsVersionForTest(6, 1);
    BOOL flag = 7;
    EXPECT_EQ(kDwmNotCalled, SafeDwmIsCompositionEnabled(&flag));
    EXPECT_EQ(FALSE, flag);
    EXPECT_EQ(kDwmNotCalled, SafeDwmUnregisterThumbnail(kThumb));
}

// A hidden window of our own; message-only, so no display is needed.
class Window {
public:
    Window()
    {
        m_hwnd = CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 100, 120, 300, 200, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~Window()
    {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

TEST_F(DwmTest, FrameBoundsComeFromDwmOnlyWhenItSucceeds)
{
    Window window;
    ASSERT_TRUE(window.get() != nullptr) << "CreateWindowEx failed, error " << GetLastError();
    RECT windowRect;
    ASSERT_TRUE(GetWindowRect(window.get(), &windowRect));
    const RECT dwmFrame = {105, 121, 395, 315};
    struct Case {
        const char* name;
        DWORD major;
        const DwmFunctions* dwm;
        HRESULT result;
        bool expectDwmFrame;
    } cases[] = {
        {"XP: window rectangle, DWM never asked", 5, &kFakeDwm, S_OK, false},
        {"NT 6, DWM succeeds: its frame", 6, &kFakeDwm, S_OK, true},
        {"NT 6, composition off: window rectangle", 6, &kFakeDwm, kCompositionDisabled, false},
        {"NT 6, dwmapi lacks the entry: window rectangle", 6, &kNoDwm, S_OK, false},
    };
    for (const Case& c : cases) {
        SetDwmFunctionsForTest(c.dwm);
        SetOsVersionForTest(c.major, 0);
        g_dwm = FakeDwmState();
        g_dwm.result = c.result;
        g_dwm.frame = dwmFrame;
        RECT frame = kUntouched;
        RECT rect = kUntouched;
        GetFrameAndWindowRect(window.get(), &frame, &rect);
        const RECT& expected = c.expectDwmFrame ? dwmFrame : windowRect;
        EXPECT_TRUE(SameRect(frame, expected))
            << c.name << ": frame expected " << RectText(expected) << ", got " << RectText(frame);
        EXPECT_TRUE(SameRect(rect, windowRect))
            << c.name << ": window rectangle expected " << RectText(windowRect) << ", got " << RectText(rect);
        RECT bounds = kUntouched;
        GetFrameBounds(window.get(), &bounds);
        EXPECT_TRUE(SameRect(bounds, expected))
            << c.name << ": GetFrameBounds expected " << RectText(expected) << ", got " << RectText(bounds);
        EXPECT_EQ(c.major >= 6 && c.dwm == &kFakeDwm ? 2 : 0, g_dwm.calls) << c.name;
    }
}

TEST(DwmApiTest, RealDwmIsLoadedOnDemandOnNt6)
{
    SetDwmFunctionsForTest(nullptr);
    ResetOsVersionForTest();
    if (!IsVistaOrLater())
        GTEST_SKIP() << "no DWM before NT 6";
    EXPECT_EQ(1, OsVersionInfoValid);
    BOOL flag = 7;
    HRESULT hr = SafeDwmIsCompositionEnabled(&flag);
    // Wine: S_OK with FALSE.
    EXPECT_TRUE(SUCCEEDED(hr) && (flag == TRUE || flag == FALSE))
        << "expected success and a BOOL, got 0x" << std::hex << hr << std::dec << " and " << flag;
    EXPECT_TRUE(GetModuleHandleA("dwmapi.dll") != nullptr);
}

// ---- OS version test ----

TEST(OsVersionTest, CompareOsVersion)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT;
    const DWORD win9x = VER_PLATFORM_WIN32_WINDOWS;
    struct Case {
        const char* name;
        DWORD runMajor, runMinor, platform;
        DWORD major, minor;
        WORD sp;
        OsVersionVerdict expected;
    } cases[] = {
        {"Vista asks Vista", 6, 0, nt, 6, 0, 0, kOsVersionAtLeast},
        {"7 asks Vista", 6, 1, nt, 6, 0, 0, kOsVersionAtLeast},
        {"10 asks Vista", 10, 0, nt, 6, 0, 0, kOsVersionAtLeast},
        {"XP asks Vista", 5, 1, nt, 6, 0, 0, kOsVersionBelow},
        {"2003 asks Vista", 5, 2, nt, 6, 0, 0, kOsVersionBelow},
        {"failed read (0.0) asks Vista", 0, 0, 0, 6, 0, 0, kOsVersionBelow},
        {"higher major wins over lower minor", 6, 0, nt, 5, 2, 3, kOsVersionAtLeast},
        {"lower minor", 5, 1, nt, 5, 2, 0, kOsVersionBelow},
        {"higher minor skips the service pack", 5, 2, nt, 5, 1, 3, kOsVersionAtLeast},
        {"equal, no service pack asked", 5, 1, nt, 5, 1, 0, kOsVersionAtLeast},
        {"equal, service pack asked on NT", 5, 1, nt, 5, 1, 2, kOsVersionAskServicePack},
        {"equal, service pack asked off NT", 4, 10, win9x, 4, 10, 1, kOsVersionAtLeast},
        {"majors compare unsigned", 0x80000000u, 0, nt, 6, 0, 0, kOsVersionAtLeast},
    };
    for (const Case& c : cases) {
        OsVersionVerdict got = CompareOsVersion(c.runMajor, c.runMinor, c.platform, c.major, c.minor, c.sp);
        EXPECT_EQ(c.expected, got) << c.name;
    }
}

TEST(OsVersionTest, ServicePackFromCsdVersion)
{
    struct Case {
        const char* name;
        DWORD csdVersion;
        WORD sp;
        BOOL expected;
    } cases[] = {
        {"SP3 asks 3", 0x0300, 3, TRUE},
        {"SP3 asks 2", 0x0300, 2, TRUE},
        {"SP2 asks 3", 0x0200, 3, FALSE},
        {"SP2 asks 256: the encoded value is not the number", 0x0200, 256, FALSE},
        {"no service pack asks 1", 0x0000, 1, FALSE},
        {"SP 3.1 asks 3: the minor is ignored", 0x0301, 3, TRUE},
        {"SP 0.255 asks 1", 0x00FF, 1, FALSE},
        {"high word ignored", 0x00010200, 3, FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ServicePackAtLeast(c.csdVersion, c.sp)) << c.name;
}

TEST(OsVersionTest, IsOsVersionAtLeastAgainstTheRunningSystem)
{
    OSVERSIONINFOA running = {};
    running.dwOSVersionInfoSize = sizeof running;
    ASSERT_TRUE(GetVersionExA(&running));  // Wine: 6.1
    const DWORD major = running.dwMajorVersion;
    const DWORD minor = running.dwMinorVersion;
    struct Case {
        const char* name;
        DWORD major, minor;
        BOOL expected;
    } cases[] = {
        {"itself", major, minor, TRUE},      {"next minor", major, minor + 1, FALSE},
        {"next major", major + 1, 0, FALSE}, {"previous major, any minor", major - 1, 99, TRUE},
        {"Vista", 6, 0, major >= 6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, IsOsVersionAtLeast(c.major, c.minor, 0))
            << c.name << " (" << c.major << "." << c.minor << " on " << major << "." << minor << ")";
}

// ---- monitor list ----

class MonitorListTest : public ::testing::Test {
protected:
    void TearDown() override { CMultiDisplay::ReleaseInstance(); }
};

MonitorInfoRecord MonitorRecord(int id, DWORD flags)
{
    MonitorInfoRecord record;
    ZeroMemory(&record, sizeof record);
    record.info.cbSize = sizeof record.info;
    record.info.rcMonitor = {id * 1000, 0, id * 1000 + 800, 600};
    record.info.rcWork = {id * 1000, 0, id * 1000 + 800, 560};
    record.info.dwFlags = flags;
    record.hMonitor = reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(id));
    return record;
}

TEST_F(MonitorListTest, PrimaryComesFirstWhateverTheEnumerationOrder)
{
    const DWORD P = MONITORINFOF_PRIMARY;
    struct Case {
        const char* name;
        std::vector<DWORD> flags;      // in enumeration order; monitor ids are 1, 2, 3...
        std::vector<int> expectedIds;  // in list order
    } cases[] = {
        {"one monitor", {P}, {1}},
        {"primary enumerated first", {P, 0}, {1, 2}},
        {"primary enumerated second", {0, P}, {2, 1}},
        {"primary in the middle of three", {0, P, 0}, {2, 1, 3}},
        {"flags other than exactly primary", {0, P | 2}, {1, 2}},
    };
    for (const Case& c : cases) {
        CMultiDisplay display;
        testing::internal::CaptureStdout();  // keep the trace lines out of the test output
        for (size_t i = 0; i < c.flags.size(); ++i) {
            RECT enumRect = MonitorRecord(int(i) + 1, 0).info.rcMonitor;
            display.AddMonitor(MonitorRecord(int(i) + 1, c.flags[i]), enumRect);
        }
        testing::internal::GetCapturedStdout();
        std::string expected, got;
        for (int id : c.expectedIds)
            expected += std::to_string(id) + " ";
        for (const MonitorInfoRecord& r : display.m_monitors)
            got += std::to_string(reinterpret_cast<INT_PTR>(r.hMonitor)) + " ";
        EXPECT_TRUE(display.m_nMonitorCount == int(c.flags.size()) && got == expected)
            << c.name << ": expected count " << c.flags.size() << " and order " << expected << ", got count "
            << display.m_nMonitorCount << " and order " << got;
    }
}

TEST_F(MonitorListTest, EachMonitorTracesFourLines)
{
    CMultiDisplay display;
    MonitorInfoRecord record = MonitorRecord(1, MONITORINFOF_PRIMARY);
    record.info.rcMonitor = {-1280, 10, 0, 1034};  // left, top, right, bottom
    record.info.rcWork = {-1280, 10, 0, 994};
    const RECT enumRect = {-1280, 11, 1, 1035};
    testing::internal::CaptureStdout();
    display.AddMonitor(record, enumRect);
    const std::string got = testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        "rcMonitor top=10, left=-1280, bottom=1034, right=0\n"
        "rcWork top=10, left=-1280, bottom=994, right=0\n"
        "Flag = 1\n"
        "rcMonitor top=11, left=-1280, bottom=1035, right=1\n",
        got);
}

TEST_F(MonitorListTest, EnumerationListsTheDesktopsMonitorsPrimaryFirst)
{
    CMultiDisplay* display = CMultiDisplay::GetInstance();
    ASSERT_TRUE(display != nullptr);
    EXPECT_EQ(0, display->m_nMonitorCount);
    testing::internal::CaptureStdout();
    BOOL enumerated = display->EnumerateMonitors();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(enumerated);
    ASSERT_GE(display->m_nMonitorCount, 1);
    EXPECT_EQ(size_t(display->m_nMonitorCount), display->m_monitors.size());
    EXPECT_EQ(DWORD(MONITORINFOF_PRIMARY), display->m_monitors[0].info.dwFlags);
    EXPECT_TRUE(display->m_monitors[0].hdcMonitor == nullptr);
    EXPECT_EQ(display, CMultiDisplay::GetInstance());
}

TEST_F(MonitorListTest, ReleaseInstance)
{
    CMultiDisplay::ReleaseInstance();  // none yet: nothing happens
    EXPECT_TRUE(CMultiDisplay::m_pInstance == nullptr);
    CMultiDisplay* first = CMultiDisplay::GetInstance();
    ASSERT_TRUE(first != nullptr);
    first->m_nMonitorCount = 3;
    CMultiDisplay::ReleaseInstance();
    EXPECT_TRUE(CMultiDisplay::m_pInstance == nullptr);
    EXPECT_EQ(0, CMultiDisplay::GetInstance()->m_nMonitorCount);  // a new, empty instance
}

// ---- taskbar-button service ----

class FakeTaskbarList : public ITaskbarList {
public:
    LONG refs = 0;
    HRESULT initResult = S_OK;
    HRESULT tabResult = S_OK;
    int tabCalls = 0;
    HWND lastHwnd = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_ITaskbarList) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE HrInit() override { return initResult; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND hwnd) override { return Tab(hwnd); }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND hwnd) override { return Tab(hwnd); }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return E_NOTIMPL; }

private:
    HRESULT Tab(HWND hwnd)
    {
        ++tabCalls;
        lastHwnd = hwnd;
        return tabResult;
    }
};

FakeTaskbarList* g_fakeList;

int g_factoryCalls;

HRESULT CreateFake(ITaskbarList** out)
{
    ++g_factoryCalls;
    g_fakeList->AddRef();
    *out = g_fakeList;
    return S_OK;
}
HRESULT CreationFails(ITaskbarList** out)
{
    *out = nullptr;
    return REGDB_E_CLASSNOTREG;
}
HRESULT CreationFailsLeavingPointer(ITaskbarList** out)
{
    *out = g_fakeList;  // not a reference: must be neither used nor released
    return E_OUTOFMEMORY;
}

const HWND kTabWindow = reinterpret_cast<HWND>(0x4040);

TEST(TaskBarControlTest, WithoutTheTaskbarListObjectTabsFailAndNothingIsUsed)
{
    struct Case {
        const char* name;
        TaskbarListFactory factory;
        HRESULT initResult;
    } cases[] = {
        {"creation fails", CreationFails, S_OK},
        {"creation fails and leaves a pointer", CreationFailsLeavingPointer, S_OK},
        {"HrInit fails", CreateFake, E_FAIL},
    };
    for (const Case& c : cases) {
        FakeTaskbarList fake;
        fake.initResult = c.initResult;
        g_fakeList = &fake;
        {
            CTaskBarControl service(c.factory);
            EXPECT_TRUE(service.m_pTaskbarList == nullptr) << c.name;
            EXPECT_EQ(0, fake.refs) << c.name << ": the object must be released or never taken";
            EXPECT_EQ(1, service.m_bEnableDeleteTab) << c.name;
            EXPECT_EQ(FALSE, service.AddTab(kTabWindow)) << c.name;
            EXPECT_EQ(FALSE, service.DeleteTab(kTabWindow)) << c.name << " (switch 1)";
            service.m_bEnableDeleteTab = 0;
            EXPECT_EQ(TRUE, service.DeleteTab(kTabWindow)) << c.name << " (switch 0)";
        }
        EXPECT_TRUE(fake.tabCalls == 0 && fake.refs == 0)
            << c.name << ": expected no tab call and no reference, got " << fake.tabCalls << " and " << fake.refs;
    }
}

TEST(TaskBarControlTest, TabResultIsTrueExactlyForSOk)
{
    struct Case {
        const char* name;
        HRESULT shell;
        int deleteSwitch;
        BOOL expectedAdd;
        BOOL expectedDelete;
        int expectedCalls;  // of both tabs together
    } cases[] = {
        {"S_OK", S_OK, 1, TRUE, TRUE, 2},
        {"S_FALSE is not success here", S_FALSE, 1, FALSE, FALSE, 2},
        {"E_FAIL", E_FAIL, 1, FALSE, FALSE, 2},
        {"switch 0: DeleteTab removes nothing", E_FAIL, 0, FALSE, TRUE, 1},
    };
    for (const Case& c : cases) {
        FakeTaskbarList fake;
        fake.tabResult = c.shell;
        g_fakeList = &fake;
        {
            CTaskBarControl service(CreateFake);
            service.m_bEnableDeleteTab = c.deleteSwitch;
            BOOL added = service.AddTab(kTabWindow);
            BOOL deleted = service.DeleteTab(kTabWindow);
            EXPECT_TRUE(added == c.expectedAdd && deleted == c.expectedDelete && fake.tabCalls == c.expectedCalls)
                << c.name << ": expected AddTab " << c.expectedAdd << ", DeleteTab " << c.expectedDelete << ", "
                << c.expectedCalls << " calls; got " << added << ", " << deleted << ", " << fake.tabCalls;
            EXPECT_TRUE(fake.lastHwnd == kTabWindow) << c.name;
        }
        EXPECT_EQ(0, fake.refs) << c.name << ": the destructor releases the object";
    }
}

// Start-up creates the service: the shell's object waits for the first tab call that needs it.
TEST(TaskBarControlTest, TaskbarListIsMadeOnceAtTheFirstTabCall)
{
    FakeTaskbarList fake;
    g_fakeList = &fake;
    g_factoryCalls = 0;
    {
        CTaskBarControl service(CreateFake);
        EXPECT_EQ(0, g_factoryCalls) << "made by the constructor";
        service.m_bEnableDeleteTab = 0;
        EXPECT_EQ(TRUE, service.DeleteTab(kTabWindow));
        EXPECT_EQ(0, g_factoryCalls) << "made for a DeleteTab that removes nothing";
        EXPECT_EQ(TRUE, service.AddTab(kTabWindow));
        service.m_bEnableDeleteTab = 1;
        EXPECT_EQ(TRUE, service.DeleteTab(kTabWindow));
        EXPECT_EQ(TRUE, service.AddTab(kTabWindow));
        EXPECT_EQ(1, g_factoryCalls);
        EXPECT_EQ(3, fake.tabCalls);
    }
    EXPECT_EQ(0, fake.refs) << "the destructor releases the object";
}

TEST(TaskBarControlTest, ShellTaskbarListAddsAndDeletesTabs)
{
    Window window;
    ASSERT_TRUE(window.get() != nullptr);
    CTaskBarControl* service = CTaskBarControl::GetInstance();
    ASSERT_TRUE(service != nullptr);
    EXPECT_EQ(service, CTaskBarControl::GetInstance());
    EXPECT_EQ(TRUE, service->AddTab(window.get()));
    EXPECT_TRUE(service->m_pTaskbarList != nullptr) << "the shell's taskbar-list object was not created";
    EXPECT_EQ(TRUE, service->DeleteTab(window.get()));
    CTaskBarControl::ReleaseInstance();
    EXPECT_TRUE(CTaskBarControl::m_pInstance == nullptr);
}

}  // namespace
