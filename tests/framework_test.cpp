// placeholder
#include <gtest/gtest.h>
TEST(Placeholder, framework_test) {}
