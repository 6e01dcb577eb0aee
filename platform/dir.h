// Directory streams in the program's layout: a 296-byte entry record followed by the search
// state, read ahead by one entry, on top of POSIX opendir/readdir.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct DirEntryRecord {
    uint32_t d_ino;     // always 0
    int32_t d_off;      // position key of the next entry; 0x7FFFFFFF after the last
    uint16_t d_reclen;  // always 296
    char gap1[6];
    uint64_t d_namlen;  // length of d_name without its NUL
    int32_t d_type;     // mode bits: 0x4000 directory, 0x8000 regular, 0x2000 device, 0xC000 link
    char d_name[261];
    char gap2[7];
};
static_assert(sizeof(DirEntryRecord) == 296);
static_assert(offsetof(DirEntryRecord, d_off) == 4 && offsetof(DirEntryRecord, d_reclen) == 8);
static_assert(offsetof(DirEntryRecord, d_namlen) == 16 && offsetof(DirEntryRecord, d_type) == 24);
static_assert(offsetof(DirEntryRecord, d_name) == 28);

struct DirSearch;
struct DirStream {
    DirEntryRecord entry;
    DirSearch* search;
};
static_assert(sizeof(DirStream) == 304);

constexpr int32_t kNoNextEntry = 0x7FFFFFFF;

// Null on failure, with errno ENOENT (also for a null or empty path), EACCES or ENOTDIR.
DirStream* dir_open(const char* path);
// The stream's entry record filled with the next entry; null when none is left.
DirEntryRecord* dir_read(DirStream* stream);
// 0; -1 with errno EBADF for a null stream.
int dir_close(DirStream* stream);

// h = h * 33 + u from 5381 over the name's UTF-16 units (bytes when it is not UTF-8), 31 bits.
int32_t position_key(std::string_view name);
