// CHandle: released exactly once, never when it holds "none" or a value that is no handle, and
// never by an owner it was moved out of.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Handle.h"

namespace {

// Handles are small integers; 0 is none and -1 is "no handle at all".
std::vector<int> g_released;

struct CountingTraits {
    using Type = int;
    static Type None() { return 0; }
    static bool Valid(Type h) { return h != 0 && h != -1; }
    static void Release(Type h) { g_released.push_back(h); }
};
using Counted = CHandle<CountingTraits>;

struct Case {
    const char* name;
    void (*run)();
    std::vector<int> released;
};

TEST(FrameworkHandle, EachHandleIsReleasedOnceByItsLastOwner)
{
    const Case cases[] = {
        {"none", [] { Counted h; }, {}},
        {"invalid value", [] { Counted h(-1); }, {}},
        {"owned", [] { Counted h(7); }, {7}},
        {"moved-from releases nothing",
         [] {
             Counted a(7);
             Counted b(std::move(a));
             EXPECT_FALSE(a.Valid());
         },
         {7}},
        {"move-assigned releases what it held",
         [] {
             Counted a(7);
             Counted b(8);
             b = std::move(a);
             EXPECT_EQ(7, b.Get());
         },
         {8, 7}},
        {"reset releases the old one",
         [] {
             Counted a(7);
             a.Reset(9);
         },
         {7, 9}},
        {"detached is the caller's",
         [] {
             Counted a(7);
             EXPECT_EQ(7, a.Detach());
         },
         {}},
        {"self-move keeps it",
         [] {
             Counted a(7);
             Counted& same = a;
             a = std::move(same);
             EXPECT_EQ(7, a.Get());
         },
         {7}},
    };
    for (const Case& c : cases) {
        g_released.clear();
        c.run();
        EXPECT_EQ(c.released, g_released) << c.name;
    }
}

TEST(FrameworkHandle, KernelAndFileOwnersCloseRealHandlesAndTreatBothNoneValuesAsNone)
{
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, event);
    DWORD flags = 0;
    {
        CKernelHandle owner(event);
        EXPECT_TRUE(owner);
        EXPECT_TRUE(::GetHandleInformation(owner.Get(), &flags));
    }
    EXPECT_FALSE(::GetHandleInformation(event, &flags));

    EXPECT_FALSE(CKernelHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CFileHandle());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CFileHandle().Get());
    EXPECT_FALSE(CFileHandle(nullptr));
    EXPECT_FALSE(CRegKey());
}

}  // namespace
