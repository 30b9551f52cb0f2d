// placeholder
#include <gtest/gtest.h>
TEST(Placeholder, report_test) {}
