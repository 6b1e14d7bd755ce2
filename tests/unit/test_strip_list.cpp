// The control page's thumbnail list: the handle text, the move plan, the rows, the moves and the
// exclusion, on a real list view with thumbnails of this process's windows.
#include "strip/ControlDlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "strip/Thumbnail.h"
#include "strip/ProcessImagePath.h"
#include "strip/ThumbnailList.h"
#include "tests/unit/support/strip.h"
#include "tracking/LimitDlg.h"
#include "tracking/ProcessModule.h"

namespace {

TEST(ThumbnailList, HandleTextParsesOnlyWhatTheListWrites)
{
    struct Case {
        const char* text;
        LONG handle;  // the 32-bit handle value, widened with its sign; 0: no handle
    } cases[] = {
        {"0x0001002a", 0x1002a},
        {"0x80001234", static_cast<LONG>(0x80001234u)},
        {"0xffffffff", -1},
        {"0x2A", 0x2a},
        {"0x00000000", 0},
        {"0x", 0},
        {"", 0},
        {"0", 0},
        {"12345678", 0},
        {"0x1234567890", 0},
        {"0x12g4", 0},
        {"0x 12", 0},
        {"0x12 ", 0},
        {"-0x12", 0},
        {"abc", 0},
        {nullptr, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<INT_PTR>(c.handle), reinterpret_cast<INT_PTR>(ParseHandleText(c.text)))
            << '"' << (c.text ? c.text : "(null)") << '"';
    }
    EXPECT_STREQ("0x0001002a", HandleText(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1002a))).GetString());
    // A handle with bit 31 set finds its own row again.
    const HWND high = reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<LONG>(0x80001234u)));
    EXPECT_STREQ("0x80001234", HandleText(high).GetString());
    EXPECT_EQ(high, ParseHandleText(HandleText(high)));
}

std::string SwapsText(const std::vector<std::pair<int, int>>& swaps)
{
    std::string text;
    for (const auto& s : swaps)
        text += "(" + std::to_string(s.first) + "," + std::to_string(s.second) + ")";
    return text;
}

TEST(ThumbnailList, MovePlanPassesOverFreeSlotsAndStopsAtTheEnds)
{
    struct Case {
        const char* name;
        std::vector<int> used;
        int from;
        MoveKind kind;
        const char* swaps;
    } cases[] = {
        {"up across a free slot", {1, 0, 1}, 2, kMoveUp, "(2,0)"},
        {"first with slot 0 free", {0, 1, 1}, 2, kMoveFirst, "(2,1)"},
        {"first from the end", {1, 1, 1, 1}, 3, kMoveFirst, "(3,2)(2,1)(1,0)"},
        {"first over holes", {1, 0, 1, 0, 1}, 4, kMoveFirst, "(4,2)(2,0)"},
        {"first at the front", {1, 1}, 0, kMoveFirst, ""},
        {"up at the first used slot", {0, 1, 1}, 1, kMoveUp, ""},
        {"down at the last used slot", {1, 1, 0}, 1, kMoveDown, ""},
        {"last at the last used slot", {1, 1, 0, 0}, 1, kMoveLast, ""},
        {"down across a free slot", {1, 0, 1}, 0, kMoveDown, "(0,2)"},
        {"last from the front", {1, 1, 0, 1}, 0, kMoveLast, "(0,1)(1,3)"},
        {"from a free slot", {1, 0, 1}, 1, kMoveUp, ""},
        {"from outside the grid", {1, 1}, 5, kMoveFirst, ""},
        {"from a negative index", {1, 1}, -1, kMoveLast, ""},
        {"empty grid", {}, 0, kMoveFirst, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.swaps, SwapsText(PlanMove(c.used, c.from, c.kind))) << c.name;
}

// A list view of the page's shape, counting its rebuilds (LVM_DELETEALLITEMS).
int g_rebuilds = 0;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK CountingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LVM_DELETEALLITEMS)
        ++g_rebuilds;
    return CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
}

