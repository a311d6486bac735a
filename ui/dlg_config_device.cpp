// The configuration page's device work; the engine calls run off the GUI thread.
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "app/shell.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "ui/data_downloader.h"
#include "ui/dlg_config.h"
#include "ui/message_seam.h"

namespace tessor {

void CDlgConfig::RunDeviceCall(std::function<int()> work, std::function<void(int)> done) {
  if (call_.running()) return;
  call_.Run(std::move(work), std::move(done));
}

void CDlgConfig::Box(const QString& text, bool owned) {
  ShowMessage(owned ? this : nullptr, LoadText(kStrCaption), text);
}

// No mode change before the command: the status page is the one that makes it.
void CDlgConfig::SetConfigClicked() {
  // Empty or outside what the logger takes: the hint names the range, nothing is sent.
  const uint32_t typed = interval_->text().toUInt();
  if (interval_->text().isEmpty() || typed < kIntervalLeast || typed > kIntervalMost) {
    Box(LoadText(kStrInputInterval), true);
    return;
  }
  if (main_.connected == 0) return;
  const int log_type = by_time_->isChecked() ? 0 : 1;
  const int full = overwrite_->isChecked() ? 0 : 1;
  const int data_type = type_[0]->isChecked() ? 0 : type_[1]->isChecked() ? 1 : 2;
  const uint32_t interval = interval_->text().toUInt();
  CDeviceEngine& e = main_.engine();
  RunDeviceCall([&e, log_type, interval, data_type,
                 full] { return e.SetLoggerConfig(log_type, interval, data_type, full); },
                [this](int result) {
                  if (result != kResultOk) Box(LoadText(kStrSetConfigFailed), true);
                });
}

void CDlgConfig::SetSwitchesClicked() {
  if (main_.connected == 0) return;
  const int log = log_enable_->isChecked() ? 1 : 0;
  const int nmea = nmea_enable_->isChecked() ? 1 : 0;
  CDeviceEngine& e = main_.engine();
  RunDeviceCall([&e, log, nmea] { return e.SetLogSwitches(log, nmea); },
                [this](int result) {
                  if (result != kResultOk) Box("Filed to set Log and NMEA ON or OFF.", false);
                });
}

void CDlgConfig::SetSpeedFilterClicked() {
  if (speed_->text().isEmpty()) {
    Box("Please input Speed!", false);
    return;
  }
  if (main_.connected == 0 || !speed_enable_->isChecked()) return;
  const auto value = static_cast<int32_t>(speed_->text().toInt());
  CDeviceEngine& e = main_.engine();
  RunDeviceCall([&e, value] { return e.SetSpeedFilter(value); },
                [this](int result) {
                  if (result != kResultOk) Box("Can't set Speed Filter.", false);
                });
}

}  // namespace tessor
