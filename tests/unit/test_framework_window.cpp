// CWnd: message-map dispatch and chaining, the creation hook, FromHandle, self-deleting windows
// and exceptions stopped at the window procedure.
#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Guard.h"
#include "framework/Wnd.h"

namespace {

const char kClassName[] = "KvFrameworkTestWnd";
const LRESULT kClassResult = 0x5150;  // the class procedure answers WM_APP messages with this plus wParam and lParam

enum : UINT {
    WM_SHARED = WM_APP,
    WM_BASE_ONLY,
    WM_UNMAPPED,
    WM_CALLS_DEFAULT,
};
enum : UINT { ID_BASE_COMMAND = 100, ID_DERIVED_COMMAND, IDC_EDIT, IDC_LIST };

// What the class procedure received: the watched message only, so default traffic stays out.
std::vector<std::string> g_log;
UINT g_watched = 0;
UINT g_registered = 0;  // a registered message's number, 0 until it is registered
std::vector<UINT> g_classSeen;

LRESULT CALLBACK ClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_classSeen.push_back(message);
    if (message == g_watched)
        g_log.push_back("class");
    if (message >= WM_APP && message < 0xC000)
        return kClassResult + static_cast<LRESULT>(wParam) + lParam;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterTestClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &ClassProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    registered = RegisterClassA(&wc) != 0;
}

BOOL CreateTestWindow(CWnd& wnd, DWORD style = WS_POPUP)
{
    RegisterTestClass();
    return wnd.CreateEx(0, kClassName, "test", style, CRect(0, 0, 100, 80), nullptr, 0);
}

