#include "ui/background_call.h"

namespace tessor {

BackgroundCall::~BackgroundCall() {
  // The device calls are bounded; their result is dropped with this object.
  if (thread_.joinable()) thread_.join();
}

void BackgroundCall::Run(std::function<int()> work, std::function<void(int)> done) {
  if (thread_.joinable()) thread_.join();
  running_ = true;
  thread_ = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
    const int result = work();
    QMetaObject::invokeMethod(
        this,
        [this, result, done = std::move(done)] {
          if (thread_.joinable()) thread_.join();
          running_ = false;
          done(result);
        },
        Qt::QueuedConnection);
  });
}

}  // namespace tessor
