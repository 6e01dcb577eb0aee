// Stand-ins for the Windows C runtime names the bindings call, and the translation between
// host error numbers and the error-number table programs compare with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

// The error numbers programs see (the table's numbering; errno_to_host translates them).
namespace errnum {
constexpr int kEacces = 13;
constexpr int kEbadf = 9;
constexpr int kEconnaborted = 106;
constexpr int kEfault = 14;
constexpr int kEintr = 4;
constexpr int kEinval = 22;
constexpr int kEio = 5;
constexpr int kEmfile = 24;
constexpr int kEnfile = 23;
constexpr int kEnodev = 19;
constexpr int kEnomem = 12;
constexpr int kEnotsock = 128;
constexpr int kEnxio = 6;
constexpr int kEopnotsupp = 130;
constexpr int kEoverflow = 132;
constexpr int kEwouldblock = 140;
}  // namespace errnum

// Host errno -> the table's number, and back. Only the numbers that differ move; the
// mapping is one-to-one, so strerror of errno always describes the host error.
int errno_to_table(int host);
int errno_to_host(int table);
// The current errno in the table's numbering.
int table_errno();

namespace win {

FILE* _fdopen(int fd, const char* mode);
int _fileno(FILE* stream);
int _read(int fd, void* buffer, unsigned count);
int _write(int fd, const void* buffer, unsigned count);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
char* _strdup(const char* s);
// A null string with no saved position gives null instead of reading through it.
char* strtok(char* s, const char* delimiters);
char* strtok_s(char* s, const char* delimiters, char** context);
// 1: standard output, 2: standard error, 0: standard input.
FILE* acrt_iob_func(unsigned index);

// Positions are one 64-bit offset.
int fgetpos(FILE* stream, int64_t* position);
int fsetpos(FILE* stream, const int64_t* position);
// The runtime's stream buffer is 512 bytes.
constexpr size_t kBufferSize = 512;
void setbuf(FILE* stream, char* buffer);
// A fresh name under /tmp (at most 18 bytes and the NUL), written to `buffer` or to a static one.
char* tmpnam(char* buffer);

// The runtime's broken-down time is nine ints (36 bytes), without the host's zone fields.
constexpr size_t kTmSize = 9 * sizeof(int);
char* asctime(const void* tm);
char* _ctime64(const int64_t* time);
double _difftime64(int64_t end, int64_t start);
void* _gmtime64(const int64_t* time);
void* _localtime64(const int64_t* time);
int64_t _mktime64(void* tm);
int64_t _time64(int64_t* time);
size_t strftime(char* out, size_t size, const char* format, const void* tm);

}  // namespace win