class CBaseWnd : public CWnd {
protected:
    LRESULT OnShared(WPARAM, LPARAM)
    {
        g_log.push_back("base shared");
        return 1;
    }
    LRESULT OnBaseOnly(WPARAM w, LPARAM l)
    {
        g_log.push_back("base only");
        return static_cast<LRESULT>(w) + l;
    }
    void OnBaseCommand() { g_log.push_back("base command"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
    ON_MESSAGE(WM_SHARED, &CBaseWnd::OnShared)
    ON_MESSAGE(WM_BASE_ONLY, &CBaseWnd::OnBaseOnly)
    ON_COMMAND(ID_BASE_COMMAND, &CBaseWnd::OnBaseCommand)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
public:
    std::vector<UINT> m_seen;  // every message WindowProc got, in order
    HDC m_expectedDC = nullptr;
    HWND m_expectedCtl = nullptr;
    HBRUSH m_brush = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_seen.push_back(message);
        return CBaseWnd::WindowProc(message, wParam, lParam);
    }

protected:
    LRESULT OnShared(WPARAM, LPARAM)
    {
        g_log.push_back("derived shared");
        return 2;
    }
    LRESULT OnCallsDefault(WPARAM, LPARAM)
    {
        const LRESULT r = Default();
        g_log.push_back("after Default");
        return r + 1;
    }
    LRESULT OnRegistered(WPARAM w, LPARAM)
    {
        g_log.push_back("registered");
        return static_cast<LRESULT>(w) * 2;
    }
    void OnDerivedCommand() { g_log.push_back("derived command"); }
    void OnEditChange() { g_log.push_back("edit change"); }
    void OnListClick(NMHDR* hdr, LRESULT* result)
    {
        g_log.push_back("list click from " + std::to_string(hdr->idFrom));
        *result = 7;
    }
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor)
    {
        g_log.push_back("ctlcolor " + std::to_string(ctlColor) + (dc->m_hDC == m_expectedDC ? " dc" : " other dc") +
                        (wnd && wnd->m_hWnd == m_expectedCtl ? " ctl" : " other ctl"));
        return m_brush;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
    ON_MESSAGE(WM_SHARED, &CDerivedWnd::OnShared)
    ON_MESSAGE(WM_CALLS_DEFAULT, &CDerivedWnd::OnCallsDefault)
    ON_REGISTERED_MESSAGE(g_registered, &CDerivedWnd::OnRegistered)
    ON_COMMAND(ID_DERIVED_COMMAND, &CDerivedWnd::OnDerivedCommand)
    ON_CONTROL(EN_CHANGE, IDC_EDIT, &CDerivedWnd::OnEditChange)
    ON_NOTIFY(NM_CLICK, IDC_LIST, &CDerivedWnd::OnListClick)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

TEST(FrameworkMessageMapTest, DerivedWinsBaseChainsRestGetsDefault)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(CreateTestWindow(wnd));
    HWND child = CreateWindowExA(0, kClassName, "", WS_CHILD, 0, 0, 10, 10, wnd, nullptr, nullptr, nullptr);
    HDC dc = GetDC(wnd);
    wnd.m_expectedDC = dc;
    wnd.m_expectedCtl = child;
    const LRESULT brush = reinterpret_cast<LRESULT>(wnd.m_brush);
    NMHDR click = {child, IDC_LIST, static_cast<UINT>(NM_CLICK)};
    NMHDR dblClick = {child, IDC_LIST, static_cast<UINT>(NM_DBLCLK)};
    NMHDR otherId = {child, IDC_EDIT, static_cast<UINT>(NM_CLICK)};
    const LPARAM childParam = reinterpret_cast<LPARAM>(child);
    g_registered = RegisterWindowMessageA("KvFrameworkTestRegistered");
    ASSERT_NE(0u, g_registered);

    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* log;
        LRESULT result;
    } cases[] = {
        {"derived entry wins over base", WM_SHARED, 0, 0, "derived shared", 2},
        {"base entry reached through the chain", WM_BASE_ONLY, 3, 4, "base only", 7},
        {"unmapped message", WM_UNMAPPED, 1, 2, "class", kClassResult + 3},
        {"Default inside a handler", WM_CALLS_DEFAULT, 5, 6, "class, after Default", kClassResult + 11 + 1},
        {"menu command in the base map", WM_COMMAND, MAKEWPARAM(ID_BASE_COMMAND, 0), 0, "base command", 0},
        {"menu command in the derived map", WM_COMMAND, MAKEWPARAM(ID_DERIVED_COMMAND, 0), 0, "derived command", 0},
        {"control notification", WM_COMMAND, MAKEWPARAM(IDC_EDIT, EN_CHANGE), childParam, "edit change", 0},
        {"other notification code", WM_COMMAND, MAKEWPARAM(IDC_EDIT, EN_KILLFOCUS), childParam, "class", 0},
        {"WM_NOTIFY", WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click), "list click from 103", 7},
        {"WM_NOTIFY other code", WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&dblClick), "class", 0},
        {"WM_NOTIFY other id", WM_NOTIFY, IDC_EDIT, reinterpret_cast<LPARAM>(&otherId), "class", 0},
        {"WM_CTLCOLORSTATIC", WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), childParam, "ctlcolor 6 dc ctl", brush},
        {"WM_CTLCOLOREDIT", WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), childParam, "ctlcolor 1 dc ctl", brush},
        {"registered message", g_registered, 5, 0, "registered", 10},
        {"WM_NULL is not the registered row", WM_NULL, 5, 0, "class", 0},
    };
    for (const Case& c : cases) {
        g_log.clear();
        g_watched = c.message;
        const LRESULT result = SendMessageA(wnd, c.message, c.wParam, c.lParam);
        EXPECT_EQ(c.log, Join(g_log)) << c.name;
        EXPECT_EQ(c.result, result) << c.name;
    }
    // Until the number is known, the row must not take WM_NULL (0) for its message.
    const UINT number = g_registered;
    g_registered = 0;
    g_log.clear();
    g_watched = WM_NULL;
    SendMessageA(wnd, WM_NULL, 5, 0);
    EXPECT_EQ("class", Join(g_log)) << "registered row before registration";
    g_log.clear();
    g_watched = number;
    SendMessageA(wnd, number, 5, 0);
    EXPECT_EQ("class", Join(g_log)) << "registered row reads its variable at each message";
    g_watched = 0;
    ReleaseDC(wnd, dc);
    wnd.DestroyWindow();
}

