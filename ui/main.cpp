// tessor: the desktop program.
#include <cstring>
#include <iostream>

#include "ui/korvel_app.h"

namespace {

constexpr const char* kHelp =
    "usage: tessor [--help] [--version] [Qt options such as -platform NAME]\n"
    "The desktop program for GPS speed-camera detectors and GPS data loggers\n"
    "on a serial line. Options:\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the program's version and exit\n"
    "SIGTERM or SIGINT ends it and saves its settings.\n";

// Answered before the application starts, so they work without a display.
bool AnswerTerminal(int argc, char** argv, int* status) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kHelp;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "tessor " << TESSOR_VERSION << "\n";
    } else {
      continue;
    }
    *status = std::cout.flush() ? 0 : 74;
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int status = 0;
  if (AnswerTerminal(argc, argv, &status)) return status;
  tessor::CKorvelApp app(argc, argv);
  app.InitInstance();
  return app.exit_code();
}
