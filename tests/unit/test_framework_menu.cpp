// CMenu: owned menus die with their wrapper, borrowed ones (submenus, system menus) do not.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "framework/Wnd.h"

namespace {

TEST(FrameworkMenuTest, OnlyOwnedMenusAreDestroyed)
{
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_SYSMENU | WS_CAPTION, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(window != nullptr);
    CMenu parent;  // owns sub, and destroys it at the end
    ASSERT_TRUE(parent.CreatePopupMenu());
    HMENU sub = CreatePopupMenu();
    parent.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "サブ");

    struct Case {
        const char* name;
        std::function<HMENU()> scope;  // returns the menu to look at once the wrappers are gone
        bool alive;
    } cases[] = {
        {"created popup",
         [] {
             CMenu m;
             m.CreatePopupMenu();
             return m.m_hMenu;
         },
         false},
        {"borrowed submenu",
         [&parent, sub] {
             CMenu borrowed = parent.GetSubMenu(0);
             EXPECT_TRUE(borrowed.m_hMenu == sub);
             return sub;
         },
         true},
        {"system menu",
         [window] {
             CWnd* wnd = CWnd::FromHandle(window);
             return wnd->GetSystemMenu(FALSE).m_hMenu;
         },
         true},
        {"moved-from owner",
         [] {
             HMENU h = nullptr;
             CMenu target;
             {
                 CMenu source;
                 source.CreatePopupMenu();
                 h = source.m_hMenu;
                 target = std::move(source);
             }
             EXPECT_TRUE(IsMenu(h)) << "the moved-from wrapper destroyed the menu";
             return h;
         },
         false},
        {"owned menu replaced by a borrowed one",
         [] {
             CMenu m;
             m.CreatePopupMenu();
             HMENU owned = m.m_hMenu;
             m = CMenu::Borrow(GetSubMenu(nullptr, 0));
             return owned;
         },
         false},
    };
    for (const Case& c : cases) {
        const HMENU menu = c.scope();
        ASSERT_TRUE(menu != nullptr) << c.name;
        EXPECT_EQ(c.alive, IsMenu(menu) != FALSE) << c.name;
    }
    DestroyWindow(window);
    AfxPurgeTemporaryObjects();
}

}  // namespace
