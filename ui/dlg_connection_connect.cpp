// Connect and disconnect on the Connection page. The engine calls run off the
// GUI thread; the page keeps its controls disabled until they return.
#include <QCheckBox>
#include <QFileInfo>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "app/port_directory.h"
#include "app/shell.h"
#include "database/data_folder.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/message_seam.h"
#include "ui/poi_management_dlg.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

namespace {
constexpr int kPauseBeforeConnectMs = 200;

// "trace-2026-12-08-175800.txt" in local time, digits only so the name never
// depends on the locale; a second trace in the same second gets "-2", "-3"...
std::string NewTracePath(const std::string& folder) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d-%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  const std::string base = folder + "/trace-" + stamp;
  std::string path = base + ".txt";
  for (int n = 2; QFileInfo::exists(QString::fromStdString(path)) ||
                  QFileInfo::exists(QString::fromStdString(path + ".part"));
       ++n) {
    path = base + "-" + std::to_string(n) + ".txt";
  }
  return path;
}
}  // namespace

QString CDlgConnection::trace_path() const {
  return trace_.is_open() ? ToWide(trace_.path()) : QString();
}

// Puts the recorder in front of the port before the connect opens it. A trace
// that cannot be made is said, and the connection goes on unrecorded.
void CDlgConnection::StartTrace() {
  // The transport may only change while the line is closed and nothing runs.
  if (!record_line_ || trace_.is_open() || engine_.link_up()) return;
  const std::string folder = DataFolder();
  if (folder.empty()) {
    AddStatusLine("Cannot record the serial line: there is no data folder.", false);
    return;
  }
  const std::string path = NewTracePath(folder);
  if (!trace_.Open(path)) {
    AddStatusLine("Cannot record the serial line to " + ToWide(path) + ": " +
                      ToWide(std::string(std::strerror(errno))),
                  false);
    return;
  }
  engine_.SetTransport(&recorder_);
  AddStatusLine("Recording the serial line to " + ToWide(path), false);
}

// Runs once the link is down and the engine's threads are stopped, so the
// trace is complete under its own name.
void CDlgConnection::EndTrace() {
  engine_.SetTransport(nullptr);
  if (!trace_.is_open()) return;
  const QString path = ToWide(trace_.path());
  if (!trace_.Close()) AddStatusLine("Cannot complete the trace " + path, false);
}

void CDlgConnection::SetConnectedState(bool connected) {
  connected_ = connected;
  if (main_ != nullptr) main_->connected = connected ? 1 : 0;
  connect_button_->setText(connected ? text_disconnect_ : text_connect_);
}

// The first step both ways. A disconnect forced by the end of a job keeps the
// status list, so that the user can still read what happened.
void CDlgConnection::StartOperationState(bool keep_status) {
  if (!keep_status) status_list_->clear();
  poi_allowed_ = false;
  SetLamp(kLampWhite);
  SetMainBusy(false);
  engine_.SetImagePath("");
  progress_->setValue(0);
  text_connect_ = LoadText(kStrConnect);
  text_disconnect_ = LoadText(kStrDisconnect);
}

void CDlgConnection::ConnectClicked() {
  // A device call still running owns the controls; a second one would overlap it.
  if (call_.running()) return;
  connect_attempted_ = true;
  if (connected_) {
    // A disconnect empties the POI list: edits not yet saved are asked about first.
    if (main_ != nullptr && main_->poi_page() != nullptr && !main_->poi_page()->ConfirmDropEdits())
      return;
    BeginDisconnect(false);
    return;
  }
  if (port_list_->currentIndex() < 0) {
    ShowMessage(this, "Error",
                "No serial port is listed: plug in the device and open the port list again.");
    UpdateConnectEnabled();
    return;
  }
  StartOperationState();
  StartTrace();
  connect_button_->setEnabled(false);
  download_db_->setEnabled(false);
  SetListsEnabled(false);
  const int number = PortNumberOf(port_list_->currentText().toStdString());
  tried_port_ = number;
  if (main_ != nullptr) {
    main_->settings.com_port = static_cast<uint8_t>(number);
    WriteComPort(main_->store(), main_->settings.com_port);
  }
  SetCloseEnabled(false);
  call_.Run(
      [this, number] {
        engine_.transport().Pause(kPauseBeforeConnectMs);
        return engine_.Connect(number);
      },
      [this](int result) { OnConnectResult(result); });
}

void CDlgConnection::BeginDisconnect(bool keep_status) {
  StartOperationState(keep_status);
  // A handshake cut short never says it is done: its timer must not outlive it,
  // nor may a job's timer enable controls while the link goes down.
  StopTimer(kTimerHandshake);
  StopTimer(kTimerOperation);
  connect_button_->setEnabled(false);
  veld_upload_->setChecked(false);
  poi_download_->setChecked(false);
  SetConnectedState(false);
  DisconnectEngine([this, keep_status] { FinishDisconnect(keep_status); });
}

