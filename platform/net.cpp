// Host sockets behind the socket builtins. Programs use the numbering of the original socket
// library (AF_INET6 23, SOL_SOCKET 0xFFFF, resolver codes 11001...), so numbers are translated
// at this boundary; address records are rebuilt in the program's layout.
#include "platform/net.h"

#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <utility>

namespace {

// POSIX signals a write to a socket or pipe that nobody reads any more, which ends the process;
// the socket library programs are written for gives an error instead. Only standard output
// whose reader has gone still ends the run by the signal, quietly, as command-line tools do.
void on_broken_pipe(int) {
    int saved = errno;
    pollfd out{STDOUT_FILENO, POLLOUT, 0};
    if (poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP))) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);  // delivered as the handler returns
    }
    errno = saved;
}

using Pair = std::pair<int, int>;  // (program number, host number)

int to_host(int n, std::initializer_list<Pair> table, int otherwise) {
    for (auto [program, host] : table)
        if (program == n) return host;
    return otherwise;
}
int to_program(int n, std::initializer_list<Pair> table, int otherwise) {
    for (auto [program, host] : table)
        if (host == n) return program;
    return otherwise;
}
// Flag words: each program bit that has a host meaning becomes that host bit; the rest drop.
int flags_to_host(int flags, std::initializer_list<Pair> bits) {
    int out = 0;
    for (auto [program, host] : bits)
        if (flags & program) out |= host;
    return out;
}

int host_family(int family) { return family == netnum::kAfInet6 ? AF_INET6 : family; }
int program_family(int family) { return family == AF_INET6 ? netnum::kAfInet6 : family; }

// A program's socket address copied with the host's family number; null stays null.
struct HostAddress {
    sockaddr_storage storage{};
    const sockaddr* pointer = nullptr;
    socklen_t length = 0;
    HostAddress(const void* address, int64_t size) : length(static_cast<socklen_t>(size)) {
        if (!address) return;
        if (size < static_cast<int64_t>(sizeof(sa_family_t)) || size > static_cast<int64_t>(sizeof storage)) {
            pointer = static_cast<const sockaddr*>(address);  // let the host refuse it
            return;
        }
        std::memcpy(&storage, address, static_cast<size_t>(size));
        storage.ss_family = static_cast<sa_family_t>(host_family(storage.ss_family));
        pointer = reinterpret_cast<const sockaddr*>(&storage);
    }
};

// After the host filled a socket address for the program.
void address_to_program(void* address, const int* length) {
    if (!address || !length || *length < static_cast<int>(sizeof(sa_family_t))) return;
    sa_family_t family;
    std::memcpy(&family, address, sizeof family);
    family = static_cast<sa_family_t>(program_family(family));
    std::memcpy(address, &family, sizeof family);
}

int message_flags(int flags) {
    return flags_to_host(flags, {{1, MSG_OOB}, {2, MSG_PEEK}, {4, MSG_DONTROUTE}, {8, MSG_WAITALL}});
}

constexpr std::initializer_list<Pair> kResolverCodes = {
    {11002, EAI_AGAIN}, {10022, EAI_BADFLAGS}, {11003, EAI_FAIL},    {10047, EAI_FAMILY},
    {8, EAI_MEMORY},    {11001, EAI_NONAME},   {10109, EAI_SERVICE}, {10044, EAI_SOCKTYPE},
};
int resolver_code(int host_code) {
    if (host_code == 0) return 0;
    if (host_code == EAI_NODATA || host_code == EAI_ADDRFAMILY) return netnum::kEaiNoName;
    return to_program(host_code, kResolverCodes, netnum::kEaiFail);
}

int resolver_flags(int flags) {
    return flags_to_host(flags, {{1, AI_PASSIVE},
                                 {2, AI_CANONNAME},
                                 {4, AI_NUMERICHOST},
                                 {8, AI_NUMERICSERV},
                                 {0x100, AI_ALL},
                                 {0x400, AI_ADDRCONFIG},
                                 {0x800, AI_V4MAPPED}});
}

