#pragma once

namespace tessor {

// The numbered texts of the program; an unknown id gives an empty text.
const char* LoadString(int id);

inline constexpr int kStrCaption = 106;
inline constexpr int kStrResetDevice = 110;
inline constexpr int kStrNoVeld = 116;
inline constexpr int kStrNoDataIn = 117;
inline constexpr int kStrSendFailed = 118;
inline constexpr int kStrPortAccessError = 119;

inline constexpr const char* kBinaryProtocolText =
    "Current protocol is not NMEA protocol.\r\n Please Change protocol to NMEA and Setting "
    "BaudRate is 115200.\r\n";

}  // namespace tessor
