// The status page's device work: the load when the page is shown, the buttons
// and the erase. Every engine call runs off the GUI thread.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"
#include "logger/erase_wait.h"
#include "logger/logger_settings.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"
#include "ui/dlg_device_status.h"
#include "ui/message_seam.h"
#include "ui/question_seam.h"
#include "ui/wait_box.h"

namespace tessor {

namespace {
constexpr int kEraseTickMs = 100;

bool WaitBoxShown() {
  const QString title = LoadText(kStrPleaseWait);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == title) return true;
  }
  return false;
}

// Watches for a position sentence until one is seen or the time is up.
bool SeesPositions(CDeviceEngine& engine, std::chrono::steady_clock::time_point since, int ms) {
  return engine.WaitForPositionText(since + std::chrono::milliseconds(ms));
}
}  // namespace

struct CDlgDeviceStatus::LoadResult {
  bool flash_ok = false;
  int percent = 0;
  bool config_ok = false;
  LoggerConfig config;
  bool streaming = false;
};

void CDlgDeviceStatus::StartLoad() {
  CDeviceEngine& e = engine();
  e.ForgetPositionText();
  const auto since = std::chrono::steady_clock::now();
  if (!WaitBoxShown()) {
    wait_box_ = new CdlgWaitBox(this);
    wait_box_->open();
  }
  SetDeviceButtonsEnabled(false);
  auto result = std::make_shared<LoadResult>();
  load_call_.Run(
      [&e, result, since] {
        e.transport().Pause(timing::kWaitBoxPauseMs);
        FlashUsage usage;
        result->flash_ok = CallWithTries(e, kProcedureTries, TryPacing::kPaused, [&e, &usage] {
                             return e.QueryFlashUsage(&usage);
                           }) == kResultOk;
        result->percent = usage.used_percent;
        result->config_ok = QueryLoggerConfigWithTries(e, &result->config) == kResultOk;
        // One more pause, as between tries, before the positions are looked at.
        e.transport().Pause(timing::kSettingTryPauseMs);
        result->streaming = SeesPositions(e, since, kStreamWatchMs);
        return 0;
      },
      [this, result](int) { FinishLoad(*result); });
}

void CDlgDeviceStatus::FinishLoad(const LoadResult& r) {
  if (r.flash_ok) ShowFlash(r.percent);
  if (r.config_ok) {
    ShowConfig(r.config.data_type, r.config.memory_full, r.config.log_type, r.config.log_interval);
  }
  SetDeviceButtonsEnabled(Connected() && main_.operationRunning == 0);
  gps_mouse_ = r.streaming;
  gps_mouse_button_->setText(gps_mouse_ ? "Disable" : "Enable");
  if (wait_box_ != nullptr) {
    wait_box_->close();
    wait_box_->deleteLater();
    wait_box_ = nullptr;
  }
  if (!r.flash_ok && !r.config_ok) {
    Box(LoadText(kStrFlashAndConfigFailed));
  } else if (!r.flash_ok) {
    Box(LoadText(kStrFlashUsageFailed));
  } else if (!r.config_ok) {
    Box(LoadText(kStrConfigFailed));
  }
}

// One device call at a time; the device buttons stay off until it returns.
// False when another call still runs and this one was not started.
bool CDlgDeviceStatus::RunDeviceCall(std::function<int()> work, std::function<void(int)> done) {
  if (op_call_.running() || load_call_.running()) return false;
  SetDeviceButtonsEnabled(false);
  op_call_.Run(std::move(work), [this, done = std::move(done)](int result) {
    SetDeviceButtonsEnabled(Connected() && main_.operationRunning == 0 && engine().transfer_idle());
    done(result);
  });
  return true;
}

void CDlgDeviceStatus::QueryFlashClicked() {
  if (!Connected()) return;
  auto usage = std::make_shared<FlashUsage>();
  CDeviceEngine& e = engine();
  RunDeviceCall([&e, usage] { return e.QueryFlashUsage(usage.get()); },
                [this, usage](int result) {
                  if (result != kResultOk) {
                    flash_text_->setText("Not Get Info.");
                    Box("Can't get flash usage information.");
                    return;
                  }
                  flash_bar_->setRange(0, 100);
                  flash_bar_->setValue(usage->used_percent);
                  flash_text_->setText(QString::asprintf("%03d%%", int{usage->used_percent}));
                  Box("Get flash usage information.");
                });
}

void CDlgDeviceStatus::QueryBatteryClicked() {
  if (!Connected()) return;
  auto value = std::make_shared<uint8_t>(0);
  CDeviceEngine& e = engine();
  RunDeviceCall([&e, value] { return e.QueryBattery(value.get()); },
                [this, value](int result) {
                  if (result != kResultOk) {
                    battery_text_->setText("Not Get Info.");
                  } else {
                    battery_text_->setText(*value == 0 ? "Battery Low!" : "Battery OK!");
                  }
                });
}

