// Reading an up-down control back: the buddy's text decides, else the control's last position.
#include <gtest/gtest.h>

#include <climits>

#include "framework/Controls.h"
#include "framework/SpinValue.h"

namespace {

TEST(FrameworkSpinTest, TextOutsideTheRangeOrNotADecimalKeepsThePreviousValue)
{
    struct Case {
        const char* text;
        int previous;
        int lower;
        int upper;
        int expected;
    } cases[] = {
        {"80", 50, 20, 100, 80},
        {"20", 50, 20, 100, 20},
        {"100", 50, 20, 100, 100},
        {" 75 ", 50, 20, 100, 75},
        {"080", 50, 20, 100, 80},
        {"", 50, 20, 100, 50},
        {"   ", 50, 20, 100, 50},
        {"300", 50, 20, 100, 50},
        {"19", 50, 20, 100, 50},
        {"0", 50, 20, 100, 50},
        {"-30", 50, 20, 100, 50},
        {"abc", 50, 20, 100, 50},
        {"8a", 50, 20, 100, 50},
        {"1,000", 30, 10, 1800, 30},
        {"5000", 30, 10, 1800, 30},
        {"99999999999999999999", 30, 10, 1800, 30},
        {"2147483648", 30, 10, 1800, 30},
        {"８０", 50, 20, 100, 50},
        {nullptr, 50, 20, 100, 50},
        // A stale previous value is clamped, never handed back out of range.
        {"", 0, 10, 1800, 10},
        {"abc", 5000, 10, 1800, 1800},
        {"", INT_MIN, 10, 1800, 10},
        // A range given upside down is still a range.
        {"50", 30, 100, 20, 50},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, SpinValueFromText(c.text, c.previous, c.lower, c.upper))
            << '"' << (c.text ? c.text : "(null)") << "\" previous " << c.previous << " range " << c.lower << ".."
            << c.upper;
    }
}

// An edit with an auto-buddied up-down in the settings dialogs' style, on a framework window as
// the dialogs are, which hears the control's scroll notices.
class FrameworkSpinCtrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&icc);
        static const char* const className = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = &::DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "KvSpinTestParent";
            RegisterClassA(&wc);
            return wc.lpszClassName;
        }();
        ASSERT_TRUE(m_parentWnd.CreateEx(0, className, "", WS_POPUP, CRect(0, 0, 200, 100), nullptr, 0));
        m_parent = m_parentWnd.m_hWnd;
        m_edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 60, 20, m_parent,
                                 reinterpret_cast<HMENU>(1026), nullptr, nullptr);
        HWND spin = CreateWindowExA(
            0, UPDOWN_CLASSA, "",
            WS_CHILD | UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 10, 20,
            m_parent, reinterpret_cast<HMENU>(1027), nullptr, nullptr);
        ASSERT_TRUE(m_spin.SubclassWindow(spin));
    }
    void TearDown() override
    {
        m_spin.UnsubclassWindow();
        m_parentWnd.DestroyWindow();
    }
    // The arrow keys in the buddy, as the user steps the control: positive up, negative down.
    void Step(int steps)
    {
        for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) {
            const WPARAM key = steps < 0 ? VK_DOWN : VK_UP;
            SendMessageA(m_edit, WM_KEYDOWN, key, 1);
            SendMessageA(m_edit, WM_KEYUP, key, 0xC0000001);
        }
    }
    CWnd m_parentWnd;
    HWND m_parent = nullptr;
    HWND m_edit = nullptr;
    CSpinButtonCtrl m_spin;
};

TEST_F(FrameworkSpinCtrlTest, ReadValueTakesTheBuddyTextAndKeepsTheLastPositionForBadText)
{
    ASSERT_EQ(m_edit, m_spin.GetBuddy());
    struct Case {
        int lower;
        int upper;
        int pos;
        int steps;          // arrow steps after the position is set
        const char* typed;  // null: leave the text the spin wrote
        int expected;
    } cases[] = {
        {20, 100, 80, 0, nullptr, 80},
        {20, 100, 80, 0, "45", 45},
        // UDM_GETPOS reads an empty buddy as 0 with no error when 0 is in range: the last position stands.
        {0, 100, 80, 0, "", 80},
        {20, 100, 80, 0, "", 80},
        {20, 100, 80, 0, "300", 80},
        {20, 100, 80, 0, "abc", 80},
        {10, 1800, 30, 0, "1,000", 30},
        {10, 1800, 30, 0, "5000", 30},
        {10, 1800, 30, 0, "1800", 1800},
        // Bad text after the arrows keeps where the arrows went, not the position first set.
        {1, 50, 16, 4, "2x", 20},
        {0, 100, 16, 4, "", 20},
        {10, 1800, 30, -2, "1,000", 28},
        {20, 100, 98, 5, "abc", 100},
        {20, 100, 80, 3, nullptr, 83},
    };
    for (const Case& c : cases) {
        m_spin.SetRange32(c.lower, c.upper);
        m_spin.SetPos32(c.pos);
        Step(c.steps);
        if (c.typed)
            SetWindowTextA(m_edit, c.typed);
        EXPECT_EQ(c.expected, m_spin.ReadValue())
            << c.pos << " stepped " << c.steps << ", \"" << (c.typed ? c.typed : "(as set)") << '"';
    }
}

TEST_F(FrameworkSpinCtrlTest, PositionShowsInTheBuddy)
{
    m_spin.SetRange32(10, 1800);
    m_spin.SetPos32(30);
    char text[16] = "";
    GetWindowTextA(m_edit, text, sizeof(text));
    EXPECT_STREQ("30", text);
}

TEST_F(FrameworkSpinCtrlTest, RangeReadsBackAsSet)
{
    m_spin.SetRange32(10, 1800);
    int lower = 0;
    int upper = 0;
    m_spin.GetRange32(lower, upper);
    EXPECT_EQ(10, lower);
    EXPECT_EQ(1800, upper);
}

}  // namespace