// Notes what the grid said about its slot when the thumbnail was destroyed.
class WatchedThumbnail : public Cthumbnail {
public:
    WatchedThumbnail(WindowEntry entry, RECT slot, CControlDlg* page, int index)
        : Cthumbnail(entry, slot, 255, page), m_page(page), m_index(index)
    {}
    BOOL DestroyWindow() override
    {
        if (m_index < static_cast<int>(m_page->m_slots.size()))
            s_slotUsedAtDestroy = m_page->m_slots[m_index].used;
        return Cthumbnail::DestroyWindow();
    }
    static int s_slotUsedAtDestroy;
    // Moves of a thumbnail while another still waited for its new slot, and moves in all.
    static int s_movedBeforeOthers;
    static int s_moves;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_WINDOWPOSCHANGED && !(reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_NOMOVE)) {
            ++s_moves;
            for (const ThumbSlot& slot : m_page->m_slots) {
                if (slot.used == 1 && slot.thumbnail != this && !EqualRect(&slot.thumbnail->m_rcSlot, &slot.rect)) {
                    ++s_movedBeforeOthers;
                    break;
                }
            }
        }
        return Cthumbnail::WindowProc(message, wParam, lParam);
    }

private:
    CControlDlg* m_page;
    int m_index;
};
int WatchedThumbnail::s_slotUsedAtDestroy = -1;
int WatchedThumbnail::s_movedBeforeOthers = 0;
int WatchedThumbnail::s_moves = 0;

int g_boxes = 0;

BOOL CALLBACK AnswerBox(HWND hwnd, LPARAM)
{
    char name[16] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    if (std::string(name) == "#32770" && IsWindowVisible(hwnd)) {
        ++g_boxes;
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), &AnswerBox, 0);
}

class ThumbnailListPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        m_host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        HWND list = CreateWindowExA(0, WC_LISTVIEWA, "",
                                    WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, 0,
                                    0, 380, 280, m_host, nullptr, nullptr, nullptr);
        g_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingListProc)));
        ASSERT_TRUE(m_page.m_list.SubclassWindow(list));
        m_page.m_list.InsertColumn(0, "Title");
        m_page.m_list.InsertColumn(1, "ProcessName");
        m_page.m_list.InsertColumn(2, "WinHandle");
        m_page.m_list.SetImageList(m_page.m_iconCache.m_imageList, LVSIL_SMALL);
        g_rebuilds = 0;
    }

    void TearDown() override
    {
        CloseThumbnails(m_page);
        for (HWND source : m_sources)
            DestroyWindow(source);
        m_sources.clear();
        m_page.m_list.UnsubclassWindow();
        DestroyWindow(m_host);
    }

    // A grid of slots 160 wide; a title per slot, null for a free one.
    void MakeGrid(const std::vector<const char*>& titles)
    {
        for (size_t i = 0; i < titles.size(); ++i) {
            ThumbSlot slot;
            slot.rect = {static_cast<LONG>(160 * i), 800, static_cast<LONG>(160 * i + 160), 920};
            if (titles[i]) {
                HWND source = CreateWindowExA(0, "STATIC", titles[i], WS_POPUP | WS_VISIBLE, 300, 300, 320, 240,
                                              nullptr, nullptr, nullptr, nullptr);
                m_sources.push_back(source);
                slot.used = 1;
                slot.entry = SourceEntry(source, titles[i], "kv_test.exe");
                slot.thumbnail = new WatchedThumbnail(slot.entry, slot.rect, &m_page, static_cast<int>(i));
            }
            m_page.m_slots.push_back(slot);
        }
    }

    HWND Source(const char* title) const
    {
        for (HWND s : m_sources) {
            char text[64] = "";
            GetWindowTextA(s, text, sizeof(text));
            if (std::string(text) == title)
                return s;
        }
        return nullptr;
    }

    // "title@slot" for each used slot, with "-" for a free one; each thumbnail must sit in its slot.
    std::string Grid() const
    {
        std::string text;
        for (size_t i = 0; i < m_page.m_slots.size(); ++i) {
            const ThumbSlot& slot = m_page.m_slots[i];
            if (!text.empty())
                text += " ";
            if (slot.used != 1) {
                text += "-";
                continue;
            }
            text += slot.entry.title.GetString();
            RECT r;
            GetWindowRect(slot.thumbnail->m_hWnd, &r);
            if (r.left < slot.rect.left || r.right > slot.rect.right)
                text += "(misplaced " + Text(r) + ")";
        }
        return text;
    }

    // The rows' titles, and "*" after the selected one.
    std::string Rows() const
    {
        std::string text;
        for (int r = 0; r < m_page.m_list.GetItemCount(); ++r) {
            if (!text.empty())
                text += " ";
            text += m_page.m_list.GetItemText(r, 0).GetString();
            if (m_page.m_list.GetSelectionMark() == r &&
                (ListView_GetItemState(m_page.m_list.m_hWnd, r, LVIS_SELECTED) & LVIS_SELECTED))
                text += "*";
        }
        return text;
    }

    void Select(int row)
    {
        ListView_SetSelectionMark(m_page.m_list.m_hWnd, row);
        m_page.m_list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }

    HWND m_host = nullptr;
    CControlDlg m_page;
    std::vector<HWND> m_sources;
};

