#pragma once

#include <QString>
#include <string>
#include <vector>

#include "tools/devsim/scenario.h"
#include "ui_fixture.h"

namespace tessor::test {

// A generated track as the simulated logger holds it.
devsim::TrackSource GeneratedTrack(uint32_t date, int format, uint32_t points);

// What the conversion makes of a track's records: the reference for the files.
std::string ReferenceNmea(const devsim::TrackSource& track);

// Opens the window with all pages shown and connects it to the simulated device;
// returns when the handshake has ended and the window is free again.
void ConnectLogger(UiRig& rig);

// How often a command went from the host to the device so far.
int SentCount(const UiRig& rig, int command);

// Shows a page of the main window by its Page value.
void ShowPage(UiRig& rig, int page);

}  // namespace tessor::test
