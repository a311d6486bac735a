#include <sys/eventfd.h>
#include <unistd.h>

#include "engine/device_engine.h"
#include "engine/string_table.h"

namespace tessor {

CDeviceEngine::CDeviceEngine() {
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  receiver.SetSentenceHandler(
      [this](const char* sentence, size_t length) { DispatchAnswer(sentence, length); });
  receiver.SetBinaryStopHandler([this] { OnBinaryProtocol(); });
}

// Teardown: every thread ends and is joined before the port and files go.
CDeviceEngine::~CDeviceEngine() {
  StopAllThreads();
  CloseTrackFile();
  ClosePort();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void CDeviceEngine::CloseTrackFile() {
  if (track_file_ != nullptr) std::fclose(track_file_);
  track_file_ = nullptr;
}

void CDeviceEngine::ReportStatus(int string_id, bool replace_last) {
  ReportStatusText(LoadString(string_id), replace_last);
}

void CDeviceEngine::ReportStatusText(const std::string& text, bool replace_last) {
  {
    std::lock_guard<std::mutex> lock(report_mutex_);
    if (text == last_status_line_) return;
    last_status_line_ = text;
  }
  if (EngineObserver* o = observer_.load()) o->OnStatusLine(text, replace_last);
}

std::string CDeviceEngine::last_status_line() const {
  std::lock_guard<std::mutex> lock(report_mutex_);
  return last_status_line_;
}

void CDeviceEngine::PostNotification(int id, int64_t first, int64_t second) {
  if (EngineObserver* o = observer_.load()) o->OnNotification(id, first, second);
}

void CDeviceEngine::ReportOperationEnd(OperationKind kind, ResultCode result) {
  if (EngineObserver* o = observer_.load()) o->OnOperationEnd(kind, result);
}

ResultCode CDeviceEngine::JobEndResult(bool whole) const {
  if (whole) return kResultOk;
  return link_flag.load() ? kResultNoAnswerRetries : kResultPortNotOpen;
}

void CDeviceEngine::ShowMessage(const std::string& text) {
  if (EngineObserver* o = observer_.load()) o->OnMessageBox(LoadString(kStrCaption), text);
}

void CDeviceEngine::OnBinaryProtocol() {
  // The device talks the chip's binary protocol: nothing here can go on.
  link_flag = false;
  operation_running = false;
  worker_running = false;
  ShowMessage(kBinaryProtocolText);
  if (EngineObserver* o = observer_.load()) o->OnCloseRequest();
}

}  // namespace tessor
