// placeholder
#include <gtest/gtest.h>
TEST(Placeholder, wmi_client_test) {}
