#include "csv/VbArray2D.h"

#include "platform/VbError.h"

#include <gtest/gtest.h>

namespace {

TEST(VbArray2D, BoundsElementsAndPreserveOfTheLastDimension) {
    VbArray2D a;
    EXPECT_FALSE(a.isAllocated());
    EXPECT_THROW(a.ubound(1), platform::VbError);

    a.redim(1, 3, 1, 1);
    EXPECT_EQ(a.lbound(1), 1);
    EXPECT_EQ(a.ubound(2), 1);
    EXPECT_FALSE(a(2, 1).isValid()); // Empty until set
    a(1, 1) = "a";
    a(3, 1) = "c";
    a.redimPreserve(1, 3, 1, 3);
    EXPECT_EQ(a(1, 1).toString(), "a");
    EXPECT_EQ(a(3, 1).toString(), "c");
    EXPECT_FALSE(a(3, 3).isValid());
    a(2, 3) = 5;
    a.redimPreserve(1, 3, 1, 2); // shrinking drops the last row only
    EXPECT_EQ(a(3, 1).toString(), "c");
    EXPECT_THROW(a(2, 3), platform::VbError);
    EXPECT_THROW(a(0, 1), platform::VbError);
    EXPECT_THROW(a(4, 1), platform::VbError);
    // Only the last dimension may change under Preserve.
    EXPECT_THROW(a.redimPreserve(1, 4, 1, 2), platform::VbError);
    EXPECT_THROW(a.redimPreserve(0, 3, 1, 2), platform::VbError);

    a.erase();
    EXPECT_FALSE(a.isAllocated());
    VbArray2D negative(-2, 0, 5, 6);
    negative(-2, 6) = 1;
    EXPECT_EQ(negative.at(-2, 6).toInt(), 1);
    EXPECT_EQ(negative.lbound(2), 5);
}

} // namespace