TEST_F(ThumbnailListPage, RowsFollowTheUsedSlotsWithTheirTexts)
{
    MakeGrid({"A", nullptr, "B", "C"});
    m_page.RefreshWindowList();
    ASSERT_EQ(3, m_page.m_list.GetItemCount());
    const char* titles[] = {"A", "B", "C"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_STREQ(titles[r], m_page.m_list.GetItemText(r, 0).GetString());
        EXPECT_STREQ("kv_test.exe", m_page.m_list.GetItemText(r, 1).GetString());
        EXPECT_STREQ(HandleText(Source(titles[r])).GetString(), m_page.m_list.GetItemText(r, 2).GetString());
        EXPECT_EQ(Source(titles[r]), m_page.RowHandle(r));
    }
    EXPECT_EQ(nullptr, m_page.RowHandle(3));
    EXPECT_EQ(nullptr, m_page.RowHandle(-1));
}

TEST_F(ThumbnailListPage, ImageBelowZeroShowsNoImage)
{
    m_page.m_list.InsertItem(0, "none", -1);
    m_page.m_list.InsertItem(1, "first", 0);
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    ASSERT_TRUE(ListView_GetItem(m_page.m_list.m_hWnd, &item));
    EXPECT_EQ(I_IMAGENONE, item.iImage);
    item.iItem = 1;
    ASSERT_TRUE(ListView_GetItem(m_page.m_list.m_hWnd, &item));
    EXPECT_EQ(0, item.iImage);
}

TEST_F(ThumbnailListPage, MovesTradePlacesKeepFreeSlotsAndTheSelection)
{
    struct Case {
        const char* name;
        std::vector<const char*> grid;
        const char* mover;
        MoveKind kind;
        int select;  // row selected before the move, -1 for none
        const char* after;
        const char* rows;
        int result;
    } cases[] = {
        {"up across a free slot", {"A", nullptr, "B"}, "B", kMoveUp, 1, "B - A", "B* A", 0},
        {"first with slot 0 free", {nullptr, "A", "B"}, "B", kMoveFirst, 1, "- B A", "B* A", 1},
        {"last to first of four", {"A", "B", "C", "D"}, "D", kMoveFirst, 0, "D A B C", "D A* B C", 0},
        {"first to last", {"A", "B", nullptr, "C"}, "A", kMoveLast, 2, "B C - A", "B C* A", 3},
        {"down at the last used slot", {"A", "B", nullptr}, "B", kMoveDown, 1, "A B -", "A B*", -1},
        {"up at the front", {"A", "B"}, "A", kMoveUp, -1, "A B", "A B", -1},
        {"a window without a thumbnail", {"A", "B"}, nullptr, kMoveFirst, -1, "A B", "A B", -1},
    };
    for (const Case& c : cases) {
        if (&c != cases) {
            TearDown();
            SetUp();
        }
        MakeGrid(c.grid);
        m_page.RefreshWindowList();
        if (c.select >= 0)
            Select(c.select);
        g_rebuilds = 0;
        HWND mover = c.mover ? Source(c.mover) : reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
        EXPECT_EQ(c.result, m_page.MoveByHandle(mover, c.kind)) << c.name;
        EXPECT_EQ(c.after, Grid()) << c.name;
        EXPECT_EQ(c.rows, Rows()) << c.name;
        EXPECT_EQ(c.result >= 0 ? 1 : 0, g_rebuilds) << c.name << ": list rebuilds";
    }
}