// An interval the logger does not take is refused with the page's own hint,
// before anything is sent or stored.
bool CDlgDeviceStatus::IntervalAccepted() {
  // Other device models start their range at 5.
  const bool other_model = main_.connection_page()->device_type()->currentIndex() != 0;
  const uint32_t least = other_model ? 5 : 1;
  const uint32_t interval = interval_->text().toUInt();
  if (!interval_->text().isEmpty() && interval >= least && interval <= kIntervalMost) return true;
  if (other_model) {
    Box("Please input interval value.(5~60)", false);
  } else {
    Box(LoadText(kStrInputInterval));
  }
  return false;
}

void CDlgDeviceStatus::SetLogConfigClicked() {
  if (!IntervalAccepted()) return;
  if (!Connected()) return;
  const int full = overwrite_->isChecked() ? 0 : 1;
  const int type = data_type_[0]->isChecked() ? 0 : data_type_[1]->isChecked() ? 1 : 2;
  const uint32_t interval = interval_->text().toUInt();
  main_.settings.interval = static_cast<uint8_t>(interval & 0xFF);
  CDeviceEngine& e = engine();
  RunDeviceCall(
      [&e, interval, type, full] {
        EnterSettingMode(e);
        return e.SetLoggerConfig(0, interval, type, full);
      },
      [this](int result) {
        Box(LoadText(result != kResultOk ? kStrSetConfigFailed : kStrSetConfigDone));
      });
}

void CDlgDeviceStatus::SetSwitchesClicked() {
  if (!Connected()) return;
  const int log = log_enable_->isChecked() ? 1 : 0;
  const int nmea = nmea_enable_->isChecked() ? 1 : 0;
  CDeviceEngine& e = engine();
  RunDeviceCall([&e, log, nmea] { return e.SetLogSwitches(log, nmea); },
                [this](int result) {
                  if (result != kResultOk) Box("Can't set log and NMEA on or off.");
                });
}

void CDlgDeviceStatus::GpsMouseClicked() {
  if (!Connected()) return;
  const bool turn_on = !gps_mouse_;
  CDeviceEngine& e = engine();
  RunDeviceCall([&e, turn_on] { return e.SetLogSwitches(1, turn_on ? 1 : 0); },
                [this, turn_on](int result) {
                  if (result != kResultOk) {
                    Box("G-Mouse setting Error.");
                    return;
                  }
                  gps_mouse_ = turn_on;
                  gps_mouse_button_->setText(turn_on ? "Disable" : "Enable");
                  Box(turn_on ? "Set G-mouse enable." : "Set G-mouse disable");
                });
}

void CDlgDeviceStatus::EraseClicked() {
  if (!Connected() || erase_call_.running()) return;
  if (!AskOkCancel(this, LoadText(kStrCaption), LoadText(kStrEraseWarning))) return;
  StartErase();
}

void CDlgDeviceStatus::StartErase() {
  if (!Connected() || erase_call_.running()) return;
  CDeviceEngine& e = engine();
  const bool started = RunDeviceCall([&e] { return e.EraseLog(); },
                                     [this](int result) {
                                       if (result != kResultOk) {
                                         EndErase(false);
                                         Box(LoadText(kStrSetCommandFailed));
                                         return;
                                       }
                                       EraseAccepted();
                                     });
  if (!started) return;
  erase_job_ = true;
  emit jobProgress(kJobName, 0, 0);
}

void CDlgDeviceStatus::CancelJob() {
  if (erase_job_) Box(kEraseUnstoppable);
}

void CDlgDeviceStatus::EndErase(bool ok) {
  if (!erase_job_) return;
  erase_job_ = false;
  emit jobEnded(kJobName, ok);
}

// The erase is over when the device has gone quiet, whenever its first report
// comes: the page follows the wait itself, not a flag the wait may not yet have set.
void CDlgDeviceStatus::EraseAccepted() {
  erase_ticks_ = 0;
  main_.operationRunning = 1;
  SetDeviceButtonsEnabled(false);
  CDeviceEngine& e = engine();
  erase_call_.Run([&e] { return static_cast<int>(WaitEraseEnd(e)); },
                  [this](int end) { EraseFinished(static_cast<EraseEnd>(end)); });
  erase_timer_->start(kEraseTickMs);
}

void CDlgDeviceStatus::EraseTick() {
  ++erase_ticks_;
  elapsed_->setText(
      QString::asprintf("%s %d sec", LoadString(kStrErasingElapsed), erase_ticks_ / 10));
  // Once a second is enough for the window's elapsed time.
  if (erase_ticks_ % 10 == 0) emit jobProgress(kJobName, 0, 0);
}

void CDlgDeviceStatus::EraseFinished(EraseEnd end) {
  erase_timer_->stop();
  main_.operationRunning = 0;
  // The wait has no limit and no stop here: it ends quiet or with the line.
  const bool linked = end == EraseEnd::kQuiet && engine().link_up();
  SetDeviceButtonsEnabled(Connected() && linked && engine().transfer_idle());
  // A wait ended by a lost link says nothing about the erase.
  if (linked) {
    elapsed_->setText(LoadText(kStrErasingFinished));
  } else {
    elapsed_->clear();
  }
  EndErase(linked);
}

}  // namespace tessor