TEST(FrameworkWindowTest, CreateExSubclassesBeforeTheFirstMessage)
{
    g_classSeen.clear();
    CDerivedWnd wnd;
    ASSERT_TRUE(CreateTestWindow(wnd, WS_OVERLAPPEDWINDOW));
    ASSERT_FALSE(g_classSeen.empty());
    ASSERT_FALSE(wnd.m_seen.empty());
    EXPECT_EQ(g_classSeen.front(), wnd.m_seen.front()) << "the class procedure got a message before the object";
    const auto nccreate = std::find(wnd.m_seen.begin(), wnd.m_seen.end(), UINT(WM_NCCREATE));
    const auto create = std::find(wnd.m_seen.begin(), wnd.m_seen.end(), UINT(WM_CREATE));
    EXPECT_TRUE(nccreate != wnd.m_seen.end()) << "WindowProc never saw WM_NCCREATE";
    EXPECT_TRUE(create != wnd.m_seen.end()) << "WindowProc never saw WM_CREATE";
    EXPECT_TRUE(nccreate < create);
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(wnd));
    wnd.DestroyWindow();
    EXPECT_TRUE(wnd.m_hWnd == nullptr);
}

TEST(FrameworkWindowTest, FromHandleTemporaryForForeignWindows)
{
    CDerivedWnd own;
    ASSERT_TRUE(CreateTestWindow(own));
    RegisterTestClass();
    HWND foreign = CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(foreign != nullptr);

    EXPECT_EQ(&own, CWnd::FromHandle(own));
    CWnd* temp = CWnd::FromHandle(foreign);
    ASSERT_TRUE(temp != nullptr);
    EXPECT_TRUE(temp->m_hWnd == foreign);
    EXPECT_EQ(temp, CWnd::FromHandle(foreign)) << "one temporary per window until the next purge";
    EXPECT_TRUE(CWnd::FromHandlePermanent(foreign) == nullptr);
    EXPECT_TRUE(CWnd::FromHandle(nullptr) == nullptr);

    AfxPurgeTemporaryObjects();
    EXPECT_TRUE(IsWindow(foreign)) << "purging a temporary destroyed its window";
    EXPECT_TRUE(CWnd::FromHandlePermanent(foreign) == nullptr);
    EXPECT_TRUE(IsWindow(own));
    DestroyWindow(foreign);
    own.DestroyWindow();
}

// A window that frees itself in PostNcDestroy. Its storage is poisoned on delete and kept, so a
// write by the framework into the dead object shows, and a virtual call through it crashes.
constexpr unsigned kAlive = 0xA11FEu;
constexpr unsigned char kPoison = 0xDD;
alignas(16) unsigned char g_slot[512];
bool g_slotUsed = false;

int g_postNcDestroyCalls = 0;
std::vector<int> g_depthAtPostNcDestroy;  // WindowProc calls of the object still running
int g_windowProcDepth = 0;
bool g_deleted = false;
std::vector<std::string> g_seenInHandlers;

enum : UINT { WM_NESTED_DESTROY = WM_APP + 10, WM_DESTROY_NOW, WM_DELETE_NOW, WM_NESTED_DELETE };

class CSelfDeletingWnd : public CWnd {
public:
    static void* operator new(size_t size)
    {
        if (g_slotUsed || size > sizeof(g_slot))
            throw std::bad_alloc();
        g_slotUsed = true;
        return g_slot;
    }
    static void operator delete(void* p)
    {
        std::memset(p, kPoison, sizeof(CSelfDeletingWnd));
        g_deleted = true;
    }

    ~CSelfDeletingWnd() override { m_canary = 0; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        ++g_windowProcDepth;
        const LRESULT r = CWnd::WindowProc(message, wParam, lParam);  // may have deleted this
        --g_windowProcDepth;
        return r;
    }
    void PostNcDestroy() override
    {
        ++g_postNcDestroyCalls;
        g_depthAtPostNcDestroy.push_back(g_windowProcDepth);
        delete this;
    }

