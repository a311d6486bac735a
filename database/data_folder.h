#pragma once

#include <string>

namespace tessor {

// The per-user data folder ("the program's folder" for data files), created on
// first use: $XDG_DATA_HOME/Varnelco/Tessor Series, else under
// ~/.local/share, the folder the desktop program's settings library picks too.
// Empty when it cannot be made.
std::string DataFolder();

// Creates a folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

}  // namespace tessor
