// Dialog data exchange both ways through UpdateData, validation failures and AfxParseInt.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Guard.h"
#include "tests/unit/support/box_closer.h"
#include "test_framework_ddx.h"

namespace {

const char kBadNumberText[] = "整数を入力してください。";

class CDdxDlg : public CDialog {
public:
    CDdxDlg() : CDialog(IDD_FW_DDX) {}

    CString m_name;
    int m_count = 0;
    int m_enabled = 0;
    int m_align = -1;
    CEdit m_nameEdit;

    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDC_FW_NAME, m_nameEdit);
        DDX_Text(dx, IDC_FW_NAME, m_name);
        DDX_Text(dx, IDC_FW_COUNT, m_count);
        DDX_Check(dx, IDC_FW_ENABLED, m_enabled);
        DDX_Radio(dx, IDC_FW_LEFT, m_align);
    }
};

std::string Text(const CWnd& dlg, int id)
{
    CString text;
    dlg.GetDlgItemText(id, text);
    return std::string(text);
}

std::string Checks(const CWnd& dlg)
{
    std::string out;
    for (int id : {IDC_FW_LEFT, IDC_FW_CENTER, IDC_FW_RIGHT, IDC_FW_OTHER})
        out += dlg.IsDlgButtonChecked(id) == BST_CHECKED ? '1' : '0';
    return out;
}

TEST(FrameworkDdxTest, UpdateDataFalseMovesFieldsToControls)
{
    CDdxDlg dlg;
    dlg.m_name = "表示テスト";
    dlg.m_count = -42;
    dlg.m_enabled = BST_CHECKED;
    dlg.m_align = 2;
    ASSERT_TRUE(dlg.Create(IDD_FW_DDX));  // OnInitDialog runs UpdateData(FALSE)

    struct Case {
        const char* name;
        std::string got;
        std::string expected;
    } cases[] = {
        {"DDX_Text CString", Text(dlg, IDC_FW_NAME), "表示テスト"},
        {"DDX_Text int", Text(dlg, IDC_FW_COUNT), "-42"},
        {"DDX_Check", std::to_string(dlg.IsDlgButtonChecked(IDC_FW_ENABLED)), "1"},
        {"DDX_Radio checks only the third of its group", Checks(dlg), "0010"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.got) << c.name;
    EXPECT_TRUE(dlg.m_nameEdit.m_hWnd == GetDlgItem(dlg, IDC_FW_NAME)) << "DDX_Control did not bind";
    EXPECT_EQ(&dlg.m_nameEdit, CWnd::FromHandlePermanent(GetDlgItem(dlg, IDC_FW_NAME)));

    dlg.m_align = -1;
    dlg.UpdateData(FALSE);
    EXPECT_EQ("0000", Checks(dlg)) << "DDX_Radio -1 clears the group";
    dlg.DestroyWindow();
}

TEST(FrameworkDdxTest, UpdateDataTrueMovesControlsToFields)
{
    CDdxDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_FW_DDX));
    dlg.SetDlgItemText(IDC_FW_NAME, "ソ\\表示");
    dlg.SetDlgItemText(IDC_FW_COUNT, " 17 ");
    dlg.CheckDlgButton(IDC_FW_ENABLED, BST_CHECKED);
    dlg.CheckDlgButton(IDC_FW_CENTER, BST_CHECKED);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_STREQ("ソ\\表示", dlg.m_name);
    EXPECT_EQ(17, dlg.m_count);
    EXPECT_EQ(BST_CHECKED, dlg.m_enabled);
    EXPECT_EQ(1, dlg.m_align);

    struct Case {
        const char* name;
        int checked;  // 0 for none
        int expected;
    } cases[] = {
        {"first button", IDC_FW_LEFT, 0},
        {"last button", IDC_FW_RIGHT, 2},
        {"no button", 0, -1},
        {"only a button of the next group", IDC_FW_OTHER, -1},
    };
    for (const Case& c : cases) {
        for (int id : {IDC_FW_LEFT, IDC_FW_CENTER, IDC_FW_RIGHT, IDC_FW_OTHER})
            dlg.CheckDlgButton(id, id == c.checked ? BST_CHECKED : BST_UNCHECKED);
        dlg.m_align = 99;
        EXPECT_TRUE(dlg.UpdateData(TRUE)) << c.name;
        EXPECT_EQ(c.expected, dlg.m_align) << c.name;
    }
    dlg.DestroyWindow();
}

