#include "gui_test_main.h"
#include "poi_trust_test.h"
#include "ui_detector_tests.h"

int main(int argc, char** argv) {
  using namespace tessor::test;
  return RunGuiTestClasses<AlertPageTest, PoiPageTest, PoiTrustTest>(argc, argv);
}
