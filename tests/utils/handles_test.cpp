#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "utils/handles.h"

namespace {

// A handle the process still holds answers for its flags; one closed does not.
bool Open(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

}  // namespace

TEST(Handles, ClosedOnceByWhoeverHoldsThemLast) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    {
        KernelHandle first(raw);
        KernelHandle second(std::move(first));
        EXPECT_FALSE(first);
        KernelHandle third;
        third = std::move(second);
        EXPECT_TRUE(Open(raw));  // neither moved-from holder closed it
        EXPECT_EQ(third.Get(), raw);
    }
    EXPECT_FALSE(Open(raw));

    // Released, it is the caller's to close.
    HANDLE kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    { KernelHandle holder(kept); EXPECT_EQ(holder.Release(), kept); }
    EXPECT_TRUE(Open(kept));
    KernelHandle again(kept);
    EXPECT_TRUE(again.Close());
    EXPECT_FALSE(Open(kept));
    EXPECT_TRUE(again.Close());  // nothing held: nothing fails

    // A failed CreateFile holds nothing, and Put closes what was held.
    KernelHandle missing(CreateFileA("Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    HANDLE before = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    KernelHandle put(before);
    *put.Put() = nullptr;
    EXPECT_FALSE(Open(before));

    GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(1, 2, 3)));
    HBRUSH drawn = brush.Get();
    ASSERT_NE(GetObjectType(drawn), 0u);
    brush.Reset();
    EXPECT_EQ(GetObjectType(drawn), 0u);
}
