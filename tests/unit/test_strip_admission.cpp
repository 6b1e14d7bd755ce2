// Admission on the control page: one window never has two thumbnails, whatever a nested loop lets in
// while its thumbnail is being made.
#include "strip/ControlDlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "strip/Thumbnail.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

namespace {

// Runs once what is armed, from inside the answer check that parking a minimised source sends it.
std::function<void()> g_onAnswerCheck;

LRESULT CALLBACK SourceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NULL && g_onAnswerCheck) {
        std::function<void()> run;
        run.swap(g_onAnswerCheck);
        run();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeMinimisedSource(const char* title)
{
    return MakeSourceWindow({100, 100, 420, 340}, title, &SourceProc, WS_OVERLAPPEDWINDOW, 0, SW_SHOWMINNOACTIVE);
}

class Admission : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i) {
            ThumbSlot slot;
            slot.rect = {160 * i, 800, 160 * i + 160, 920};
            m_page.m_slots.push_back(slot);
        }
        m_page.m_nLimit = 16;
    }
    void TearDown() override
    {
        g_onAnswerCheck = nullptr;
        CloseThumbnails(m_page);
        for (HWND source : m_sources)
            DestroyWindow(source);
    }
    int SlotsOf(HWND source) const
    {
        int n = 0;
        for (const ThumbSlot& slot : m_page.m_slots)
            n += slot.used == 1 && slot.entry.hwnd == source ? 1 : 0;
        return n;
    }

    CControlDlg m_page;  // no window: the list is not rebuilt
    std::vector<HWND> m_sources;
};

TEST_F(Admission, OneWindowGetsOneSlotWhateverComesInWhileItsThumbnailIsMade)
{
    struct Case {
        const char* name;
        // What runs inside the first admission's answer check: 'r' reports the window gone (a
        // suspension), 'a' delivers it again.
        const char* nested;
        int slotsAfterFirst;
        // Then the window is delivered once more (a resume, or a report that came twice).
        int slotsAfterSecond;
    } cases[] = {
        {"delivered twice", "", 1, 1},
        {"reported gone while its thumbnail was made", "r", 0, 1},
        {"gone and delivered again while its thumbnail was made", "ra", 1, 1},
        {"delivered again while its thumbnail was made", "a", 1, 1},
    };
    for (const Case& c : cases) {
        TearDown();
        m_sources.clear();
        m_page.m_slots.clear();
        SetUp();
        HWND source = MakeMinimisedSource(c.name);
        m_sources.push_back(source);
        ASSERT_TRUE(IsIconic(source)) << c.name;
        const WindowEntry entry = SourceEntry(source, c.name, "kv_test.exe");
        const std::string nested = c.nested;
        g_onAnswerCheck = [&] {
            for (char step : nested) {
                if (step == 'r')
                    m_page.RemoveThumbnail(entry);
                else
                    m_page.AddThumbnail(entry);
            }
        };
        m_page.AddThumbnail(entry);
        g_onAnswerCheck = nullptr;
        EXPECT_EQ(c.slotsAfterFirst, SlotsOf(source)) << c.name << ": slots after the first admission";
        if (c.slotsAfterFirst == 0) {
            const LONG exStyle = GetWindowLongA(source, GWL_EXSTYLE);
            EXPECT_TRUE(IsIconic(source) && IsWindowEnabled(source) && !(exStyle & WS_EX_LAYERED))
                << c.name << ": the dropped thumbnail left its source parked";
        }
        m_page.AddThumbnail(entry);
        EXPECT_EQ(c.slotsAfterSecond, SlotsOf(source)) << c.name << ": slots after the second admission";
    }
}

}  // namespace
