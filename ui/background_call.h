#pragma once

#include <QObject>
#include <functional>
#include <thread>

namespace tessor {

// Runs a device call that waits (connect, a configuration query) off the GUI
// thread and hands its result to the GUI thread. One call at a time; the
// caller keeps its controls disabled until the result arrives.
class BackgroundCall : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundCall(QObject* parent = nullptr) : QObject(parent) {}
  ~BackgroundCall() override;

  void Run(std::function<int()> work, std::function<void(int)> done);
  bool running() const { return running_; }

 private:
  std::thread thread_;
  bool running_ = false;
};

}  // namespace tessor
