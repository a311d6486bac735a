#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/auto_reset_event.h"
#include "engine/database_info.h"
#include "engine/engine_fields.h"
#include "engine/engine_observer.h"
#include "engine/engine_state.h"
#include "engine/protocol_constants.h"
#include "engine/receiver.h"
#include "engine/result_codes.h"
#include "engine/serial_port.h"
#include "engine/transport.h"
#include "engine/wake_signal.h"

namespace tessor {

namespace test {
struct EngineTestAccess;
}

// The one object through which the program reaches the device. Plain fields
// grouped by concern; operations are members, defined in a file per concern:
// each group below names the file that defines it.
class CDeviceEngine {
 protected:
  // Declared first: the run flags below wake the engine's waits through it.
  WakeSignal wake_;

 public:
  using PortResolver = std::function<std::string(int port_number)>;

  // --- Construction and reporting (engine_report.cpp) ---
  CDeviceEngine();
  virtual ~CDeviceEngine();
  CDeviceEngine(const CDeviceEngine&) = delete;
  CDeviceEngine& operator=(const CDeviceEngine&) = delete;
  // Safe while threads run; a report already under way may still reach the
  // previous observer, so stop the threads before destroying it.
  void SetObserver(EngineObserver* observer) { observer_ = observer; }
  // Adds a numbered text as a status line.
  void ReportStatus(int string_id, bool replace_last = false);
  // Adds a status line unless it equals the last one.
  void ReportStatusText(const std::string& text, bool replace_last = false);
  void PostNotification(int id, int64_t first, int64_t second);
  void ShowMessage(const std::string& text);
  std::string last_status_line() const;
  // Tells the observer that a job on its own thread has ended.
  void ReportOperationEnd(OperationKind kind, ResultCode result);
  // A job's end result: whole, or why not as far as the engine can tell.
  ResultCode JobEndResult(bool whole) const;

  // --- Serial link and receive ring (serial_link.cpp) ---
  // Maps a port number to a device path; the application provides the directory.
  void SetPortResolver(PortResolver resolver) { resolver_ = std::move(resolver); }
  ResultCode OpenPort();
  ResultCode ReadQueued();
  bool WriteSentence(const char* text, size_t length);
  void ClosePort();
  // One cycle of the link thread: waits up to wait_ms for input, reads it, runs
  // the receiver, sends queued commands and ends the link when the port is lost.
  void LinkPoll(int wait_ms);
  // Feeds the bytes pending in the ring to the sentence receiver.
  ResultCode ReceiveBytes();
  // Sets a queued-command bit and wakes the link thread to send it now.
  void QueueCommand(uint32_t bit);

  // --- Command set (command_set.cpp) ---
  ResultCode BuildCommand(int number, std::span<char, kCommandBufferSize> buffer);
  ResultCode SendCommand(int number);
  void SendQueuedCommands();

  // --- Answer dispatch (dispatch.cpp) ---
  ResultCode DispatchAnswer(const char* sentence, size_t length);
  // Replaces (GGA) or extends the position text; what would not fit is dropped.
  void StorePositionSentence(std::string_view framed, bool replace);
  // Position text: the last GGA and the sentences after it, framed again.
  std::string position_text() const;
  // The last "LOG115" answer, copied whole so that the next sentence cannot
  // overwrite it before the waiting read takes it.
  std::string TakeReadAnswer();
  void StoreReadAnswer(std::string_view text);
  // Answer flags and events, set by the dispatch: a set bit wakes the waits.
  AutoResetEvent& event(AnswerEvent e) { return events_[static_cast<int>(e)]; }
  void SetA(uint32_t bits) {
    flags_a.fetch_or(bits);
    wake_.Notify();
  }
  void ClearA(uint32_t bits) { flags_a.fetch_and(~bits); }
  void SetB(uint16_t bits) {
    flags_b.fetch_or(bits);
    wake_.Notify();
  }
  void ClearB(uint16_t bits) { flags_b.fetch_and(static_cast<uint16_t>(~bits)); }
  void Signal(AnswerEvent e) { event(e).Set(); }

