#pragma once

#include <QString>

#include "poi/map_page.h"

namespace tessor {

// The map script and marker images that go with this program: the installed
// copy beside the executable (BINDIR/../share/tessor/map), wherever the
// package or `cmake --install` put it; otherwise the compiled-in install
// folder, or the source tree's when the program runs from its build folder.
MapAddresses ProgramMapAddresses();
// The same for a program that lives in program_dir.
MapAddresses MapAddressesBeside(const QString& program_dir);

}  // namespace tessor
