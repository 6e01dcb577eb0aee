// Windows C runtime names on POSIX: the plain calls, the 64-bit time functions, the
// runtime's own layouts for positions and broken-down times, and errno translation.
#include "platform/runtime.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct ErrnoPair {
    int host;
    int table;
};

// Linux numbers these differently; each pair is swapped, so the mapping stays one-to-one.
constexpr ErrnoPair kMovedErrors[] = {
    {EAGAIN, errnum::kEwouldblock},    {EOVERFLOW, errnum::kEoverflow},       {ENOTSOCK, errnum::kEnotsock},
    {EOPNOTSUPP, errnum::kEopnotsupp}, {ECONNABORTED, errnum::kEconnaborted},
};

struct tm host_tm(const void* windows_tm) {
    struct tm t {};
    std::memcpy(&t, windows_tm, win::kTmSize);
    return t;
}

}  // namespace

int errno_to_table(int host) {
    for (const ErrnoPair& p : kMovedErrors) {
        if (host == p.host) return p.table;
        if (host == p.table) return p.host;
    }
    return host;
}

int errno_to_host(int table) {
    for (const ErrnoPair& p : kMovedErrors) {
        if (table == p.table) return p.host;
        // The runtime's EAGAIN keeps its number; it is the host's EAGAIN as well.
        if (table == p.host) return p.host == EAGAIN ? EAGAIN : p.table;
    }
    return table;
}

int table_errno() { return errno_to_table(errno); }

namespace win {

FILE* _fdopen(int fd, const char* mode) { return ::fdopen(fd, mode); }
int _fileno(FILE* stream) { return ::fileno(stream); }
int _read(int fd, void* buffer, unsigned count) { return static_cast<int>(::read(fd, buffer, count)); }
int _write(int fd, const void* buffer, unsigned count) { return static_cast<int>(::write(fd, buffer, count)); }
int _stricmp(const char* a, const char* b) { return ::strcasecmp(a, b); }
int _strnicmp(const char* a, const char* b, size_t n) { return ::strncasecmp(a, b, n); }
char* _strdup(const char* s) { return ::strdup(s); }

char* strtok(char* s, const char* delimiters) {
    static char* saved = nullptr;
    return strtok_s(s, delimiters, &saved);
}

char* strtok_s(char* s, const char* delimiters, char** context) {
    if (context == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    if (s == nullptr && *context == nullptr) return nullptr;
    return ::strtok_r(s, delimiters, context);
}

FILE* acrt_iob_func(unsigned index) {
    switch (index) {
        case 0: return stdin;
        case 1: return stdout;
        case 2: return stderr;
        default: return nullptr;
    }
}

int fgetpos(FILE* stream, int64_t* position) {
    off_t at = ::ftello(stream);
    if (at < 0) return -1;
    *position = at;
    return 0;
}

int fsetpos(FILE* stream, const int64_t* position) {
    return ::fseeko(stream, static_cast<off_t>(*position), SEEK_SET) == 0 ? 0 : -1;
}

void setbuf(FILE* stream, char* buffer) { ::setvbuf(stream, buffer, buffer ? _IOFBF : _IONBF, kBufferSize); }

char* tmpnam(char* buffer) {
    static char own[20];
    static unsigned counter = 0;
    char* out = buffer ? buffer : own;
    // Five hex digits each keep the name within the runtime's 20-byte name buffers.
    unsigned pid = static_cast<unsigned>(::getpid()) & 0xFFFFF;
    for (int tries = 0; tries < 1000; ++tries) {
        counter = (counter + 1) & 0xFFFFF;
        char name[32];
        std::snprintf(name, sizeof name, "/tmp/qb%x.%x", pid, counter);
        if (::access(name, F_OK) != 0 && errno == ENOENT) {
            std::memcpy(out, name, std::strlen(name) + 1);
            return out;
        }
    }
    errno = EEXIST;
    return nullptr;
}

char* asctime(const void* tm) {
    struct tm t = host_tm(tm);
    return ::asctime(&t);
}

char* _ctime64(const int64_t* time) {
    time_t t = *time;
    return ::ctime(&t);
}

double _difftime64(int64_t end, int64_t start) { return ::difftime(end, start); }

void* _gmtime64(const int64_t* time) {
    time_t t = *time;
    return ::gmtime(&t);
}

void* _localtime64(const int64_t* time) {
    time_t t = *time;
    return ::localtime(&t);
}

int64_t _mktime64(void* tm) {
    struct tm t = host_tm(tm);
    time_t result = ::mktime(&t);
    std::memcpy(tm, &t, kTmSize);
    return result;
}

int64_t _time64(int64_t* time) {
    time_t now = ::time(nullptr);
    if (time) *time = now;
    return now;
}

// The zone comes from the process's time zone, as the runtime's own strftime does.
size_t strftime(char* out, size_t size, const char* format, const void* tm) {
    struct tm t = host_tm(tm);
    ::tzset();
    bool summer = t.tm_isdst > 0;
    t.tm_zone = ::tzname[summer ? 1 : 0];
    t.tm_gmtoff = -::timezone + (summer ? 3600 : 0);
    return ::strftime(out, size, format, &t);
}

}  // namespace win