  // --- Threads (engine_threads.cpp) ---
  enum ThreadSlot : int {
    kSlotLink,
    kSlotHandshake,
    kSlotTrackDownload,
    kSlotDatabaseUpload,
    kSlotDatabaseDownload,
    kSlotSpare1,
    kSlotSpare2,
    kSlotCount
  };
  // Starts a thread in a slot; kResultThreadStart when the slot's previous
  // thread does not end or no thread can be started.
  ResultCode StartThread(int slot, void (CDeviceEngine::*procedure)());
  // Clears the run flags, waits up to 5000 ms for the thread and joins it.
  void StopThread(int slot);
  bool ThreadRunning(int slot) const;
  // Waits (bounded) for a slot's thread that has been told to end, and joins it.
  bool JoinEnded(int slot);
  void StopAllThreads();
  // Restores the blind 100 ms sleep of the link thread (benchmark comparison only).
  void set_blind_poll(bool blind) { blind_poll_ = blind; }

  // --- Short operations (short_operations.cpp) ---
  ResultCode QueryBattery(uint8_t* value);
  ResultCode QueryFlashUsage(FlashUsage* usage);
  ResultCode SetLogSwitches(int log, int nmea);
  ResultCode SetLoggerConfig(int log_type, uint32_t interval, int data_type, int memory_full);
  ResultCode SetAlertRanges(int critical, int notification);
  ResultCode SetSpeedFilter(int32_t value);
  ResultCode QueryLoggerConfig(LoggerConfig* out);
  ResultCode EraseLog();

  // --- Long operations (long_operations.cpp) ---
  // 0 (the header in *header when given), 29 refused, 30 no answer.
  ResultCode QueryTrackHeader(int index, TrackHeaderAnswer* header = nullptr);
  // 0 when the device said its name, 27 after five waits without it.
  ResultCode QueryDeviceName();
  // Answered: 0; no answer after three waits: 27. With notify, a device that
  // left link mode says so in a message box.
  ResultCode SetLinkMode(LinkMode mode, bool notify);
  void QueryVersion();
  void WaitEraseDone();
  void SetOutputFolder(const std::string& path);
  ResultCode StartDatabaseUpload();
  ResultCode StartDatabaseDownload();

  // --- Track download (logger/track_download.cpp) ---
  ResultCode StartTrackDownload();
  void DownloadTracks();
  // Bytes one command 102 asks for at most (cut to a multiple of the record
  // size). 40 full blocks: the request's blocks arrive well inside its 2000 ms
  // wait at 57600 baud, so no request is cut by its own time-out.
  static constexpr uint32_t kRequestLimit = 9600;
  uint32_t request_limit = kRequestLimit;
  // The largest track the download takes: the logger's transfer buffer.
  static constexpr uint32_t kTrackBufferSize = 0x900000;
  uint32_t track_buffer_size = kTrackBufferSize;  // a longer track goes in pieces
  std::string track_file_path;

  // --- Database reads (database/database_transfer.cpp) ---
  // kResultOk, kResultNoDatabase (the bytes read are not a database),
  // kResultNoAnswerRetries (a piece went unanswered) or kResultPortNotOpen.
  ResultCode QueryDatabaseInfo();
  ResultCode ReadDeviceBlock(uint32_t start, uint32_t length);
  ResultCode ReadDatabaseHeader();
  ResultCode ReadDatabaseIndex();
  ResultCode ReadPointData();

  // --- Database upload (database/database_upload.cpp) ---
  void UploadDatabase();

  // --- Database download and comparison (database/database_download.cpp) ---
  void DownloadDatabase();
  bool CompareImageFiles(const std::string& uploaded, const std::string& downloaded);
  // Reports the first difference as a status line; true when the two are equal.
  bool CompareImages(const std::vector<uint8_t>& uploaded, const std::vector<uint8_t>& downloaded);