// One block per record: the record, its address, its canonical name.
AddrInfoRecord* record_of(const addrinfo& host) {
    size_t name_size = host.ai_canonname ? std::strlen(host.ai_canonname) + 1 : 0;
    size_t size = sizeof(AddrInfoRecord) + host.ai_addrlen + name_size;
    auto* r = static_cast<AddrInfoRecord*>(std::calloc(1, size));
    if (!r) return nullptr;
    char* tail = reinterpret_cast<char*>(r + 1);
    r->ai_flags = host.ai_flags;
    r->ai_family = program_family(host.ai_family);
    r->ai_socktype = host.ai_socktype;
    r->ai_protocol = host.ai_protocol;
    r->ai_addrlen = host.ai_addrlen;
    if (host.ai_addr) {
        std::memcpy(tail, host.ai_addr, host.ai_addrlen);
        int length = static_cast<int>(host.ai_addrlen);
        address_to_program(tail, &length);
        r->ai_addr = tail;
    }
    if (name_size) {
        r->ai_canonname = tail + host.ai_addrlen;
        std::memcpy(r->ai_canonname, host.ai_canonname, name_size);
    }
    return r;
}

}  // namespace

int net_getaddrinfo(const char* node, const char* service, const AddrInfoRecord* hints, AddrInfoRecord** result) {
    if (!result) return netnum::kEaiBadFlags;
    *result = nullptr;
    addrinfo host_hints{};
    if (hints) {
        host_hints.ai_flags = resolver_flags(hints->ai_flags);
        host_hints.ai_family = host_family(hints->ai_family);
        host_hints.ai_socktype = hints->ai_socktype;
        host_hints.ai_protocol = hints->ai_protocol;
    }
    addrinfo* list = nullptr;
    int code = getaddrinfo(node, service, hints ? &host_hints : nullptr, &list);
    if (code != 0) return resolver_code(code);
    AddrInfoRecord** link = result;
    for (addrinfo* a = list; a; a = a->ai_next) {
        AddrInfoRecord* r = record_of(*a);
        if (!r) {
            freeaddrinfo(list);
            net_freeaddrinfo(*result);
            *result = nullptr;
            return resolver_code(EAI_MEMORY);
        }
        *link = r;
        link = &r->ai_next;
    }
    freeaddrinfo(list);
    return 0;
}

void net_freeaddrinfo(AddrInfoRecord* list) {
    while (list) {
        AddrInfoRecord* next = list->ai_next;
        std::free(list);
        list = next;
    }
}

const char* net_gai_strerror(int code) {
    static char buffer[256];
    int host = to_host(code, kResolverCodes, 0);
    const char* text = host ? gai_strerror(host) : std::strerror(code);
    std::snprintf(buffer, sizeof buffer, "%s", text);
    return buffer;
}

int net_getnameinfo(const void* address, int64_t length, char* host, uint64_t host_size, char* service,
                    uint64_t service_size, int flags) {
    HostAddress a(address, length);
    if (!a.pointer) return resolver_code(EAI_FAMILY);
    int host_flags = flags_to_host(
        flags, {{1, NI_NOFQDN}, {2, NI_NUMERICHOST}, {4, NI_NAMEREQD}, {8, NI_NUMERICSERV}, {0x10, NI_DGRAM}});
    return resolver_code(getnameinfo(a.pointer, a.length, host, static_cast<socklen_t>(host_size), service,
                                     static_cast<socklen_t>(service_size), host_flags));
}

