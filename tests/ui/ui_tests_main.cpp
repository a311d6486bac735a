#include "gui_test_main.h"
#include "ui_tests.h"

int main(int argc, char** argv) {
  using namespace tessor::test;
  return RunGuiTestClasses<MainWindowTest, ConnectionTest, UploadFlowTest, PageRulesTest>(argc,
                                                                                          argv);
}
