// placeholder
#include <gtest/gtest.h>
TEST(Placeholder, command_line_test) {}
