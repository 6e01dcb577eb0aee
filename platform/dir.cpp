// Directory streams on POSIX opendir/readdir, presented as the program's 304-byte stream.
#include "platform/dir.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>

struct FoundEntry {
    std::string name;
    int32_t type;
};

struct DirSearch {
    DIR* dir;
    std::optional<FoundEntry> ahead;  // the next entry, already fetched
};

namespace {

int32_t mode_bits(int type) {
    switch (type) {
        case DT_DIR: return 0x4000;
        case DT_CHR:
        case DT_BLK: return 0x2000;
        case DT_LNK: return 0xC000;
        default: return 0x8000;  // regular files, and fifos and sockets, which are neither
    }
}

int32_t mode_bits_of_stat(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return 0x4000;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return 0x2000;
    if (S_ISLNK(st.st_mode)) return 0xC000;
    return 0x8000;
}

std::optional<FoundEntry> fetch(DirSearch& search) {
    errno = 0;
    struct dirent* d = readdir(search.dir);
    if (!d) return std::nullopt;
    FoundEntry found{d->d_name, mode_bits(d->d_type)};
    if (d->d_type == DT_UNKNOWN) {
        struct stat st;
        if (fstatat(dirfd(search.dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) found.type = mode_bits_of_stat(st);
    }
    return found;
}

// Strict UTF-8 decoding into UTF-16 units; nothing when the bytes are not UTF-8.
std::optional<std::u16string> utf16_units(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int more = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0 || i + more >= s.size()) return std::nullopt;
        uint32_t cp = more == 0 ? b : b & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (c & 0x3F);
        }
        static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += 1 + more;
    }
    return out;
}

void fill_record(DirEntryRecord& r, const FoundEntry& entry, const std::optional<FoundEntry>& next) {
    r.d_ino = 0;
    if (entry.name.size() >= sizeof r.d_name) {
        std::memcpy(r.d_name, "?", 2);
        r.d_namlen = 1;
        r.d_type = 0;
        r.d_off = -1;
        r.d_reclen = 0;
        return;
    }
    std::memcpy(r.d_name, entry.name.c_str(), entry.name.size() + 1);
    r.d_namlen = entry.name.size();
    r.d_type = entry.type;
    r.d_off = next ? position_key(next->name) : kNoNextEntry;
    r.d_reclen = sizeof(DirEntryRecord);
}

}  // namespace

int32_t position_key(std::string_view name) {
    uint32_t h = 5381;
    if (std::optional<std::u16string> units = utf16_units(name)) {
        for (char16_t u : *units) h = h * 33 + u;
    } else {
        for (char c : name) h = h * 33 + static_cast<unsigned char>(c);
    }
    return static_cast<int32_t>(h & 0x7FFFFFFF);
}

DirStream* dir_open(const char* path) {
    if (!path || !*path) {
        errno = ENOENT;
        return nullptr;
    }
    DIR* dir = opendir(path);
    if (!dir) {
        if (errno != EACCES && errno != ENOTDIR) errno = ENOENT;
        return nullptr;
    }
    auto* stream = static_cast<DirStream*>(std::calloc(1, sizeof(DirStream)));
    if (!stream) {
        closedir(dir);
        errno = ENOENT;
        return nullptr;
    }
    stream->search = new DirSearch{dir, std::nullopt};
    stream->search->ahead = fetch(*stream->search);
    return stream;
}

DirEntryRecord* dir_read(DirStream* stream) {
    if (!stream) {
        errno = EBADF;
        return nullptr;
    }
    DirSearch& search = *stream->search;
    if (!search.ahead) return nullptr;
    FoundEntry current = std::move(*search.ahead);
    search.ahead = fetch(search);
    fill_record(stream->entry, current, search.ahead);
    return &stream->entry;
}

int dir_close(DirStream* stream) {
    if (!stream) {
        errno = EBADF;
        return -1;
    }
    closedir(stream->search->dir);
    delete stream->search;
    std::free(stream);
    return 0;
}
