#pragma once

#include <QColor>
#include <QComboBox>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>

#include "engine/recording_transport.h"
#include "engine/trace_format.h"
#include "ui/background_call.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tessor {

class CDataDownloader;
class CDeviceEngine;
class PortDirectory;

// A drop-down list that tells when it is about to drop down.
class PortComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 signals:
  void aboutToDropDown();
};

// The Connection page: port choice, connect and disconnect, the status list,
// the progress bar and the lamp, and the start of the upload and download.
class CDlgConnection : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTimerOperation = 1;
  static constexpr int kTimerHandshake = 2;
  static constexpr int kTimerProcess = 3;
  // Periods of those timers: the operation timer while an upload runs and
  // while a download runs, the handshake timer, and the delay after which the
  // VELD setting page's upload starts on this page.
  static constexpr int kUploadPollMs = 950;
  static constexpr int kDownloadPollMs = 550;
  static constexpr int kHandshakePollMs = 550;
  static constexpr int kProcessDelayMs = 500;
  static const QColor kLampWhite;
  static const QColor kLampGreen;
  static const QColor kLampRed;
  // How often an empty port list looks again for a plugged-in adapter.
  static constexpr int kPortPollMs = 2000;

  CDlgConnection(CDeviceEngine& engine, PortDirectory& ports, QWidget* parent = nullptr);
  // Completes a trace still being written.
  ~CDlgConnection() override;

  void SetMainWindow(CDataDownloader* main) { main_ = main; }
  void Initialise();
  void RefreshPorts();
  void ConnectClicked();
  void UploadChecked();
  void PoiChecked();
  void ProcessClicked();
  void DownloadClicked();
  void TimerTick(int timer);
  void StartTimer(int timer, int ms);
  void StopTimer(int timer);
  bool TimerActive(int timer) const;

  // Engine reports, on the GUI thread.
  void AddStatusLine(const QString& text, bool replace_last);
  void OnNotification(int id, qint64 first, qint64 second);

  // Each connection from now on records the serial line into a dated trace in
  // the data folder.
  void SetRecordLine(bool on) { record_line_ = on; }
  bool record_line() const { return record_line_; }
  // The trace being written, empty when none.
  QString trace_path() const;

  bool connected() const { return connected_; }
  bool connectAttempted() const { return connect_attempted_; }
  bool poi_allowed() const { return poi_allowed_; }
  QColor lamp_colour() const { return lamp_colour_; }
  bool lamp_blinking() const { return lamp_blinking_; }
  QRect LampRect() const;
  bool device_call_running() const { return call_.running(); }

  // The upload or database download started from this page, for the window.
  bool JobRunning() const { return job_ != Job::kNone; }
  // Why closing must wait, e.g. "an upload is running"; empty when nothing runs.
  QString RunningJobText() const;
  // Stops the running job cooperatively; its end then reports it as cancelled.
  void CancelJob();
  bool CanCancel() const { return true; }
  // The "Download DB" button, shown with all pages.
  void SetDownloadVisible(bool visible);

  // Controls, by their place on the page.
  PortComboBox* port_list() const { return port_list_; }
  QComboBox* device_type() const { return device_type_; }
  QPushButton* connect_button() const { return connect_button_; }
  QListWidget* status_list() const { return status_list_; }
  QCheckBox* poi_download() const { return poi_download_; }
  QCheckBox* veld_upload() const { return veld_upload_; }
  QPushButton* process_button() const { return process_; }
  QPushButton* download_db() const { return download_db_; }
  QProgressBar* progress() const { return progress_; }
  QGroupBox* setting_group() const { return setting_group_; }
  QAction* clear_action() const { return clear_action_; }

 signals:
  // A long job moved on: done and total in bytes; total 0 when the size is unknown.
  void jobProgress(const QString& job, qint64 done, qint64 total);
  // The job is over: ok false when it failed or was cancelled.
  void jobEnded(const QString& job, bool ok);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  enum class Job { kNone, kUpload, kDownload };

  void BuildControls();
  void StartJob(Job job);
  QString JobName() const;
  void EndUpload(bool reset_asked);
  void EndDownload(bool whole);
  void DownloadControlsBack();
  void ShowDownloadVerdict();
  void BeginDisconnect(bool keep_status);
  void ForcedDisconnect();
  void ShowPortError();
  void UpdateConnectEnabled();
  void PollPorts();
  void StartOperationState(bool keep_status = false);
  void OnConnectResult(int result);
  void FinishDisconnect(bool keep_status);
  void HandshakeEnded();
  void EndFailedConnect();
  void DisconnectEngine(std::function<void()> done);
  void SetNotConnectedControls();
  void StartTrace();
  void EndTrace();
  void EndFailedTrace(int result);
  void AskResetAndDisconnect();
  void SetLamp(const QColor& colour);
  void SetListsEnabled(bool enabled);
  void SetConnectedState(bool connected);
  void SetMainBusy(bool busy);
  void SetCloseEnabled(bool enabled);
  void Box(const QString& text, const QString& caption = {});
  void FailureBox(const QString& text);
  QTimer* Timer(int timer) const;

  CDeviceEngine& engine_;
  PortDirectory& ports_;
  CDataDownloader* main_ = nullptr;
  BackgroundCall call_;

  PortComboBox* port_list_ = nullptr;
  QComboBox* device_type_ = nullptr;
  QPushButton* connect_button_ = nullptr;
  QListWidget* status_list_ = nullptr;
  QGroupBox* setting_group_ = nullptr;
  QCheckBox* poi_download_ = nullptr;
  QCheckBox* veld_upload_ = nullptr;
  QPushButton* process_ = nullptr;
  QPushButton* download_db_ = nullptr;
  QLabel* process_status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer* timers_[3] = {};
  QTimer* port_poll_ = nullptr;
  QAction* clear_action_ = nullptr;

  bool connected_ = false;
  bool connect_attempted_ = false;
  bool poi_allowed_ = false;
  QColor lamp_colour_ = kLampWhite;
  bool lamp_blinking_ = false;
  QString caption_;
  QString text_connect_;
  QString text_disconnect_;
  int tried_port_ = 0;  // the port number of the last connect
  Job job_ = Job::kNone;
  bool cancel_requested_ = false;
  QElapsedTimer job_clock_;
  bool record_line_ = false;
  trace::TraceWriter trace_;
  RecordingTransport recorder_;
};

}  // namespace tessor
