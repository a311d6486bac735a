#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace tessor {

// The figures a user plans with while a long job runs: bytes done of the
// total, the rate since the job started and the time left at that rate.
// The clock is injectable so the arithmetic can be checked with known times.
class ProgressMeter {
 public:
  // Milliseconds on a monotonic clock.
  using Clock = std::function<qint64()>;

  ProgressMeter();
  explicit ProgressMeter(Clock clock);

  // A new job starts now; what an earlier job left is forgotten.
  void Start(const QString& job);
  // The job is over; its figures stay for the end line.
  void Stop() { running_ = false; }
  // The job moved on; total 0 when the size is unknown.
  void Update(qint64 done, qint64 total);

  const QString& job() const { return job_; }
  bool running() const { return running_; }
  qint64 done() const { return done_; }
  qint64 total() const { return total_; }
  qint64 ElapsedMs() const;
  // 0..100, rounded down so 100 only shows at the end; nothing when the size is unknown.
  std::optional<int> Percent() const;
  // Bytes per second since the start; nothing until a second has passed and
  // a byte has moved, as earlier figures swing too far to plan with.
  std::optional<double> BytesPerSecond() const;
  // Whole seconds left at the current rate, rounded up; nothing without a
  // rate or a size.
  std::optional<qint64> SecondsLeft() const;

  // The status bar line, e.g. "Upload: 120 of 480 KB (25 %), 2.0 KB/s, 3 min 0 s left".
  QString Line() const;
  // The line once the job is over: what it achieved, or that it did not finish.
  QString EndLine(bool ok, bool cancelled) const;

  // "512 bytes", "12.5 KB", "3.2 MB": the unit fits the size.
  static QString Amount(qint64 bytes);
  // "45 s", "3 min 0 s", "1 h 2 min".
  static QString Duration(qint64 seconds);

 private:
  QString DoneText() const;

  Clock clock_;
  QString job_;
  bool running_ = false;
  qint64 start_ms_ = 0;
  bool first_update_ = true;
  qint64 base_ms_ = 0;
  qint64 base_done_ = 0;
  qint64 done_ = 0;
  qint64 total_ = 0;
};

}  // namespace tessor
