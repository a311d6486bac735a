#pragma once

#include <string>

namespace tessor {

// Writes the whole text to a descriptor, going on after short writes and
// interruptions; false (errno set) when the descriptor takes no more.
bool WriteAll(int fd, const std::string& text);

// Writes a whole file beside its name, under a name of this write's own, and
// renames it over the name once whole, so that a full disk or a failed write
// never leaves a cut file under the name asked for, and two writers of one
// name never mix their bytes. A device, a pipe or a link is written in place:
// renaming over it would replace it. False with errno set on failure.
bool WriteFileWhole(const std::string& path, const std::string& text);

}  // namespace tessor
