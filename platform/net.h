// Host sockets and name resolution seen through the numbers and record layout that programs
// use: address families, flags, option names and resolver codes are translated here.
#pragma once

#include <cstddef>
#include <cstdint>

// The address-information record as programs read and write it (48 bytes).
struct AddrInfoRecord {
    int32_t ai_flags;
    int32_t ai_family;
    int32_t ai_socktype;
    int32_t ai_protocol;
    uint64_t ai_addrlen;
    char* ai_canonname;
    void* ai_addr;
    AddrInfoRecord* ai_next;
};
static_assert(sizeof(AddrInfoRecord) == 48);
static_assert(offsetof(AddrInfoRecord, ai_addrlen) == 16 && offsetof(AddrInfoRecord, ai_canonname) == 24);
static_assert(offsetof(AddrInfoRecord, ai_addr) == 32 && offsetof(AddrInfoRecord, ai_next) == 40);

// Program-side numbers that differ from the host's.
namespace netnum {
constexpr int kAfInet6 = 23;
constexpr int kSolSocket = 0xFFFF;
constexpr int kEaiNoName = 11001;
constexpr int kEaiFail = 11003;
constexpr int kEaiBadFlags = 10022;
}  // namespace netnum

// Starts the socket layer: from then on a write to a socket whose peer has gone fails with
// EPIPE, as send does, instead of ending the process.
void net_startup();

// Resolver: hints and results in the record layout above; codes as programs know them.
int net_getaddrinfo(const char* node, const char* service, const AddrInfoRecord* hints, AddrInfoRecord** result);
void net_freeaddrinfo(AddrInfoRecord* list);
// The message for a resolver code, in one static buffer overwritten by each call.
const char* net_gai_strerror(int code);
int net_getnameinfo(const void* address, int64_t length, char* host, uint64_t host_size, char* service,
                    uint64_t service_size, int flags);

int net_socket(int family, int type, int protocol);
int net_bind(int s, const void* address, int length);
int net_connect(int s, const void* address, int length);
int net_accept(int s, void* address, int* length);
int net_getpeername(int s, void* address, int* length);
int net_listen(int s, int backlog);
int net_send(int s, const void* buffer, int length, int flags);
int net_sendto(int s, const void* buffer, int length, int flags, const void* address, int address_length);
int net_recv(int s, void* buffer, int length, int flags);
int net_recvfrom(int s, void* buffer, int length, int flags, void* address, int* address_length);
int net_setsockopt(int s, int level, int name, const void* value, int length);
int net_shutdown(int s, int how);
int net_closesocket(int s);
int net_gethostname(char* name, uint64_t size);
int net_inet_pton(int family, const char* text, void* address);
const char* net_inet_ntop(int family, const void* address, char* text, uint64_t size);
