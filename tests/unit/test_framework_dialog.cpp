// CDialog: modeless Create, modal DoModal with its owner disabled, nested modal dialogs,
// PreTranslateMessage order in the modal loop, failing templates and a throwing OnInitDialog.
#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "test_framework_dialog.h"

namespace {

// Destroys every dialog of the thread if a test has not ended its own in time, so a broken modal
// loop fails the test instead of hanging it.
class ModalWatchdog {
public:
    ModalWatchdog() : m_timer(SetTimer(nullptr, 0, 10000, &Fire)) { s_fired = false; }
    ~ModalWatchdog() { KillTimer(nullptr, m_timer); }
    static bool Fired() { return s_fired; }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD)
    {
        s_fired = true;
        EnumThreadWindows(GetCurrentThreadId(), &Destroy, 0);
    }
    static BOOL CALLBACK Destroy(HWND hwnd, LPARAM)
    {
        char name[16] = {};
        GetClassNameA(hwnd, name, sizeof name);
        if (std::strcmp(name, "#32770") == 0)
            DestroyWindow(hwnd);
        return TRUE;
    }
    static bool s_fired;
    UINT_PTR m_timer;
};
bool ModalWatchdog::s_fired = false;

enum : UINT { WM_STEP = WM_APP + 1 };

std::vector<std::string> g_order;  // PreTranslateMessage and IsDialogMessage traffic for one key

bool IsTestKey(const MSG* msg)
{
    return msg->message == WM_KEYDOWN && msg->wParam == VK_F2;
}

class COwnerWnd : public CWnd {
public:
    BOOL Create()
    {
        static const char* const className = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = &::DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "KvFrameworkTestOwner";
            RegisterClassA(&wc);
            return wc.lpszClassName;
        }();
        return CreateEx(0, className, "owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0);
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (IsTestKey(msg))
            g_order.push_back("owner PreTranslateMessage");
        return FALSE;
    }
};

// A dialog run by a script: m_onInit from OnInitDialog, m_onStep from a posted WM_STEP.
class CScriptDlg : public CDialog {
public:
    explicit CScriptDlg(CWnd* parent = nullptr, UINT templateId = IDD_FW_PLAIN) : CDialog(templateId, parent) {}

    std::function<void(CScriptDlg&)> m_onInit;
    std::function<void(CScriptDlg&)> m_onStep;
    std::vector<UINT> m_seen;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_seen.push_back(message);
        return CDialog::WindowProc(message, wParam, lParam);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (m_onInit)
            m_onInit(*this);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (IsTestKey(msg))
            g_order.push_back("dialog PreTranslateMessage");
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    LRESULT OnStep(WPARAM, LPARAM)
    {
        if (m_onStep)
            m_onStep(*this);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CScriptDlg, CDialog)
    ON_MESSAGE(WM_STEP, &CScriptDlg::OnStep)
END_MESSAGE_MAP()

class CRecordingEdit : public CEdit {
public:
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (IsTestKey(msg))
            g_order.push_back("edit PreTranslateMessage");
        return FALSE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        // IsDialogMessage asks the control for its dialog code before it dispatches the key.
        if (message == WM_GETDLGCODE && wParam == VK_F2)
            g_order.push_back("edit WM_GETDLGCODE");
        if (message == WM_KEYDOWN && wParam == VK_F2)
            g_order.push_back("edit WM_KEYDOWN");
        return CEdit::WindowProc(message, wParam, lParam);
    }
};

std::string State(const CWnd& wnd)
{
    return wnd.IsWindowEnabled() ? "enabled" : "disabled";
}

