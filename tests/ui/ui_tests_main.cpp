#include "gui_test_main.h"
#include "ui_tests.h"
#include "upload_result_test.h"
#include "window_trust_test.h"

int main(int argc, char** argv) {
  using namespace tessor::test;
  return RunGuiTestClasses<MainWindowTest, ConnectionTest, UploadFlowTest, PageRulesTest,
                           UploadResultTest, WindowTrustTest>(argc, argv);
}
