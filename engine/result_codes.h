#pragma once

namespace tessor {

// Result codes shared by every device operation; 0 is success. The numbers are
// part of the product's interface (the command-line tool exits with them).
enum ResultCode : int {
  kResultOk = 0,
  kResultThreadStart = 1,        // a thread could not be started
  kResultAlreadyRunning = 2,     // already connected, or an operation is running
  kResultPortOpen = 3,           // the port cannot be opened
  kResultPortNotOpen = 4,        // the port is not open
  kResultPortStatus = 5,         // the port status query failed
  kResultRingOverflow = 6,       // receive ring overflow
  kResultTooLong = 8,            // sentence too long
  kResultBadArgument = 9,        // a command argument is out of range
  kResultUnknownCommand = 10,    // unknown command number
  kResultWriteFailed = 11,       // write failed
  kResultPortSettings = 15,      // port settings refused
  kResultDeviceBusy = 17,        // device busy
  kResultLog103Refused = 21,     // "$LOG103,0"
  kResultLog104Refused = 22,     // "$LOG104,0"
  kResultLog105Refused = 23,     // "$LOG105,0"
  kResultLog109Refused = 25,     // "$LOG109,0"
  kResultLog116Refused = 26,     // "$LOG116,0"
  kResultNoAnswer = 27,          // no answer
  kResultHandshakeRunning = 28,  // the connect handshake has not ended
  kResultNoSuchRecord = 29,      // no such record
  kResultNoAnswerRetries = 30,   // no answer after retries
  kResultBlockOutOfOrder = 31,   // data block out of order
  kResultDeviceSilent = 32,      // the device does not answer at connect
  kResultNoDatabase = 33,        // connected, but the device holds no camera database
};

}  // namespace tessor