  // --- What pages and callers read, as copies (engine_state.cpp) ---
  // Nobody outside the engine locks its mutexes or reads its job fields: a
  // page's timer or a caller asks here, and learns of a job's end through
  // the observer's OnOperationEnd.
  bool link_up() const { return link_flag.load(); }
  bool port_open() const { return (link_status.load() & 0x1) != 0; }
  // No block transfer runs: the device takes sentences again.
  bool transfer_idle() const { return ignore_blocks.load(); }
  int last_system_error() const { return last_system_error_.load(); }
  // Done once the handshake has ended and taken the device out of link mode:
  // a job started on it no longer crosses the handshake's last mode change.
  bool handshake_done() const { return handshake_done_.load(); }
  // The last handshake read the track table; done without it is a failed connect.
  bool track_table_read() const { return track_table_read_.load(); }
  bool connect_progress() const { return connect_progress_.load(); }
  int upload_finished() const { return upload_finished_.load(); }
  bool database_download_finished() const { return database_download_finished_.load(); }
  bool upload_succeeded() const { return upload_succeeded_.load(); }
  bool download_succeeded() const { return download_succeeded_.load(); }
  // Clears the ends of earlier jobs, so that a page's timer waits for the next.
  void ClearJobEnds();
  TrackTable track_table() const;
  // Marks the valid tracks among indices for the next download, and only them.
  void SelectTracks(const std::vector<int>& indices);
  // Marks every valid track.
  void SelectAllTracks();
  TrackDownloadSummary track_download_summary() const;
  // Whether the next track download goes on from the notes an unfinished one
  // left in the folder: whole tracks are not asked for again, a stopped one
  // goes on after its kept records.
  void SetTrackResume(bool resume) { track_resume_ = resume; }
  // Where track `index` of that date is written.
  std::string TrackFilePath(int index, uint32_t date) const;
  // Bytes the next download asks for: the selected tracks', less those of
  // tracks whole in the output folder when it resumes.
  uint64_t TrackBytesToCome() const;
  uint32_t track_bytes_received() const { return transfer.overall_received.load(); }
  DeviceSummary device_summary() const;
  // The image the last upload sends, and its size once read.
  void SetImagePath(std::string path);
  std::string image_path() const;
  uint32_t image_size() const { return image_size_.load(); }
  // The image of the last whole download, taken from the engine.
  std::vector<uint8_t> TakeDownloadedImage();
  void set_download_compares_upload(bool compare) { download_compares_upload_ = compare; }
  // Forgets the position sentences seen so far; WaitForPositionText then
  // waits for the next one.
  void ForgetPositionText() { ClearB(flag_b::kPositionText); }
  // Until a position sentence has come since ForgetPositionText, or until.
  bool WaitForPositionText(std::chrono::steady_clock::time_point until) const;
  // Tells the running worker (track download, erase wait) to stop.
  void StopWorker() { worker_running = false; }
  // Takes the link down: the link thread closes the port, the database jobs end.
  void StopLink() { link_flag = false; }

  // --- Connect, handshake and disconnect (connect.cpp) ---
  ResultCode Connect(int port_number);
  ResultCode Disconnect();

  // --- Fields, shared by the files above ---
  // Link state.
  uint8_t port_number = 1;
  std::string port_path;
  SerialPort port;  // the engine's own line, used unless another transport is set
  // Every device read, write, wait and close and every protocol pause goes
  // through this transport.
  Transport& transport() const { return *transport_.load(); }
  // Sets the transport (a recorder around port, a test's own); nullptr gives
  // back the engine's own port. Only while no thread runs and the line is closed.
  void SetTransport(Transport* transport) { transport_.store(transport ? transport : &port); }
  std::atomic<uint32_t> link_status{0};  // 0x1: port open
  ReceiveRing ring;
  SentenceReceiver receiver;
  int port_access_errors = 0;

  // Run flags shared between threads; the waits that end when the link or a
  // worker is told to stop wake at once on those two.
  WakingFlag link_flag{wake_, false};
  std::atomic<bool> busy_flag{false};
  std::atomic<bool> operation_running{false};
  WakingFlag worker_running{wake_, false};
  std::atomic<bool> ignore_blocks{true};

  // Command side.
  std::atomic<uint32_t> queued_commands{0};
  std::atomic<int> last_command{0};
  CommandArgs args;
  std::atomic<uint8_t> block_upload_xor{0};

