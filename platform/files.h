// Writing whole byte strings: to a descriptor, and appended to a file the running user owns.
#pragma once

#include <cstddef>
#include <string_view>

// Writes all of data, going on after short writes and interruptions; false on an error.
bool write_all(int fd, const char* data, size_t size);

// Appends bytes to path, created with mode 0600 when missing, only when it is a regular file
// that the running user owns and not a symbolic link; false when nothing was written. For
// files at well-known paths in shared folders such as /tmp, where another user could have put
// a link or a file of their own.
bool append_to_own_file(const char* path, std::string_view bytes);
