// Connect and disconnect on the Connection page. The engine calls run off the
// GUI thread; the page keeps its controls disabled until they return.
#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "app/port_directory.h"
#include "app/shell.h"
#include "engine/device_engine.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/message_seam.h"
#include "ui/poi_management_dlg.h"
#include "ui/veld_setting_dlg.h"

namespace tessor {

namespace {
constexpr int kPauseBeforeConnectMs = 200;
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
  engine_.image_path.clear();
  progress_->setValue(0);
  text_connect_ = LoadText(243);
  text_disconnect_ = LoadText(242);
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
        std::this_thread::sleep_for(std::chrono::milliseconds(kPauseBeforeConnectMs));
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
  const QString cause = ToWide(PortErrorText(engine_.last_system_error.load()));
  ShowMessage(this, "Error", "Can not open " + port + ": " + cause);
}

void CDlgConnection::OnConnectResult(int result) {
  if (result == kResultOk || result == kResultNoDatabase) {
    poi_allowed_ = result == kResultOk;
    StartTimer(kTimerHandshake, 550);
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
    Box(LoadText(111));
  }
  SetConnectedState(false);
  if (result == kResultPortOpen || result == kResultPortSettings) RefreshPorts();
  SetNotConnectedControls();
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
  if (engine_.link_flag.load() && engine_.track_table_read.load()) {
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
  if (main_ != nullptr) {
    // The POIs were judged against the coverage of the device that is gone.
    if (main_->poi_page() != nullptr) main_->poi_page()->ResetPoiPage();
    main_->poisSaved = 0;
    if (main_->veld_page() != nullptr) main_->veld_page()->ResetSourceChoice();
  }
}

}  // namespace tessor
