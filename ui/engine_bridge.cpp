#include "ui/engine_bridge.h"

#include "app/shell.h"

namespace tessor {

// Receivers connect with Qt::QueuedConnection, so emitting from an engine
// thread only posts; nothing here waits on the GUI.
void CEngineBridge::OnStatusLine(const std::string& text, bool replace_last) {
  emit statusLine(ToWide(text), replace_last);
}

void CEngineBridge::OnNotification(int id, int64_t first, int64_t second) {
  emit notification(id, first, second);
}

void CEngineBridge::OnMessageBox(const std::string& caption, const std::string& text) {
  emit messageBox(ToWide(caption), ToWide(text));
}

void CEngineBridge::OnCloseRequest() {
  emit closeRequest();
}

}  // namespace tessor
