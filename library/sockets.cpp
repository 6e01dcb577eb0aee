// Socket, name-resolution and directory builtins: one binding row each, plus the socket set
// insertion and the structure-size constants.
#include <cstring>

#include "library/binding.h"
#include "platform/dir.h"
#include "platform/net.h"

namespace {

using R = ResultCode;

// The 520-byte socket set: a 32-bit count, then up to 64 handles of 64 bits from offset 8.
constexpr uint32_t kSocketSetCapacity = 64;

void socket_set_add(uint64_t s, char* set) {
    uint32_t n;
    std::memcpy(&n, set, sizeof n);
    for (uint32_t i = 0; i < n && i < kSocketSetCapacity; ++i) {
        uint64_t held;
        std::memcpy(&held, set + 8 + 8 * i, sizeof held);
        if (held == s) return;
    }
    if (n >= kSocketSetCapacity) return;
    std::memcpy(set + 8 + 8 * n, &s, sizeof s);
    ++n;
    std::memcpy(set, &n, sizeof n);
}

uint32_t swap32(uint32_t x) { return __builtin_bswap32(x); }
uint16_t swap16(uint16_t x) { return __builtin_bswap16(x); }

// Address arguments are "A", "S" (never null) or "n", "u" (null allowed).
constexpr BuiltinRow kRows[] = {
    {"addrinfo", constant<sizeof(AddrInfoRecord)>},
    {"dirent", constant<sizeof(DirEntryRecord)>},
    {"time_t", constant<8>},
    {"af_unspec", constant<0>},
    {"ai_passive", constant<1>},
    {"sock_stream", constant<1>},

    {"socket", binding<"NNN", R::Int, [](Args a) { return net_socket(a[0].i(), a[1].i(), a[2].i()); }>},
    {"bind", binding<"NnN", R::Int, [](Args a) { return net_bind(a[0].i(), a[1].p(), a[2].i()); }>},
    {"listen", binding<"NN", R::Int, [](Args a) { return net_listen(a[0].i(), a[1].i()); }>},
    {"accept", binding<"Nnn", R::Int, [](Args a) { return net_accept(a[0].i(), a[1].p(), a[2].p<int>()); }>},
    {"connect", binding<"NnN", R::Int, [](Args a) { return net_connect(a[0].i(), a[1].p(), a[2].i()); }>},
    {"send",
     binding<"NTNN", R::Int, [](Args a) { return net_send(a[0].i(), a[1].p(), a[2].i(), a[3].i()); }, Span{1, 2}>},
    {"sendto", binding<"NTNNnN", R::Int,
                       [](Args a) { return net_sendto(a[0].i(), a[1].p(), a[2].i(), a[3].i(), a[4].p(), a[5].i()); },
                       Span{1, 2}>},
    {"recv", binding<"NnNN", R::Int, [](Args a) { return net_recv(a[0].i(), a[1].p(), a[2].i(), a[3].i()); }>},
    {"recvfrom",
     binding<"NnNNnn", R::Int,
             [](Args a) { return net_recvfrom(a[0].i(), a[1].p(), a[2].i(), a[3].i(), a[4].p(), a[5].p<int>()); }>},
    {"setsockopt",
     binding<"NNNnN", R::Int, [](Args a) { return net_setsockopt(a[0].i(), a[1].i(), a[2].i(), a[3].p(), a[4].i()); }>},
    {"shutdown", binding<"NN", R::Int, [](Args a) { return net_shutdown(a[0].i(), a[1].i()); }>},
    {"closesocket", binding<"N", R::Int, [](Args a) { return net_closesocket(a[0].i()); }>},
    {"getpeername", binding<"Nnn", R::Int, [](Args a) { return net_getpeername(a[0].i(), a[1].p(), a[2].p<int>()); }>},
    {"gethostname", binding<"AN", R::Int, [](Args a) { return net_gethostname(a[0].s(), a[1].z()); }>},
    {"getaddrinfo", binding<"uuuu", R::Int,
                            [](Args a) {
                                return net_getaddrinfo(a[0].s(), a[1].s(), a[2].p<AddrInfoRecord>(),
                                                       a[3].p<AddrInfoRecord*>());
                            }>},
    {"freeaddrinfo", binding<"u", R::I, [](Args a) { net_freeaddrinfo(a[0].p<AddrInfoRecord>()); }>},
    {"getnameinfo", binding<"nNnNnNN", R::Int,
                            [](Args a) {
                                return net_getnameinfo(a[0].p(), a[1].n, a[2].s(), a[3].z(), a[4].s(), a[5].z(),
                                                       a[6].i());
                            }>},
    {"gai_strerror", binding<"N", R::Int, [](Args a) { return net_gai_strerror(a[0].i()); }>},
    {"inet_pton", binding<"NAA", R::Int, [](Args a) { return net_inet_pton(a[0].i(), a[1].s(), a[2].p()); }>},
    {"inet_ntop",
     binding<"NAAN", R::Int, [](Args a) { return net_inet_ntop(a[0].i(), a[1].p(), a[2].s(), a[3].z()); }>},
    {"htonl", binding<"N", R::Int, [](Args a) { return swap32(a[0].u()); }>},
    {"htons", binding<"N", R::Int, [](Args a) { return swap16(static_cast<uint16_t>(a[0].n)); }>},
    {"ntohl", binding<"N", R::Dec, [](Args a) { return swap32(a[0].u()); }>},
    {"ntohs", binding<"N", R::Dec, [](Args a) { return swap16(static_cast<uint16_t>(a[0].n)); }>},
    {"fd_set", binding<"NA", R::I, [](Args a) { socket_set_add(static_cast<uint64_t>(a[0].n), a[1].s()); }>},

    {"opendir", binding<"n", R::Int, [](Args a) { return dir_open(a[0].s()); }>},
    {"readdir", binding<"n", R::Int, [](Args a) { return dir_read(a[0].p<DirStream>()); }>},
    {"closedir", binding<"n", R::Int, [](Args a) { return dir_close(a[0].p<DirStream>()); }>},
};

}  // namespace

std::span<const BuiltinRow> socket_rows() { return kRows; }
