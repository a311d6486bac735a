#pragma once

namespace tessor {

// The numbered texts of the program; an unknown id gives an empty text.
const char* LoadString(int id);

inline constexpr int kStrCaption = 106;
inline constexpr int kStrResetDevice = 110;
inline constexpr int kStrNoDataCheckDevice = 111;
inline constexpr int kStrPoiNumberFailed = 112;
inline constexpr int kStrWaitForData = 113;
inline constexpr int kStrDoNotTurnOff = 114;
inline constexpr int kStrOperationMode = 115;
inline constexpr int kStrNoVeld = 116;
inline constexpr int kStrNoDataIn = 117;
inline constexpr int kStrSendFailed = 118;
inline constexpr int kStrPortAccessError = 119;
inline constexpr int kStrEraseProcessing = 148;
inline constexpr int kStrEraseDone = 149;
inline constexpr int kStrQueryVersionOk = 157;
inline constexpr int kStrVeldQueryFailed = 159;
inline constexpr int kStrInputInterval = 160;
inline constexpr int kStrSetConfigFailed = 161;
inline constexpr int kStrSetConfigDone = 162;
inline constexpr int kStrFlashAndConfigFailed = 163;
inline constexpr int kStrFlashUsageFailed = 164;
inline constexpr int kStrConfigFailed = 165;
inline constexpr int kStrSelectLogData = 166;
inline constexpr int kStrSelectPath = 167;
inline constexpr int kStrEraseWarning = 168;
inline constexpr int kStrSetCommandFailed = 169;
inline constexpr int kStrErasingFinished = 170;
inline constexpr int kStrErasingElapsed = 171;
inline constexpr int kStrTimeError = 172;
inline constexpr int kStrLatitudeError = 173;
inline constexpr int kStrLongitudeError = 174;
inline constexpr int kStrAltitudeError = 175;
inline constexpr int kStrSpeedError = 176;
inline constexpr int kStrNoLoggerResponse = 179;
inline constexpr int kStrRetryConfigQuery = 181;
inline constexpr int kStrCantGetTrack = 186;
inline constexpr int kStrTrackSkipped = 187;
inline constexpr int kStrCantGetTrackNo = 188;
inline constexpr int kStrTrackMayBeLost = 189;
inline constexpr int kStrThereAre = 192;
inline constexpr int kStrTrackErrorsTotal = 193;
inline constexpr int kStrConnectionFailure = 196;
inline constexpr int kStrDisconnect = 242;
inline constexpr int kStrConnect = 243;
inline constexpr int kStrPleaseWait = 246;
inline constexpr int kStrSelectNmeaFolder = 247;
inline constexpr int kStrConnectionComplete = 248;

inline constexpr const char* kBinaryProtocolText =
    "Current protocol is not NMEA protocol.\r\n Please Change protocol to NMEA and Setting "
    "BaudRate is 115200.\r\n";

}  // namespace tessor