  // Answer side.
  std::atomic<uint32_t> flags_a{0};
  std::atomic<uint16_t> flags_b{0};
  std::atomic<uint8_t> busy_value{0};
  uint8_t log001_value = 0;
  uint8_t log003_value = 0;
  uint8_t battery_value = 0;
  DeviceDateTime device_time;
  PositionReport position_report;
  FlashUsage flash_usage;
  TrackHeaderAnswer track_header;
  LoggerConfig config;
  std::string device_name;  // at most kDeviceNameSize - 1 bytes
  uint8_t log113_result = 0;
  uint16_t firmware_version = 0;
  int32_t capacity = 0x200000;
  TransferState transfer;
  std::mutex transfer_mutex;  // the track download prepares, the link thread fills
  PoiRead poi;

  std::atomic<int> erasing{0};
  bool device_name_present = false;
  std::string output_folder;

  // Database transfer.
  EngineDatabaseInfo database_info;
  DatabaseCoverage coverage;
  std::vector<uint8_t> read_buffer;  // destination of device reads
  // No read of device memory can be longer than the memory itself. Takes the
  // answer lock: never call it from a dispatch action, which holds it.
  uint64_t capacity_limit() const {
    const int32_t memory = Snapshot(capacity);
    return memory > 0 ? static_cast<uint64_t>(memory) : 0x200000u;
  }

  // Parsed answer values are written by the link thread under answer_mutex; an
  // operation copies them under it too, since a late or repeated answer may
  // arrive while it reads.
  mutable std::mutex answer_mutex;
  template <typename T>
  T Snapshot(const T& field) const {
    std::lock_guard<std::mutex> lock(answer_mutex);
    return field;
  }

 protected:
  friend struct test::EngineTestAccess;
  // engine_report.cpp
  void OnBinaryProtocol();
  void CloseTrackFile();
  // serial_link.cpp
  bool ResolvePortPath();
  void OnPortLost();
  void DrainWakes();
  // command_set.cpp
  void ApplySentCommand(int number);
  // engine_threads.cpp
  void LinkThread();
  // connect.cpp
  void HandshakeThread();
  void ResetForConnect();
  bool HandshakeConfigurationStep(int* retries, bool* headers_phase);
  bool HandshakeHeaderStep(int* retries);
  void FinishHeaders();
  void EndHandshake();
  // The handshake thread's own: its loop ended by itself, not by a disconnect.
  bool handshake_ended_ = false;
  // short_operations.cpp
  bool Busy() const;
  // Waits until one of the flag bits is set, or the time is up: real_ms after
  // the queued command went out (bounded while it waits in the queue).
  void WaitForFlags(uint32_t queue_bit, uint32_t a_bits, uint16_t b_bits, int real_ms);
  // long_operations.cpp
  bool WaitRounds(AnswerEvent e, int rounds, int wait_ms, int command);
  // logger/track_download.cpp
  void TrackDownloadThread();
  enum class TrackOutcome { kComplete, kGivenUp, kStopped };
  TrackOutcome DownloadTrackBytes(uint32_t start_address, uint32_t total, uint32_t record_size);
  TrackOutcome DownloadTrack(int index, const TrackHeaderRecord& h, uint32_t record_size,
                             std::vector<uint8_t> kept);
  bool DownloadOneTrack(int index, const TrackHeaderRecord& h, int* retries, uint32_t* record_size);
  void KeepTrackNote(const TrackHeaderRecord& h, TrackOutcome outcome, bool kept);
  void EndTrack(int index, TrackEnd end);
  void RemoveRunNotes(const std::vector<TrackHeaderRecord>& headers);
  bool NextRequest(uint32_t start_address, uint32_t total, uint32_t record_size);
  bool OpenTrackFile(const std::string& path);
  // Keeps or removes the part file; true when the file is in place under its name.
  bool FinishTrackFile(bool keep, bool list = true);
  bool ReadBackTrackFile();
  bool RereadHeader(int index, int* retries, bool* skip);
  void ReportTrackLost(int index);
  void FillMissing(uint32_t total);
  void DrainStaleAnswers(uint32_t base, uint32_t sends);
  bool WaitForTrackAnswer(AutoResetEvent& answered);
  // database/database_transfer.cpp
  ResultCode ReadPiece(uint32_t address, uint32_t n, uint8_t* out);
  bool NextReadAnswer(std::chrono::steady_clock::time_point deadline, std::string* answer);
  void SettleReadAnswers();
  // database/database_upload.cpp
  void DatabaseUploadThread();
  // The upload's steps; the first value of the end notification.
  int UploadSteps();
  bool UploadBlocks(const std::vector<uint8_t>& image, uint32_t block_size);
  bool CheckImageBeforeUpload(const std::vector<uint8_t>& image);
  // database/database_download.cpp
  void DatabaseDownloadThread();
  bool DownloadSteps(std::vector<uint8_t>* image);

