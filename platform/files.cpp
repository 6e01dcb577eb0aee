// Whole writes, and appending only to a file of one's own.
#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <sys/stat.h>

bool write_all(int fd, const char* data, size_t size) {
    while (size) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool append_to_own_file(const char* path, std::string_view bytes) {
    // O_NONBLOCK: a FIFO put there would otherwise hold the open until someone reads it.
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0) return false;
    struct stat file {};
    bool own = fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && file.st_uid == geteuid();
    bool written = own && write_all(fd, bytes.data(), bytes.size());
    close(fd);
    return written;
}