// The strip is placed as one batch: no thumbnail moves while another still waits for its slot, so
// the system redraws the strip once, not once per thumbnail.
TEST_F(ThumbnailListPage, AMoveAndAnArrangementPlaceEveryThumbnailInOneBatch)
{
    static const char* const kTitles[] = {"A", "B", "C", "D", "E", "F", "G", "H",
                                          "I", "J", "K", "L", "M", "N", "O", "P"};
    MakeGrid(std::vector<const char*>(std::begin(kTitles), std::end(kTitles)));
    m_page.RefreshWindowList();
    struct Case {
        const char* name;
        void (*act)(CControlDlg&, HWND last);
        const char* after;
    } cases[] = {
        {"the last of 16 to the front", [](CControlDlg& p, HWND last) { p.moveToTop(last); },
         "P A B C D E F G H I J K L M N O"},
        {"an arrangement on another edge",
         [](CControlDlg& p, HWND) {
             p.m_nLocation = kEdgeTop;
             p.ArrangeThumbnails();
         },
         "P A B C D E F G H I J K L M N O"},
    };
    m_page.m_nThumbWidth = 60;
    m_page.m_nThumbHeight = 45;
    m_page.m_nLimit = 16;
    for (const Case& c : cases) {
        WatchedThumbnail::s_movedBeforeOthers = 0;
        WatchedThumbnail::s_moves = 0;
        c.act(m_page, Source("P"));
        EXPECT_EQ(c.after, Grid().substr(0, std::string(c.after).size())) << c.name;
        EXPECT_EQ(16, WatchedThumbnail::s_moves) << c.name;
        EXPECT_EQ(0, WatchedThumbnail::s_movedBeforeOthers) << c.name << ": thumbnails moved one by one";
    }
}

TEST_F(ThumbnailListPage, SwapRefusesIndicesOutsideTheGrid)
{
    MakeGrid({"A", "B"});
    const int pairs[][2] = {{-1, 0}, {0, -1}, {0, 2}, {5, 1}, {-2147483647 - 1, 1}};
    for (const auto& p : pairs) {
        m_page.SwapSlots(p[0], p[1]);
        EXPECT_EQ("A B", Grid()) << p[0] << "," << p[1];
    }
    m_page.SwapSlots(1, 0);
    EXPECT_EQ("B A", Grid());
}

TEST_F(ThumbnailListPage, ListenerMovesStopAtTheEndsOfTheGrid)
{
    MakeGrid({"A", "B", nullptr});
    m_page.RefreshWindowList();
    struct Case {
        int row;
        void (*press)(CControlDlg&);
        const char* after;
    } cases[] = {
        {0, [](CControlDlg& p) { p.moveToTop(p.RowHandle(0)); }, "A B -"},
        {1, [](CControlDlg& p) { p.moveToEnd(p.RowHandle(1)); }, "A B -"},
        {1, [](CControlDlg& p) { p.moveBackward(p.RowHandle(1)); }, "A B -"},
        {0, [](CControlDlg& p) { p.moveBackward(p.RowHandle(0)); }, "B A -"},
    };
    for (const Case& c : cases) {
        Select(c.row);
        c.press(m_page);
        EXPECT_EQ(c.after, Grid()) << "row " << c.row;
    }
}

