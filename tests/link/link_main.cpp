#include <gtest/gtest.h>

// The link needs no application object: it runs on the platform seam alone.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
