#include "ui/program_icon.h"

#include <QtGlobal>

// The resource initialiser is declared at global scope; the macro cannot be
// used inside a namespace.
static void RegisterProgramResources() {
  Q_INIT_RESOURCE(tessor);
}

namespace tessor {

QIcon ProgramIcon() {
  static const bool registered = [] {
    RegisterProgramResources();
    return true;
  }();
  Q_UNUSED(registered);
  return QIcon(kProgramIconPath);
}

}  // namespace tessor
