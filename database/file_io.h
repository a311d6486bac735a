#pragma once

#include <string>

namespace tessor {

// Writes the whole text to a descriptor, going on after short writes and
// interruptions; false (errno set) when the descriptor takes no more.
bool WriteAll(int fd, const std::string& text);

}  // namespace tessor