TEST(FrameworkDialogTest, ModelessCreateRoutesInitDialogThroughWindowProc)
{
    COwnerWnd owner;
    ASSERT_TRUE(owner.Create());
    CScriptDlg dlg;
    bool initialised = false;
    dlg.m_onInit = [&](CScriptDlg&) { initialised = true; };

    ASSERT_TRUE(dlg.Create(IDD_FW_PLAIN, &owner));
    EXPECT_TRUE(initialised);
    EXPECT_EQ(&dlg, CWnd::FromHandlePermanent(dlg));
    EXPECT_TRUE(GetWindow(dlg, GW_OWNER) == owner.m_hWnd);
    EXPECT_TRUE(owner.IsWindowEnabled()) << "a modeless dialog disabled its owner";
    const auto nccreate = std::find(dlg.m_seen.begin(), dlg.m_seen.end(), UINT(WM_NCCREATE));
    const auto initDialog = std::find(dlg.m_seen.begin(), dlg.m_seen.end(), UINT(WM_INITDIALOG));
    EXPECT_TRUE(nccreate != dlg.m_seen.end()) << "WindowProc never saw WM_NCCREATE";
    EXPECT_TRUE(initDialog != dlg.m_seen.end()) << "WindowProc never saw WM_INITDIALOG";
    EXPECT_TRUE(nccreate < initDialog);

    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_TRUE(dlg.m_hWnd == nullptr);
    owner.DestroyWindow();
}

TEST(FrameworkDialogTest, DoModalDisablesTheOwnerForItsDuration)
{
    struct Case {
        const char* name;
        bool ownerEnabledBefore;
    } cases[] = {
        {"enabled owner is enabled again", true},
        {"disabled owner stays disabled", false},
    };
    for (const Case& c : cases) {
        ModalWatchdog watchdog;
        COwnerWnd owner;
        ASSERT_TRUE(owner.Create()) << c.name;
        owner.EnableWindow(c.ownerEnabledBefore);
        CScriptDlg dlg(&owner);
        bool enabledInInit = true;
        bool enabledInLoop = true;
        dlg.m_onInit = [&](CScriptDlg& d) {
            enabledInInit = owner.IsWindowEnabled() != FALSE;
            d.PostMessage(WM_STEP);
        };
        dlg.m_onStep = [&](CScriptDlg& d) {
            enabledInLoop = owner.IsWindowEnabled() != FALSE;
            d.EndDialog(1234);
        };

        EXPECT_EQ(1234, dlg.DoModal()) << c.name;
        EXPECT_FALSE(watchdog.Fired()) << c.name;
        EXPECT_FALSE(enabledInInit) << c.name << ": owner enabled in OnInitDialog";
        EXPECT_FALSE(enabledInLoop) << c.name << ": owner enabled while the dialog ran";
        EXPECT_EQ(c.ownerEnabledBefore, owner.IsWindowEnabled() != FALSE) << c.name;
        EXPECT_TRUE(dlg.m_hWnd == nullptr) << c.name << ": dialog window left behind";
        owner.DestroyWindow();
    }
}

TEST(FrameworkDialogTest, DoModalReturnsHowTheDialogWasEnded)
{
    const auto postKey = [](WPARAM vk) {
        return [vk](CScriptDlg& d) { PostMessageA(GetDlgItem(d, IDC_FW_EDIT), WM_KEYDOWN, vk, 1); };
    };
    struct Case {
        const char* name;
        std::function<void(CScriptDlg&)> onInit;
        INT_PTR result;
        bool shown;
    } cases[] = {
        {"EndDialog in OnInitDialog", [](CScriptDlg& d) { d.EndDialog(7); }, 7, false},
        {"WM_CLOSE", [](CScriptDlg& d) { d.PostMessage(WM_CLOSE); }, IDCANCEL, true},
        {"Esc in the edit", postKey(VK_ESCAPE), IDCANCEL, true},
        {"Enter in the edit", postKey(VK_RETURN), IDOK, true},
    };
    for (const Case& c : cases) {
        ModalWatchdog watchdog;
        CScriptDlg dlg;
        dlg.m_onInit = c.onInit;
        EXPECT_EQ(c.result, dlg.DoModal()) << c.name;
        EXPECT_FALSE(watchdog.Fired()) << c.name;
        const bool shown = std::find(dlg.m_seen.begin(), dlg.m_seen.end(), UINT(WM_SHOWWINDOW)) != dlg.m_seen.end();
        EXPECT_EQ(c.shown, shown) << c.name;
    }
}

