// tessor: the desktop program.
#include "ui/korvel_app.h"

int main(int argc, char** argv) {
  tessor::CKorvelApp app(argc, argv);
  app.InitInstance();
  return app.exit_code();
}