    unsigned m_canary = kAlive;

protected:
    LRESULT OnNestedDestroy(WPARAM, LPARAM)
    {
        ::SendMessageA(m_hWnd, WM_DESTROY_NOW, 0, 0);
        g_seenInHandlers.push_back("outer: PostNcDestroy " + std::to_string(g_postNcDestroyCalls) +
                                   (m_canary == kAlive ? ", alive" : ", dead"));
        return 5;
    }
    LRESULT OnDestroyNow(WPARAM, LPARAM)
    {
        HWND hwnd = m_hWnd;
        DestroyWindow();
        g_seenInHandlers.push_back("inner: PostNcDestroy " + std::to_string(g_postNcDestroyCalls) +
                                   (::IsWindow(hwnd) ? ", window" : ", no window"));
        return 6;
    }
    LRESULT OnDeleteNow(WPARAM, LPARAM)
    {
        delete this;
        return 7;
    }
    LRESULT OnNestedDelete(WPARAM, LPARAM)
    {
        HWND hwnd = m_hWnd;  // this is gone after the call
        ::SendMessageA(hwnd, WM_DELETE_NOW, 0, 0);
        g_seenInHandlers.push_back(::IsWindow(hwnd) ? "outer: window" : "outer: no window");
        return 8;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSelfDeletingWnd, CWnd)
    ON_MESSAGE(WM_NESTED_DESTROY, &CSelfDeletingWnd::OnNestedDestroy)
    ON_MESSAGE(WM_DESTROY_NOW, &CSelfDeletingWnd::OnDestroyNow)
    ON_MESSAGE(WM_DELETE_NOW, &CSelfDeletingWnd::OnDeleteNow)
    ON_MESSAGE(WM_NESTED_DELETE, &CSelfDeletingWnd::OnNestedDelete)
END_MESSAGE_MAP()

bool SlotStillPoisoned()
{
    for (size_t i = 0; i < sizeof(CSelfDeletingWnd); ++i) {
        if (g_slot[i] != kPoison)
            return false;
    }
    return true;
}

TEST(FrameworkLifetimeTest, SelfDeletingWindowIsFreedOnceAfterItsOutermostMessage)
{
    struct Case {
        const char* name;
        std::function<LRESULT(HWND)> act;
        LRESULT result;
        int postNcDestroyCalls;
        const char* seenInHandlers;
    } cases[] = {
        {"DestroyWindow inside a nested message", [](HWND h) { return SendMessageA(h, WM_NESTED_DESTROY, 0, 0); }, 5, 1,
         "inner: PostNcDestroy 0, no window, outer: PostNcDestroy 0, alive"},
        {"DestroyWindow inside its own message", [](HWND h) { return SendMessageA(h, WM_DESTROY_NOW, 0, 0); }, 6, 1,
         "inner: PostNcDestroy 0, no window"},
        {"DestroyWindow from outside", [](HWND h) { return LRESULT(DestroyWindow(h)); }, TRUE, 1, ""},
        {"delete this while the window lives", [](HWND h) { return SendMessageA(h, WM_DELETE_NOW, 0, 0); }, 7, 0, ""},
        {"delete this inside a nested message", [](HWND h) { return SendMessageA(h, WM_NESTED_DELETE, 0, 0); }, 8, 0,
         "outer: no window"},
    };
    for (const Case& c : cases) {
        g_postNcDestroyCalls = 0;
        g_depthAtPostNcDestroy.clear();
        g_deleted = false;
        g_seenInHandlers.clear();
        CSelfDeletingWnd* wnd = new CSelfDeletingWnd;
        ASSERT_TRUE(CreateTestWindow(*wnd)) << c.name;
        HWND hwnd = wnd->m_hWnd;

        const LRESULT result = c.act(hwnd);

        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_TRUE(g_deleted) << c.name << ": object not deleted";
        EXPECT_FALSE(IsWindow(hwnd)) << c.name << ": window still there";
        EXPECT_EQ(c.postNcDestroyCalls, g_postNcDestroyCalls) << c.name;
        for (int depth : g_depthAtPostNcDestroy)
            EXPECT_EQ(0, depth) << c.name << ": PostNcDestroy ran inside a message of the window";
        EXPECT_EQ(c.seenInHandlers, Join(g_seenInHandlers)) << c.name;
        EXPECT_TRUE(SlotStillPoisoned()) << c.name << ": the deleted object was written to";
        EXPECT_TRUE(CWnd::FromHandlePermanent(hwnd) == nullptr) << c.name;
        EXPECT_EQ(0, AfxDispatchDepth()) << c.name;
        g_slotUsed = false;
    }
}

enum : UINT { WM_THROW_FRAMEWORK = WM_APP + 20, WM_THROW_STD, WM_THROW_INT, WM_THROW_NESTED, WM_ANSWER };

class CThrowingWnd : public CWnd {
protected:
    LRESULT OnThrowFramework(WPARAM, LPARAM) { AfxThrowInvalidArgException(); }
    LRESULT OnThrowStd(WPARAM, LPARAM) { throw std::runtime_error("broken handler"); }
    LRESULT OnThrowInt(WPARAM, LPARAM) { throw 42; }
    LRESULT OnThrowNested(WPARAM, LPARAM)
    {
        const LRESULT inner = ::SendMessageA(m_hWnd, WM_THROW_STD, 0, 0);
        return inner + 9;
    }
    LRESULT OnAnswer(WPARAM, LPARAM) { return 42; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CThrowingWnd, CWnd)
    ON_MESSAGE(WM_THROW_FRAMEWORK, &CThrowingWnd::OnThrowFramework)
    ON_MESSAGE(WM_THROW_STD, &CThrowingWnd::OnThrowStd)
    ON_MESSAGE(WM_THROW_INT, &CThrowingWnd::OnThrowInt)
    ON_MESSAGE(WM_THROW_NESTED, &CThrowingWnd::OnThrowNested)
    ON_MESSAGE(WM_ANSWER, &CThrowingWnd::OnAnswer)
END_MESSAGE_MAP()

TEST(FrameworkExceptionTest, HandlerExceptionsStopAtTheWindowProcedure)
{
    CThrowingWnd wnd;
    ASSERT_TRUE(CreateTestWindow(wnd));
    struct Case {
        const char* name;
        UINT message;
        LRESULT result;
        const char* trace;
    } cases[] = {
        {"framework exception", WM_THROW_FRAMEWORK, 0, "exception stopped in window procedure: invalid argument\n"},
        {"std::runtime_error", WM_THROW_STD, 0, "exception stopped in window procedure: broken handler\n"},
        {"int", WM_THROW_INT, 0, "exception stopped in window procedure: unknown exception\n"},
        {"thrown in a nested message", WM_THROW_NESTED, 9, "exception stopped in window procedure: broken handler\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        const LRESULT result = SendMessageA(wnd, c.message, 0, 0);
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(c.trace, trace) << c.name;
        EXPECT_EQ(0, AfxDispatchDepth()) << c.name;
        EXPECT_EQ(42, SendMessageA(wnd, WM_ANSWER, 0, 0)) << c.name << ": the window stopped answering";
    }
    wnd.DestroyWindow();
}

BOOL CALLBACK ThrowingEnumProc(HWND, LPARAM lParam)
{
    return AfxCallGuarded("EnumWindows callback", FALSE, [&]() -> BOOL {
        ++*reinterpret_cast<int*>(lParam);
        throw std::runtime_error("enum failed");
    });
}

TEST(FrameworkExceptionTest, GuardedEnumCallbackStopsTheEnumeration)
{
    int calls = 0;
    testing::internal::CaptureStdout();
    const BOOL finished = EnumWindows(&ThrowingEnumProc, reinterpret_cast<LPARAM>(&calls));
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(finished);
    EXPECT_EQ(1, calls) << "the fallback FALSE should end the enumeration";
    EXPECT_EQ("exception stopped in EnumWindows callback: enum failed\n", trace);
}

}  // namespace
