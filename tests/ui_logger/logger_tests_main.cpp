#include "gui_test_main.h"
#include "logger_tests.h"
#include "logger_trust_test.h"

int main(int argc, char** argv) {
  using namespace tessor::test;
  return RunGuiTestClasses<ShowAllPagesTest, DeviceStatusTest, ConfigPageTest, FileConversionTest,
                           LoggerTrustTest>(argc, argv);
}
