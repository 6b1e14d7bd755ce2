// CHotKeyRegistration: a key it registered is free again once it is unregistered or the owner ends,
// and a key it could not register leaves another holder's registration alone.
#include <gtest/gtest.h>

#include "framework/HotKey.h"

namespace {

const UINT kMods = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
const UINT kKey = VK_F9;

HWND MakeWindow()
{
    return ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// Whether another window can take the key now; it gives the key back at once.
bool KeyIsFree(HWND other)
{
    if (!::RegisterHotKey(other, 2, kMods, kKey))
        return false;
    ::UnregisterHotKey(other, 2);
    return true;
}

TEST(FrameworkHotKey, KeyIsFreeAgainOnceItsOwnerLetsGo)
{
    HWND owner = MakeWindow();
    HWND other = MakeWindow();
    ASSERT_TRUE(owner && other);
    ASSERT_TRUE(KeyIsFree(other));

    struct Case {
        const char* name;
        bool unregisterFirst;
    } cases[] = {
        {"unregistered by hand", true},
        {"released by the destructor", false},
    };
    for (const Case& c : cases) {
        {
            CHotKeyRegistration key;
            ASSERT_TRUE(key.Register(owner, 1, kMods, kKey)) << c.name;
            EXPECT_FALSE(KeyIsFree(other)) << c.name;
            if (c.unregisterFirst) {
                key.Unregister();
                EXPECT_TRUE(KeyIsFree(other)) << c.name;
            }
        }
        EXPECT_TRUE(KeyIsFree(other)) << c.name;
    }

    // Taken by another window: the failed registration must not free the other's key at its end.
    ASSERT_TRUE(::RegisterHotKey(other, 2, kMods, kKey));
    {
        CHotKeyRegistration key;
        EXPECT_FALSE(key.Register(owner, 1, kMods, kKey));
    }
    EXPECT_FALSE(::RegisterHotKey(owner, 3, kMods, kKey)) << "the other window's key went with the failed one";
    ::UnregisterHotKey(other, 2);

    ::DestroyWindow(owner);
    ::DestroyWindow(other);
}

}  // namespace
