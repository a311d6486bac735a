#pragma once

#include <QApplication>

namespace tessor {

// The application: starts the program and runs the main window until it closes.
class CKorvelApp : public QApplication {
  Q_OBJECT

 public:
  CKorvelApp(int& argc, char** argv);

  // Runs the whole program; false, as the program ends when the window closes.
  bool InitInstance();
  int exit_code() const { return exit_code_; }

 private:
  int exit_code_ = 0;
};

// Names the program for the settings store and the per-user data folder.
void SetProgramNames();

}  // namespace tessor