TEST(FrameworkDdxTest, DdxControlBindsInEitherDirection)
{
    CDdxDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_FW_DDX));
    CEdit count;
    CButton check;
    CEdit intruder;
    struct Case {
        const char* name;
        BOOL saveAndValidate;
        int id;
        CWnd* control;
        bool ok;
    } cases[] = {
        {"load direction", FALSE, IDC_FW_COUNT, &count, true},
        {"save direction", TRUE, IDC_FW_ENABLED, &check, true},
        {"object already bound", TRUE, IDC_FW_ENABLED, &check, true},
        {"control bound to another object", FALSE, IDC_FW_NAME, &intruder, false},
        {"no such control", FALSE, 4242, &intruder, false},
    };
    for (const Case& c : cases) {
        CDataExchange dx(&dlg, c.saveAndValidate);
        bool ok = true;
        testing::internal::CaptureStdout();  // the missing control is traced
        try {
            DDX_Control(&dx, c.id, *c.control);
        } catch (const CUserException&) {
            ok = false;
        }
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.ok, ok) << c.name;
        if (c.ok) {
            EXPECT_TRUE(c.control->m_hWnd == GetDlgItem(dlg, c.id)) << c.name;
            EXPECT_EQ(c.control, CWnd::FromHandlePermanent(c.control->m_hWnd)) << c.name;
        }
    }
    EXPECT_TRUE(intruder.m_hWnd == nullptr);
    EXPECT_EQ(&dlg.m_nameEdit, CWnd::FromHandlePermanent(GetDlgItem(dlg, IDC_FW_NAME)));
    dlg.DestroyWindow();
}

TEST(FrameworkDdxTest, InvalidIntegerFailsAndKeepsTheField)
{
    CDdxDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_FW_DDX));
    dlg.ShowWindow(SW_SHOW);
    dlg.SetForegroundWindow();
    const std::string blanks(70, ' ');

    struct Case {
        const char* name;
        std::string text;
        bool valid;
        int expected;
    } cases[] = {
        {"number with blanks", " 17 ", true, 17},
        {"smallest int", "-2147483648", true, INT_MIN},
        {"number after a long run of blanks", blanks + "7", true, 7},
        {"trailing junk", "12x", false, 0},
        {"empty", "", false, 0},
        {"overflow", "99999999999", false, 0},
        {"junk after a long run of blanks", "5" + blanks + "x", false, 0},
    };
    for (const Case& c : cases) {
        dlg.SetDlgItemText(IDC_FW_COUNT, c.text.c_str());
        dlg.m_count = 555;
        MessageBoxCloser closer(dlg, kBadNumberText);

        const BOOL ok = dlg.UpdateData(TRUE);

        EXPECT_EQ(c.valid, ok != FALSE) << c.name;
        EXPECT_EQ(c.valid ? c.expected : 555, dlg.m_count) << c.name;
        EXPECT_EQ(c.valid ? 0 : 1, MessageBoxCloser::Boxes()) << c.name;
        EXPECT_EQ(c.valid ? 0 : 1, MessageBoxCloser::BoxesWithText()) << c.name;
        if (!c.valid) {
            EXPECT_TRUE(GetFocus() == GetDlgItem(dlg, IDC_FW_COUNT)) << c.name << ": focus not on the field";
        }
    }
    dlg.DestroyWindow();
}

TEST(FrameworkDdxTest, AfxParseIntAcceptsOnlyAWholeDecimalInt)
{
    struct Case {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"  42  ", true, 42},
        {"\t-7\t", true, -7},
        {"+5", true, 5},
        {"-0", true, 0},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"12x", false, 0},
        {"x12", false, 0},
        {"1 2", false, 0},
        {"- 5", false, 0},
        {"--5", false, 0},
        {"0x10", false, 0},
        {"1.5", false, 0},
        {"１２", false, 0},  // full-width digits
    };
    for (const Case& c : cases) {
        int value = 12345;
        const BOOL ok = AfxParseInt(c.text, &value);
        EXPECT_EQ(c.ok, ok != FALSE) << '"' << c.text << '"';
        EXPECT_EQ(c.ok ? c.value : 12345, value) << '"' << c.text << "\": failure must leave the value";
    }
}

}  // namespace
