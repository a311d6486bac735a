#include "ui/progress_meter.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

namespace tessor {

namespace {

constexpr qint64 kKilo = 1024;
constexpr qint64 kMega = 1024 * 1024;
// Below a second the rate swings too far to plan with.
constexpr qint64 kRateSettleMs = 1000;

qint64 MonotonicMs() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer.elapsed();
}

// Tenths, rounded down for what is done and up for what is to come, so the
// done figure never reaches the total before the end.
QString Tenths(double value, bool up) {
  const double tenths = up ? std::ceil(value * 10.0) : std::floor(value * 10.0);
  return QString::number(tenths / 10.0, 'f', 1);
}

// Done and total in the one unit the total calls for.
QString PairText(qint64 done, qint64 total) {
  if (total < 10 * kKilo) return QString("%1 of %2 bytes").arg(done).arg(total);
  if (total < 10 * kMega) {
    const qint64 total_kb = (total + kKilo - 1) / kKilo;
    return QString("%1 of %2 KB").arg(done / kKilo).arg(total_kb);
  }
  return QString("%1 of %2 MB")
      .arg(Tenths(double(done) / kMega, false), Tenths(double(total) / kMega, true));
}

QString RateText(double bytes_per_second) {
  if (bytes_per_second < kKilo) return QString("%1 bytes/s").arg(qint64(bytes_per_second));
  if (bytes_per_second < kMega) return Tenths(bytes_per_second / kKilo, false) + " KB/s";
  return Tenths(bytes_per_second / kMega, false) + " MB/s";
}

}  // namespace

ProgressMeter::ProgressMeter() : ProgressMeter(MonotonicMs) {}

ProgressMeter::ProgressMeter(Clock clock) : clock_(std::move(clock)) {}

void ProgressMeter::Start(const QString& job) {
  job_ = job;
  running_ = true;
  start_ms_ = clock_();
  first_update_ = true;
  done_ = 0;
  total_ = 0;
}

void ProgressMeter::Update(qint64 done, qint64 total) {
  // The rate counts from the first report: the time before it went to
  // setting the job up, not to moving bytes.
  if (first_update_) {
    first_update_ = false;
    base_ms_ = clock_();
    base_done_ = done;
  }
  done_ = std::max<qint64>(done, 0);
  total_ = std::max<qint64>(total, 0);
}

qint64 ProgressMeter::ElapsedMs() const {
  return clock_() - start_ms_;
}

std::optional<int> ProgressMeter::Percent() const {
  if (total_ <= 0) return std::nullopt;
  return int(std::clamp<qint64>(done_ * 100 / total_, 0, 100));
}

std::optional<double> ProgressMeter::BytesPerSecond() const {
  if (first_update_) return std::nullopt;
  const qint64 ms = clock_() - base_ms_;
  const qint64 moved = done_ - base_done_;
  if (ms < kRateSettleMs || moved <= 0) return std::nullopt;
  return double(moved) * 1000.0 / double(ms);
}

std::optional<qint64> ProgressMeter::SecondsLeft() const {
  if (total_ <= 0 || !BytesPerSecond()) return std::nullopt;
  // Whole numbers: left bytes at moved bytes per elapsed time, rounded up.
  const qint64 left = std::max<qint64>(total_ - done_, 0);
  const qint64 ms = clock_() - base_ms_;
  const qint64 moved_ms = (done_ - base_done_) * 1000;
  return (left * ms + moved_ms - 1) / moved_ms;
}

QString ProgressMeter::DoneText() const {
  if (total_ > 0) return PairText(done_, total_);
  return Amount(done_);
}

QString ProgressMeter::Line() const {
  QString line = job_ + ": " + DoneText();
  if (const auto percent = Percent()) line += QString(" (%1 %)").arg(*percent);
  if (const auto rate = BytesPerSecond()) line += ", " + RateText(*rate);
  if (const auto left = SecondsLeft()) {
    line += ", " + Duration(*left) + " left";
  } else if (total_ <= 0) {
    line += ", " + Duration(ElapsedMs() / 1000) + " elapsed";
  }
  return line;
}

QString ProgressMeter::EndLine(bool ok, bool cancelled) const {
  if (ok) {
    const qint64 size = std::max(done_, total_);
    return QString("%1 finished: %2 in %3").arg(job_, Amount(size), Duration(ElapsedMs() / 1000));
  }
  if (cancelled) return QString("%1 cancelled after %2").arg(job_, DoneText());
  return QString("%1 did not finish: %2 done").arg(job_, DoneText());
}

QString ProgressMeter::Amount(qint64 bytes) {
  if (bytes < 10 * kKilo) return QString("%1 bytes").arg(bytes);
  if (bytes < 10 * kMega) return QString("%1 KB").arg(bytes / kKilo);
  return Tenths(double(bytes) / kMega, false) + " MB";
}

QString ProgressMeter::Duration(qint64 seconds) {
  seconds = std::max<qint64>(seconds, 0);
  if (seconds < 60) return QString("%1 s").arg(seconds);
  if (seconds < 3600) return QString("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
  return QString("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

}  // namespace tessor
