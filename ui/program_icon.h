#pragma once

#include <QIcon>

namespace tessor {

// The program's icon from the program's resources. The resources sit in a
// static library, where nothing refers to their initialiser: the linker would
// leave them out, so this registers them itself (once) before the first use.
QIcon ProgramIcon();

// The icon's path among the resources.
inline constexpr const char* kProgramIconPath = ":/icons/tessor.png";

}  // namespace tessor