// The end of a job asks for it, or the link is already gone under the page.
void CDlgConnection::ForcedDisconnect() {
  if (!connected_ || call_.running()) return;
  connect_attempted_ = true;
  BeginDisconnect(true);
}

// Names the port and the cause: the system text alone does not say which port.
void CDlgConnection::ShowPortError() {
  const std::string path = ports_.Resolve(tried_port_);
  QString port = QString("COM%1").arg(tried_port_);
  if (!path.empty()) port += " (" + ToWide(path) + ")";
  const QString cause = ToWide(PortErrorText(engine_.last_system_error()));
  ShowMessage(this, "Error", "Can not open " + port + ": " + cause);
}

void CDlgConnection::OnConnectResult(int result) {
  if (result == kResultOk || result == kResultNoDatabase) {
    poi_allowed_ = result == kResultOk;
    StartTimer(kTimerHandshake, kHandshakePollMs);
    SetMainBusy(true);
    SetConnectedState(true);
    if (main_ != nullptr) main_->ForwardLinkState(true);
    SetListsEnabled(false);
    connect_button_->setEnabled(true);
    return;
  }
  SetCloseEnabled(true);
  if (result == kResultAlreadyRunning) {
    SetConnectedState(true);
    if (main_ != nullptr) main_->ForwardLinkState(true);
    SetListsEnabled(false);
    connect_button_->setEnabled(true);
    return;
  }
  if (result == kResultPortOpen || result == kResultPortSettings) {
    ShowPortError();
  } else if (result == kResultDeviceSilent) {
    Box(LoadText(kStrNoDataCheckDevice));
  }
  SetConnectedState(false);
  if (result == kResultPortOpen || result == kResultPortSettings) RefreshPorts();
  SetNotConnectedControls();
  EndFailedTrace(result);
}

// A port that did not open leaves nothing running; a device that stayed silent
// leaves the link thread and the port, which must go before the trace ends.
void CDlgConnection::EndFailedTrace(int result) {
  if (!trace_.is_open()) return;
  if (result == kResultPortOpen || result == kResultPortSettings) {
    EndTrace();
    return;
  }
  DisconnectEngine([this] {
    EndTrace();
    SetNotConnectedControls();
  });
}

void CDlgConnection::SetNotConnectedControls() {
  SetListsEnabled(true);
  poi_download_->setEnabled(false);
  veld_upload_->setEnabled(false);
  UpdateConnectEnabled();
}

// Timer 2: the handshake has ended, or the link went down under it. Only a
// handshake that read the track table makes the page connected and ready.
void CDlgConnection::HandshakeEnded() {
  if (engine_.link_up() && engine_.track_table_read()) {
    poi_download_->setEnabled(poi_allowed_);
    veld_upload_->setEnabled(true);
    download_db_->setEnabled(true);
    connect_button_->setEnabled(true);
    StopTimer(kTimerHandshake);
    SetCloseEnabled(true);
    SetMainBusy(false);
    return;
  }
  if (call_.running()) return;  // the next tick tries again
  StopTimer(kTimerHandshake);
  poi_allowed_ = false;
  connect_button_->setEnabled(false);
  SetConnectedState(false);
  if (main_ != nullptr) main_->ForwardLinkState(false);
  DisconnectEngine([this] { EndFailedConnect(); });
}

// Ends the link and every engine thread off the GUI thread, then `done` on it.
void CDlgConnection::DisconnectEngine(std::function<void()> done) {
  call_.Run(
      [this] {
        engine_.Disconnect();
        engine_.StopAllThreads();
        return 0;
      },
      [done = std::move(done)](int) { done(); });
}

// The status list keeps the failure line; the page is as before the connect.
void CDlgConnection::EndFailedConnect() {
  EndTrace();
  process_->setEnabled(false);
  download_db_->setEnabled(false);
  RefreshPorts();
  SetNotConnectedControls();
  SetCloseEnabled(true);
  SetMainBusy(false);
}

void CDlgConnection::FinishDisconnect(bool keep_status) {
  if (main_ != nullptr) {
    main_->ForwardLinkState(false);
  }
  process_->setEnabled(false);
  download_db_->setEnabled(false);
  if (main_ != nullptr) {
    main_->SetActivePage(CDataDownloader::kPageVeld);
    main_->SetActivePage(CDataDownloader::kPageConnection);
  }
  RefreshPorts();
  SetNotConnectedControls();
  // With the link down nothing runs any more that the window must wait for.
  SetCloseEnabled(true);
  SetMainBusy(false);
  if (!keep_status) status_list_->clear();
  EndTrace();
  if (main_ != nullptr) {
    // The POIs were judged against the coverage of the device that is gone.
    if (main_->poi_page() != nullptr) main_->poi_page()->ResetPoiPage();
    main_->poisSaved = 0;
    if (main_->veld_page() != nullptr) main_->veld_page()->ResetSourceChoice();
  }
}

}  // namespace tessor
