// placeholder
#include <gtest/gtest.h>
TEST(Placeholder, wmic_oracle_test) {}
