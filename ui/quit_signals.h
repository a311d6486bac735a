#pragma once

#include <QObject>

class QSocketNotifier;

namespace tessor {

// SIGTERM (a session ending) and SIGINT end the program through its event
// loop, as the window's Close does once confirmed: the settings are saved
// and the engine closes the port, instead of the process dying mid-write.
class QuitOnSignals : public QObject {
  Q_OBJECT

 public:
  explicit QuitOnSignals(QObject* parent = nullptr);
  ~QuitOnSignals() override;

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tessor
