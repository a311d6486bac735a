#pragma once

namespace tessor {

// The texts of an image build and its checks, as the product words them.
inline constexpr const char* kBuildCellsDone = "Build cells ...Done.";
inline constexpr const char* kAddPointsDone = "Add speed camera points to cells...Done.";
inline constexpr const char* kBuildHeaderProcessing = "Build DB Header...Processing.";
inline constexpr const char* kBuildHeaderDone = "Build DB Header...Done.";
inline constexpr const char* kBuildIndexProcessing = "Build DB Index...Processing.";
inline constexpr const char* kBuildIndexDone = "Build DB Index...Done";
inline constexpr const char* kBuildDataProcessing = "Build DB Data...Processing.";
inline constexpr const char* kBuildDataDone = "Build DB Data...Done.";
inline constexpr const char* kNoCameraData = "There is no data in the Speed Camera DB!!";
inline constexpr const char* kTooFewPoints = "VELD Points have to be more than 2 points!!";
inline constexpr const char* kFormatNotCorrect = "File format is not correct!!";
inline constexpr const char* kDbSize = "DB size";
inline constexpr const char* kFlashSize = "Flash size";
inline constexpr const char* kImageTooBig =
    "Can not upload VELD, VELD size is Biger than the memory size of the device!!";

}  // namespace tessor