TEST_F(ThumbnailListPage, ExclusionFreesTheSlotBeforeTheThumbnailCloses)
{
    CLimitDlg limit;
    const std::vector<ExclusionRule> rulesBefore = limit.m_rules;
    m_page.m_pLimitDlg = &limit;
    MakeGrid({"A", "B", "C"});
    m_page.RefreshWindowList();
    const RECT cBefore = [&] {
        RECT r;
        GetWindowRect(m_page.m_slots[2].thumbnail->m_hWnd, &r);
        return r;
    }();
    WatchedThumbnail::s_slotUsedAtDestroy = -1;
    m_page.exclude(Source("B"));
    EXPECT_EQ(0, WatchedThumbnail::s_slotUsedAtDestroy) << "the slot was still used when the thumbnail closed";
    EXPECT_EQ("A - C", Grid());
    EXPECT_EQ("A C", Rows());
    RECT cAfter;
    GetWindowRect(m_page.m_slots[2].thumbnail->m_hWnd, &cAfter);
    EXPECT_TRUE(EqualRect(&cBefore, &cAfter)) << Text(cAfter);
    ASSERT_EQ(rulesBefore.size() + 1, limit.m_rules.size());
    EXPECT_STREQ("B", limit.m_rules[0].title.GetString());
    EXPECT_STREQ("kv_test.exe", limit.m_rules[0].processName.GetString());
    m_page.m_pLimitDlg = nullptr;
}

TEST_F(ThumbnailListPage, ExclusionWithoutARulePageClosesNothing)
{
    MakeGrid({"A"});
    m_page.RefreshWindowList();
    // The failure is told in a message box; a timer that its own loop dispatches answers it.
    g_boxes = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerBoxes);
    m_page.ExcludeListItem(0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(1, g_boxes);
    EXPECT_EQ("A", Grid());
    EXPECT_EQ("A", Rows());
}

TEST_F(ThumbnailListPage, ArrangementRebuildsTheListWithoutTheDroppedThumbnails)
{
    MakeGrid({"A", nullptr, "B", "C"});
    m_page.RefreshWindowList();
    m_page.m_nLocation = kEdgeBottom;
    m_page.m_nThumbWidth = 160;
    m_page.m_nThumbHeight = 120;
    m_page.m_nLimit = 2;
    m_page.ArrangeThumbnails();
    EXPECT_EQ("A B", Rows());
    EXPECT_EQ(2, m_page.m_list.GetItemCount());
}

}  // namespace

namespace {

bool NoModules(HANDLE, ModuleName, char* name, DWORD)
{
    name[0] = '\0';
    return false;
}

bool OtherModule(HANDLE, ModuleName part, char* name, DWORD size)
{
    lstrcpynA(name, part == kModuleFullPath ? "C:\\m\\module.exe" : "module.exe", static_cast<int>(size));
    return true;
}

TEST(ProcessImagePath, FullPathOfTheExecutableOrNothing)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const bool imagePath = GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA") != nullptr;
    bool (*const real)(HANDLE, ModuleName, char*, DWORD) = ReadFirstModuleName;
    struct Case {
        const char* name;
        DWORD processId;
        bool (*modules)(HANDLE, ModuleName, char*, DWORD);  // a 64-bit process's, read from 32 bits: none
        const char* expected;
    } cases[] = {
        {"this process", GetCurrentProcessId(), real, self},
        {"no such process", 0xFFFFFFF0u, real, ""},
        {"the idle process", 0, real, ""},
        {"this process, modules not listed: the image path", GetCurrentProcessId(), NoModules, imagePath ? self : ""},
        {"no such process, modules not listed", 0xFFFFFFF0u, NoModules, ""},
        {"the module list comes first", GetCurrentProcessId(), OtherModule, "C:\\m\\module.exe"},
    };
    for (const Case& c : cases) {
        ReadFirstModuleName = c.modules;
        CString path = "stale";
        ReadProcessImagePath(c.processId, path);
        ReadFirstModuleName = real;
        EXPECT_STRCASEEQ(c.expected, path.GetString()) << c.name;
    }
}

}  // namespace