TEST(FrameworkDialogTest, ModalDialogsNest)
{
    ModalWatchdog watchdog;
    COwnerWnd owner;
    ASSERT_TRUE(owner.Create());
    CScriptDlg outer(&owner);
    std::vector<std::string> events;
    outer.m_onInit = [](CScriptDlg& d) { d.PostMessage(WM_STEP); };
    outer.m_onStep = [&](CScriptDlg& d) {
        CScriptDlg inner(&d);
        inner.m_onInit = [](CScriptDlg& i) { i.PostMessage(WM_STEP); };
        inner.m_onStep = [&](CScriptDlg& i) {
            events.push_back("inner runs, outer " + State(d) + ", owner " + State(owner));
            i.EndDialog(22);
        };
        const INT_PTR innerResult = inner.DoModal();
        events.push_back("inner returned " + std::to_string(innerResult) + ", outer " + State(d) + ", owner " +
                         State(owner));
        d.EndDialog(11);
    };

    EXPECT_EQ(11, outer.DoModal());
    events.push_back("outer returned");
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(
        "inner runs, outer disabled, owner disabled, inner returned 22, outer enabled, owner disabled, "
        "outer returned",
        Join(events));
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

// The program's exit ends its main dialog while a settings dialog runs inside it.
TEST(FrameworkDialogTest, EndingAnOuterModalDialogCancelsTheInnerOne)
{
    ModalWatchdog watchdog;
    COwnerWnd owner;
    ASSERT_TRUE(owner.Create());
    CScriptDlg outer(&owner);
    std::vector<std::string> events;
    outer.m_onInit = [](CScriptDlg& d) { d.PostMessage(WM_STEP); };
    outer.m_onStep = [&](CScriptDlg& d) {
        CScriptDlg inner(&d);
        inner.m_onInit = [](CScriptDlg& i) { i.PostMessage(WM_STEP); };
        inner.m_onStep = [&](CScriptDlg&) { d.EndDialog(11); };
        events.push_back("inner returned " + std::to_string(inner.DoModal()));
    };

    EXPECT_EQ(11, outer.DoModal());
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ("inner returned " + std::to_string(IDCANCEL), Join(events));
    EXPECT_TRUE(owner.IsWindowEnabled());
    owner.DestroyWindow();
}

// The exit ends the main dialog while a message box is open inside it, in it or in a dialog inside
// it, or while it initialises: the box goes with it and answers the choice that acts on nothing.
TEST(FrameworkDialogTest, EndingAnOuterModalDialogEndsTheBoxesOpenedInsideIt)
{
    struct Case {
        const char* name;
        bool inInner;  // the box belongs to a dialog run inside the outer one
        bool atInit;   // the box is shown from the outer dialog's OnInitDialog
        UINT type;
        int answer;
    } cases[] = {
        {"OK box", false, false, MB_OK | MB_ICONEXCLAMATION, IDOK},
        {"Yes/No box", false, false, MB_YESNO, IDNO},
        {"OK/Cancel box", false, false, MB_OKCANCEL, IDCANCEL},
        {"box of an inner dialog", true, false, MB_YESNO, IDNO},
        {"box while initialising", false, true, MB_OK, IDOK},
    };
    for (const Case& c : cases) {
        ModalWatchdog watchdog;
        COwnerWnd owner;
        ASSERT_TRUE(owner.Create()) << c.name;
        CScriptDlg outer(&owner);
        std::vector<std::string> events;
        bool ending = false;
        // The box's own loop delivers the step that ends the outer dialog.
        auto showBox = [&](CWnd& boxOwner) {
            ending = true;
            outer.PostMessage(WM_STEP);
            events.push_back("box " + std::to_string(boxOwner.MessageBox("box", "test", c.type)));
        };
        outer.m_onInit = [&](CScriptDlg& d) {
            if (c.atInit)
                showBox(d);
            else
                d.PostMessage(WM_STEP);
        };
        outer.m_onStep = [&](CScriptDlg& d) {
            if (ending) {
                d.EndDialog(11);
                return;
            }
            if (!c.inInner) {
                showBox(d);
                return;
            }
            CScriptDlg inner(&d);
            inner.m_onInit = [&](CScriptDlg& i) { i.PostMessage(WM_STEP); };
            inner.m_onStep = [&](CScriptDlg& i) { showBox(i); };
            events.push_back("inner " + std::to_string(inner.DoModal()));
        };

        EXPECT_EQ(11, outer.DoModal()) << c.name;
        EXPECT_FALSE(watchdog.Fired()) << c.name << ": the box stayed open";
        std::string expected = "box " + std::to_string(c.answer);
        if (c.inInner)
            expected += ", inner " + std::to_string(IDCANCEL);
        EXPECT_EQ(expected, Join(events)) << c.name;
        EXPECT_TRUE(owner.IsWindowEnabled()) << c.name;
        owner.DestroyWindow();
    }
}

TEST(FrameworkDialogTest, PreTranslateMessageRunsFromTargetToDialogBeforeIsDialogMessage)
{
    ModalWatchdog watchdog;
    COwnerWnd owner;
    ASSERT_TRUE(owner.Create());
    CScriptDlg dlg(&owner);
    CRecordingEdit edit;
    g_order.clear();
    dlg.m_onInit = [&](CScriptDlg& d) {
        ASSERT_TRUE(edit.SubclassDlgItem(IDC_FW_EDIT, &d));
        edit.PostMessage(WM_KEYDOWN, VK_F2, 1);
        d.PostMessage(WM_STEP);  // after the key in the queue
    };
    dlg.m_onStep = [](CScriptDlg& d) { d.EndDialog(IDOK); };

    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ("edit PreTranslateMessage, dialog PreTranslateMessage, edit WM_GETDLGCODE, edit WM_KEYDOWN",
              Join(g_order));
    owner.DestroyWindow();
}

TEST(FrameworkDialogTest, DoModalReturnsMinusOneWhenTheTemplateFails)
{
    struct Case {
        const char* name;
        UINT templateId;
    } cases[] = {
        {"no such template", 4242},
        {"control of an unregistered class", IDD_FW_BROKEN},
    };
    for (const Case& c : cases) {
        ModalWatchdog watchdog;
        COwnerWnd owner;
        ASSERT_TRUE(owner.Create()) << c.name;
        CScriptDlg dlg(&owner, c.templateId);
        EXPECT_EQ(-1, dlg.DoModal()) << c.name;
        EXPECT_FALSE(watchdog.Fired()) << c.name;
        EXPECT_TRUE(owner.IsWindowEnabled()) << c.name << ": owner left disabled";
        EXPECT_TRUE(dlg.m_hWnd == nullptr) << c.name;
        owner.DestroyWindow();
    }
}

TEST(FrameworkDialogTest, ThrowingOnInitDialogIsStoppedAndTheDialogRunsOn)
{
    ModalWatchdog watchdog;
    CScriptDlg dlg;
    dlg.m_onInit = [](CScriptDlg& d) {
        d.PostMessage(WM_STEP);
        throw std::runtime_error("init failed");
    };
    dlg.m_onStep = [](CScriptDlg& d) { d.EndDialog(5); };

    testing::internal::CaptureStdout();
    const INT_PTR result = dlg.DoModal();
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(5, result);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ("exception stopped in OnInitDialog: init failed\n", trace);
}

}  // namespace
