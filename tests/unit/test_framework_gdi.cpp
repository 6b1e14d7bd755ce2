// GDI wrappers: ownership, the live count, and selections put back when the CDC goes.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "framework/Gdi.h"
#include "framework/Types.h"

namespace {

// Draws into a memory DC; the wrappers own everything, so an early return leaks nothing.
bool DrawSample(bool bailOut, long* liveInside, std::vector<HGDIOBJ>* made)
{
    CBrush brush(RGB(10, 20, 30));
    CPen pen(PS_SOLID, 1, RGB(200, 0, 0));
    CClientDC screen(nullptr);
    CBitmap bitmap;
    if (!bitmap.CreateCompatibleBitmap(&screen, 16, 16))
        return false;
    CDC mem;  // after the objects, so it lets go of them before they are deleted
    if (!mem.CreateCompatibleDC(nullptr))
        return false;
    mem.SelectObject(bitmap);
    mem.SelectObject(pen);
    mem.SelectObject(brush);
    *liveInside = AfxGdiLiveCount();
    *made = {brush.m_hObject, pen.m_hObject, bitmap.m_hObject};
    if (bailOut)
        return false;
    mem.Rectangle(CRect(0, 0, 8, 8));
    return true;
}

TEST(FrameworkGdiTest, LiveCountReturnsAfterAnEarlyReturn)
{
    struct Case {
        const char* name;
        bool bailOut;
    } cases[] = {
        {"early return", true},
        {"full path", false},
    };
    for (const Case& c : cases) {
        const long before = AfxGdiLiveCount();
        long inside = 0;
        std::vector<HGDIOBJ> made;
        DrawSample(c.bailOut, &inside, &made);
        EXPECT_EQ(before + 4, inside) << c.name << ": brush, pen, bitmap and memory DC";
        EXPECT_EQ(before, AfxGdiLiveCount()) << c.name;
        for (HGDIOBJ h : made)
            EXPECT_EQ(0u, GetObjectType(h)) << c.name << ": object " << h << " still exists";
    }
}

// Windows refuses DeleteObject for an object still selected into a DC; Wine defers it and says TRUE.
// Either way the object outlives its wrapper's deletion, and the live count must keep it.
TEST(FrameworkGdiTest, ObjectDeletedWhileSelectedStaysCounted)
{
    struct Case {
        const char* name;
        bool bitmapFirst;  // declared before the DC, so the DC lets go of it before it is deleted
        long leftOver;
    } cases[] = {
        {"bitmap declared before its DC", true, 0},
        {"bitmap declared after its DC: deleted while selected", false, 1},
    };
    for (const Case& c : cases) {
        const long before = AfxGdiLiveCount();
        {
            CClientDC screen(nullptr);
            CBitmap early;
            CDC mem;
            CBitmap late;
            CBitmap& bitmap = c.bitmapFirst ? early : late;
            ASSERT_TRUE(mem.CreateCompatibleDC(&screen)) << c.name;
            ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&screen, 8, 8)) << c.name;
            mem.SelectObject(bitmap);
        }
        EXPECT_EQ(before + c.leftOver, AfxGdiLiveCount()) << c.name;
    }
}

TEST(FrameworkGdiTest, DeleteObjectOfASelectedObjectFails)
{
    const long before = AfxGdiLiveCount();
    CClientDC screen(nullptr);
    CDC mem;
    ASSERT_TRUE(mem.CreateCompatibleDC(&screen));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&screen, 8, 8));
    mem.SelectObject(bitmap);
    HGDIOBJ made = bitmap.m_hObject;
    EXPECT_FALSE(bitmap.DeleteObject());
    EXPECT_NE(0u, GetObjectType(made)) << "the object is still alive";
    EXPECT_EQ(before + 2, AfxGdiLiveCount()) << "the memory DC and the bitmap still selected into it";
}

TEST(FrameworkGdiTest, SelectObjectPutsTheFirstPreviousObjectBack)
{
    HDC raw = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(raw != nullptr);
    const UINT kinds[] = {OBJ_PEN, OBJ_BRUSH, OBJ_BITMAP, OBJ_FONT};
    HGDIOBJ original[4];
    for (int i = 0; i < 4; ++i)
        original[i] = GetCurrentObject(raw, kinds[i]);
    {
        CPen pen1(PS_SOLID, 1, RGB(1, 0, 0)), pen2(PS_DASH, 1, RGB(2, 0, 0));
        CBrush brush1(RGB(3, 0, 0)), brush2(RGB(4, 0, 0));
        CBitmap bitmap1, bitmap2;
        CDC probe(raw);
        ASSERT_TRUE(bitmap1.CreateCompatibleBitmap(&probe, 4, 4));
        ASSERT_TRUE(bitmap2.CreateCompatibleBitmap(&probe, 4, 4));
        CGdiObject font1, font2;
        font1.Attach(CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "IPAGothic"));
        font2.Attach(CreateFontA(16, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "IPAGothic"));
        ASSERT_TRUE(font1.m_hObject && font2.m_hObject);

        CDC dc(raw);  // borrowed: its destructor must not delete raw
        const HGDIOBJ selected[4][2] = {{pen1, pen2}, {brush1, brush2}, {bitmap1, bitmap2}, {font1, font2}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(original[i], dc.SelectObject(selected[i][0])) << "kind " << kinds[i];
            EXPECT_EQ(selected[i][0], dc.SelectObject(selected[i][1])) << "kind " << kinds[i];
        }
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(original[i], GetCurrentObject(raw, kinds[i])) << "kind " << kinds[i] << " not put back";
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(raw)) << "a borrowed DC was deleted";
    DeleteDC(raw);
}

TEST(FrameworkGdiTest, MoveTransfersOwnership)
{
    const long before = AfxGdiLiveCount();
    HGDIOBJ first = nullptr;
    HGDIOBJ second = nullptr;
    {
        CBrush a(RGB(1, 2, 3));
        first = a.m_hObject;
        CBrush b(std::move(a));
        EXPECT_TRUE(a.m_hObject == nullptr);
        EXPECT_EQ(first, b.m_hObject);
        EXPECT_EQ(before + 1, AfxGdiLiveCount()) << "move construction changed the count";

        CBrush c(RGB(4, 5, 6));
        second = c.m_hObject;
        c = std::move(b);  // c's own brush goes
        EXPECT_EQ(0u, GetObjectType(second)) << "move assignment kept the replaced brush";
        EXPECT_EQ(first, c.m_hObject);
        EXPECT_TRUE(b.m_hObject == nullptr);
        EXPECT_EQ(before + 1, AfxGdiLiveCount());
    }
    EXPECT_EQ(0u, GetObjectType(first));
    EXPECT_EQ(before, AfxGdiLiveCount()) << "an object was deleted twice or not at all";
}

}  // namespace