  struct Slot {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  std::array<Slot, kSlotCount> slots_;
  mutable std::mutex slots_mutex_;
  std::atomic<bool> blind_poll_{false};
  int wake_fd_ = -1;  // eventfd that wakes the link thread for queued commands
  std::atomic<Transport*> transport_{&port};

  std::atomic<EngineObserver*> observer_{nullptr};
  PortResolver resolver_;
  std::array<AutoResetEvent, static_cast<size_t>(AnswerEvent::kCount)> events_;
  mutable std::mutex report_mutex_;
  std::string last_status_line_;
  mutable std::mutex position_mutex_;
  std::mutex read_answer_mutex_;
  std::string read_answer_;
  // Asks of command 115 whose answers may still come, and when the last was
  // sent: such an answer must not be taken for a later piece.
  int read_asks_open_ = 0;
  std::chrono::steady_clock::time_point read_last_ask_{};
  std::FILE* track_file_ = nullptr;
  std::string track_part_path_;  // where the track is written until it is whole
  // Direct sends come from worker threads, queued ones from the link thread:
  // one sentence at a time, and never while the port is being closed.
  std::mutex port_mutex_;
  std::string position_text_;

  // The connection's and the jobs' state, read through the accessors above.
  std::atomic<int> last_system_error_{0};
  std::atomic<bool> handshake_done_{false};
  std::atomic<bool> track_table_read_{false};
  std::atomic<bool> connect_progress_{false};
  std::atomic<bool> database_download_finished_{false};
  std::atomic<int> upload_finished_{0};
  std::atomic<bool> upload_succeeded_{false};
  std::atomic<bool> download_succeeded_{false};
  std::atomic<int> tracks_lost_{0};
  // Selected tracks of the last track download that did not end in a whole
  // file (lost, refused, stopped or never reached), and whether a track file
  // could not be created or written.
  std::atomic<int> tracks_unfinished_{0};
  std::atomic<bool> track_file_failed_{false};
  std::vector<std::string> files_written_;  // guarded by headers_mutex_
  std::vector<TrackResult> track_ends_;     // guarded by headers_mutex_
  std::atomic<bool> track_resume_{false};
  // The track being downloaded, on the download thread: its records so far,
  // and the size and check value of what went into its file.
  std::vector<uint8_t> track_records_;
  uint64_t track_file_size_ = 0;
  uint64_t track_file_check_ = 0;
  mutable std::mutex image_mutex_;
  std::string image_path_;  // guarded by image_mutex_
  std::atomic<uint32_t> image_size_{0};
  // The image of the last whole download, for its caller: DLDB.bin is shared
  // by every run of the program and may already hold another run's image.
  std::vector<uint8_t> downloaded_image_;  // guarded by image_mutex_
  // Whether a download compares its image with ULDB.bin, the last upload's
  // copy (the desktop page); a caller that compares on its own clears it.
  std::atomic<bool> download_compares_upload_{true};
  // Track headers read by the handshake; guarded by headers_mutex_.
  mutable std::mutex headers_mutex_;
  std::vector<TrackHeaderRecord> track_headers_;
  std::vector<uint32_t> valid_headers_;
  uint32_t total_track_data_size_ = 0;
};

}  // namespace tessor