void net_startup() {
    struct sigaction action {};
    action.sa_handler = on_broken_pipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

int net_socket(int family, int type, int protocol) { return socket(host_family(family), type, protocol); }

int net_bind(int s, const void* address, int length) {
    HostAddress a(address, length);
    return bind(s, a.pointer, a.length);
}

int net_connect(int s, const void* address, int length) {
    HostAddress a(address, length);
    return connect(s, a.pointer, a.length);
}

int net_accept(int s, void* address, int* length) {
    int r = accept(s, static_cast<sockaddr*>(address), reinterpret_cast<socklen_t*>(length));
    if (r >= 0) address_to_program(address, length);
    return r;
}

int net_getpeername(int s, void* address, int* length) {
    int r = getpeername(s, static_cast<sockaddr*>(address), reinterpret_cast<socklen_t*>(length));
    if (r == 0) address_to_program(address, length);
    return r;
}

int net_listen(int s, int backlog) { return listen(s, backlog); }

// A peer that has gone away is an error result, never a signal that ends the process.
int net_send(int s, const void* buffer, int length, int flags) {
    return static_cast<int>(send(s, buffer, static_cast<size_t>(length), message_flags(flags) | MSG_NOSIGNAL));
}

int net_sendto(int s, const void* buffer, int length, int flags, const void* address, int address_length) {
    HostAddress a(address, address_length);
    return static_cast<int>(
        sendto(s, buffer, static_cast<size_t>(length), message_flags(flags) | MSG_NOSIGNAL, a.pointer, a.length));
}

int net_recv(int s, void* buffer, int length, int flags) {
    return static_cast<int>(recv(s, buffer, static_cast<size_t>(length), message_flags(flags)));
}

int net_recvfrom(int s, void* buffer, int length, int flags, void* address, int* address_length) {
    int r = static_cast<int>(recvfrom(s, buffer, static_cast<size_t>(length), message_flags(flags),
                                      static_cast<sockaddr*>(address), reinterpret_cast<socklen_t*>(address_length)));
    if (r >= 0) address_to_program(address, address_length);
    return r;
}

int net_setsockopt(int s, int level, int name, const void* value, int length) {
    if (level == IPPROTO_IPV6 && name == 27) name = IPV6_V6ONLY;
    if (level != netnum::kSolSocket) return setsockopt(s, level, name, value, static_cast<socklen_t>(length));
    int host_name = to_host(name,
                            {{1, SO_DEBUG},
                             {4, SO_REUSEADDR},
                             {8, SO_KEEPALIVE},
                             {0x10, SO_DONTROUTE},
                             {0x20, SO_BROADCAST},
                             {0x80, SO_LINGER},
                             {0x100, SO_OOBINLINE},
                             {0x1001, SO_SNDBUF},
                             {0x1002, SO_RCVBUF},
                             {0x1003, SO_SNDLOWAT},
                             {0x1004, SO_RCVLOWAT},
                             {0x1005, SO_SNDTIMEO},
                             {0x1006, SO_RCVTIMEO}},
                            -1);
    if (host_name == -1) {
        errno = ENOPROTOOPT;
        return -1;
    }
    // Timeouts come as milliseconds in 32 bits, lingering as two 16-bit words.
    if ((host_name == SO_SNDTIMEO || host_name == SO_RCVTIMEO) && value && length == 4) {
        uint32_t ms;
        std::memcpy(&ms, value, 4);
        timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
        return setsockopt(s, SOL_SOCKET, host_name, &tv, sizeof tv);
    }
    if (host_name == SO_LINGER && value && length == 4) {
        uint16_t words[2];
        std::memcpy(words, value, 4);
        linger l{words[0], words[1]};
        return setsockopt(s, SOL_SOCKET, host_name, &l, sizeof l);
    }
    return setsockopt(s, SOL_SOCKET, host_name, value, static_cast<socklen_t>(length));
}

int net_shutdown(int s, int how) { return shutdown(s, how); }
int net_closesocket(int s) { return close(s); }
int net_gethostname(char* name, uint64_t size) { return gethostname(name, static_cast<size_t>(size)); }

int net_inet_pton(int family, const char* text, void* address) { return inet_pton(host_family(family), text, address); }

const char* net_inet_ntop(int family, const void* address, char* text, uint64_t size) {
    return inet_ntop(host_family(family), address, text, static_cast<socklen_t>(size > UINT32_MAX ? UINT32_MAX : size));
}
