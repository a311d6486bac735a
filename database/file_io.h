#pragma once

#include <string>

namespace tessor {

// Writes the whole text to a descriptor, going on after short writes and
// interruptions; false (errno set) when the descriptor takes no more.
bool WriteAll(int fd, const std::string& text);

// Writes a whole file beside its name, under a name of this write's own, and
// renames it over the name once whole, so that a full disk or a failed write
// never leaves a cut file under the name asked for, and two writers of one
// name never mix their bytes. A link is followed and the file it points to is
// replaced the same way, beside it; a device or a pipe is written in place:
// renaming over either would replace it. A new file gets mode 0644 less the
// umask, a replaced one keeps its mode. False with errno set on failure.
bool WriteFileWhole(const std::string& path, const std::string& text);

// Reads a whole file into bytes; false (errno set) when it cannot be read.
bool ReadFileWhole(const std::string& path, std::string* bytes);

// Creates a part file beside the path under a name no other writer uses at the
// same time, in this process or another. The descriptor, or -1 with errno set.
int CreatePartFile(const std::string& path, std::string* part);

// The path a chain of symbolic links ends at (the path itself when it is no
// link); the end need not exist.
std::string FollowLinks(const std::string& path);

}  // namespace tessor
