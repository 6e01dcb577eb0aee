// The C runtime bindings: streams and files, strings and memory, character classes,
// mathematics, time, process and environment, errno and the error-number constants.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "library/binding.h"
#include "platform/ending.h"
#include "platform/runtime.h"

namespace {

using enum ResultCode;

// The runtime's rand_max; the host's rand reaches much further.
constexpr int kRandMax = 32767;

// The character functions are defined for EOF and unsigned char values only; anything else
// has no class and no case.
bool in_char_domain(int c) { return c == EOF || (c >= 0 && c <= UCHAR_MAX); }

CellRef assert_handler(CellRef, Cell* const* args) {
    Cell* flag = args[0];
    if (!is_atom(flag)) return atom_Z();
    switch (atom_chars(flag)[0]) {
        case 'K': return atom_I();
        case 'H': AssertionFailure("l", 242);
        default: return atom_Z();
    }
}

constexpr BuiltinRow kRows[] = {
    // Streams and files
    {"clearerr", binding<"A", I, [](Args a) { clearerr(a[0].f()); }>},
    {"fclose", binding<"A", Int, [](Args a) { return fclose(a[0].f()); }>},
    {"fdopen", binding<"NS", Int, [](Args a) { return win::_fdopen(a[0].i(), a[1].s()); }>},
    {"feof", binding<"A", Int, [](Args a) { return feof(a[0].f()); }>},
    {"ferror", binding<"A", Int, [](Args a) { return ferror(a[0].f()); }>},
    {"fflush", binding<"n", Int, [](Args a) { return fflush(a[0].f()); }>},
    {"fgetc", binding<"A", Int, [](Args a) { return fgetc(a[0].f()); }>},
    {"fgetpos", binding<"AA", Int, [](Args a) { return win::fgetpos(a[0].f(), a[1].p<int64_t>()); }>},
    {"fgets", binding<"APA", Int, [](Args a) { return fgets(a[0].s(), a[1].i(), a[2].f()); }>},
    {"fileno", binding<"A", Int, [](Args a) { return win::_fileno(a[0].f()); }>},
    {"fopen", binding<"SS", Int, [](Args a) { return fopen(a[0].s(), a[1].s()); }>},
    {"fputc", binding<"NA", Int, [](Args a) { return fputc(a[0].i(), a[1].f()); }>},
    {"fputs", binding<"AA", Int, [](Args a) { return fputs(a[0].s(), a[1].f()); }>},
    {"fread", binding<"APPA", Dec, [](Args a) { return fread(a[0].p(), a[1].z(), a[2].z(), a[3].f()); }>},
    {"fseek", binding<"ANN", Int, [](Args a) { return fseek(a[0].f(), a[1].l(), a[2].i()); }>},
    {"fsetpos", binding<"AA", Int, [](Args a) { return win::fsetpos(a[0].f(), a[1].p<int64_t>()); }>},
    {"ftell", binding<"A", Int, [](Args a) { return ftell(a[0].f()); }>},
    {"fwrite",
     binding<"SPPA", Int, [](Args a) { return fwrite(a[0].p(), a[1].z(), a[2].z(), a[3].f()); }, Span{0, 1, 2}>},
    {"getc", binding<"A", Int, [](Args a) { return getc(a[0].f()); }>},
    {"getchar", binding<"", Int, [](Args) { return getchar(); }>},
    {"perror", binding<"T", I, [](Args a) { perror(a[0].s()); }>},
    {"putc", binding<"NA", Int, [](Args a) { return putc(a[0].i(), a[1].f()); }>},
    {"putchar", binding<"N", Int, [](Args a) { return putchar(a[0].i()); }>},
    {"puts", binding<"S", Int, [](Args a) { return puts(a[0].s()); }>},
    {"read", binding<"NnP", Int, [](Args a) { return win::_read(a[0].i(), a[1].p(), a[2].u()); }>},
    {"remove", binding<"S", Int, [](Args a) { return remove(a[0].s()); }>},
    {"rename", binding<"SS", Int, [](Args a) { return rename(a[0].s(), a[1].s()); }>},
    {"rewind", binding<"A", I, [](Args a) { rewind(a[0].f()); }>},
    {"setbuf", binding<"An", I, [](Args a) { win::setbuf(a[0].f(), a[1].s()); }>},
    {"tmpfile", binding<"", Int, [](Args) { return tmpfile(); }>},
    {"tmpnam", binding<"n", Int, [](Args a) { return win::tmpnam(a[0].s()); }>},
    {"ungetc", binding<"NA", Int, [](Args a) { return ungetc(a[0].i(), a[1].f()); }>},
    {"write", binding<"NTP", Int, [](Args a) { return win::_write(a[0].i(), a[1].p(), a[2].u()); }, Span{1, 2}>},
    {"stdout", binding<"", Int, [](Args) { return win::acrt_iob_func(1); }>},
    {"stderr", binding<"", Int, [](Args) { return win::acrt_iob_func(2); }>},
    // Strings and memory
    {"atof", binding<"S", Real, [](Args a) { return atof(a[0].s()); }>},
    {"atoi", binding<"S", Int, [](Args a) { return atoi(a[0].s()); }>},
    {"atol", binding<"S", Int, [](Args a) { return atol(a[0].s()); }>},
    {"bzero", binding<"AP", I, [](Args a) { memset(a[0].p(), 0, a[1].z()); }>},
    {"calloc", binding<"NN", Int, [](Args a) { return calloc(a[0].z(), a[1].z()); }>},
    {"free", binding<"u", I, [](Args a) { free(a[0].p()); }>},
    {"malloc", binding<"N", Int, [](Args a) { return malloc(a[0].z()); }>},
    {"memchr", binding<"ANP", Int, [](Args a) { return memchr(a[0].p(), a[1].i(), a[2].z()); }>},
    {"memcmp", binding<"AAP", Int, [](Args a) { return memcmp(a[0].p(), a[1].p(), a[2].z()); }>},
    {"memcpy", binding<"AAP", Int, [](Args a) { return memcpy(a[0].p(), a[1].p(), a[2].z()); }>},
    {"memmove", binding<"AAP", Int, [](Args a) { return memmove(a[0].p(), a[1].p(), a[2].z()); }>},
    {"memset", binding<"AUP", Int, [](Args a) { return memset(a[0].p(), a[1].i(), a[2].z()); }>},
    {"realloc", binding<"nN", Int, [](Args a) { return realloc(a[0].p(), a[1].z()); }>},
    {"strcasecmp", binding<"SS", Int, [](Args a) { return win::_stricmp(a[0].s(), a[1].s()); }>},
    {"strcat", binding<"AS", Int, [](Args a) { return strcat(a[0].s(), a[1].s()); }>},
    {"strchr", binding<"SN", Int, [](Args a) { return strchr(a[0].s(), a[1].i()); }>},
    {"strcmp", binding<"SS", Int, [](Args a) { return strcmp(a[0].s(), a[1].s()); }>},
    {"strcpy", binding<"AS", Int, [](Args a) { return strcpy(a[0].s(), a[1].s()); }>},
    {"strdup", binding<"S", Int, [](Args a) { return win::_strdup(a[0].s()); }>},
    {"strerror", binding<"N", Int, [](Args a) { return strerror(errno_to_host(a[0].i())); }>},
    {"strlen", binding<"S", Int, [](Args a) { return strlen(a[0].s()); }>},
    {"strncasecmp", binding<"SSN", Int, [](Args a) { return win::_strnicmp(a[0].s(), a[1].s(), a[2].z()); }>},
    {"strncat", binding<"ASN", Int, [](Args a) { return strncat(a[0].s(), a[1].s(), a[2].z()); }>},
    {"strncmp", binding<"SSN", Int, [](Args a) { return strncmp(a[0].s(), a[1].s(), a[2].z()); }>},
    {"strncpy", binding<"AAP", Int, [](Args a) { return strncpy(a[0].s(), a[1].s(), a[2].z()); }>},
    {"strnlen", binding<"SN", Int, [](Args a) { return strnlen(a[0].s(), a[1].z()); }>},
    {"strpbrk", binding<"SS", Int, [](Args a) { return strpbrk(a[0].s(), a[1].s()); }>},
    {"strrchr", binding<"SN", Int, [](Args a) { return strrchr(a[0].s(), a[1].i()); }>},
    {"strspn", binding<"SS", Int, [](Args a) { return strspn(a[0].s(), a[1].s()); }>},
    {"strstr", binding<"SS", Int, [](Args a) { return strstr(a[0].s(), a[1].s()); }>},
    {"strtod", binding<"Sn", Real, [](Args a) { return strtod(a[0].s(), a[1].p<char*>()); }>},
    {"strtok", binding<"nS", Int, [](Args a) { return win::strtok(a[0].s(), a[1].s()); }>},
    {"strtok_r", binding<"nSn", Int, [](Args a) { return win::strtok_s(a[0].s(), a[1].s(), a[2].p<char*>()); }>},
    {"strtol", binding<"SnN", Int, [](Args a) { return strtol(a[0].s(), a[1].p<char*>(), a[2].i()); }>},
    {"strtoul", binding<"SnN", Dec, [](Args a) { return strtoul(a[0].s(), a[1].p<char*>(), a[2].i()); }>},
    // Character classes
    {"isalnum", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isalnum(a[0].i()); }>},
    {"isalpha", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isalpha(a[0].i()); }>},
    {"isblank", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isblank(a[0].i()); }>},
    {"isdigit", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isdigit(a[0].i()); }>},
    {"isgraph", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isgraph(a[0].i()); }>},
    {"islower", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && islower(a[0].i()); }>},
    {"isprint", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isprint(a[0].i()); }>},
    {"ispunct", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && ispunct(a[0].i()); }>},
    {"isspace", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isspace(a[0].i()); }>},
    {"isupper", binding<"N", Bool, [](Args a) { return in_char_domain(a[0].i()) && isupper(a[0].i()); }>},
    {"isascii", binding<"N", Bool, [](Args a) { return a[0].i() < 128; }>},
    {"toascii", binding<"N", Int, [](Args a) { return a[0].i() & 0x7F; }>},
    {"tolower", binding<"N", Int, [](Args a) { return in_char_domain(a[0].i()) ? tolower(a[0].i()) : a[0].i(); }>},
    {"toupper", binding<"N", Int, [](Args a) { return in_char_domain(a[0].i()) ? toupper(a[0].i()) : a[0].i(); }>},
    // Mathematics
    {"acos", binding<"R", Real, [](Args a) { return acos(a[0].r); }>},
    {"asin", binding<"R", Real, [](Args a) { return asin(a[0].r); }>},
    {"atan", binding<"R", Real, [](Args a) { return atan(a[0].r); }>},
    {"ceil", binding<"R", Real, [](Args a) { return ceil(a[0].r); }>},
    {"cos", binding<"R", Real, [](Args a) { return cos(a[0].r); }>},
    {"cosh", binding<"R", Real, [](Args a) { return cosh(a[0].r); }>},
    {"erf", binding<"R", Real, [](Args a) { return erf(a[0].r); }>},
    {"erfc", binding<"R", Real, [](Args a) { return erfc(a[0].r); }>},
    {"exp", binding<"R", Real, [](Args a) { return exp(a[0].r); }>},
    {"fabs", binding<"R", Real, [](Args a) { return fabs(a[0].r); }>},
    {"floor", binding<"R", Real, [](Args a) { return floor(a[0].r); }>},
    {"log", binding<"R", Real, [](Args a) { return log(a[0].r); }>},
    {"sin", binding<"R", Real, [](Args a) { return sin(a[0].r); }>},
    {"sinh", binding<"R", Real, [](Args a) { return sinh(a[0].r); }>},
    {"sqrt", binding<"R", Real, [](Args a) { return sqrt(a[0].r); }>},
    {"tan", binding<"R", Real, [](Args a) { return tan(a[0].r); }>},
    {"tanh", binding<"R", Real, [](Args a) { return tanh(a[0].r); }>},
    {"fmod", binding<"RR", Real, [](Args a) { return fmod(a[0].r, a[1].r); }>},
    {"hypot", binding<"RR", Real, [](Args a) { return hypot(a[0].r, a[1].r); }>},
    {"nextafter", binding<"RR", Real, [](Args a) { return nextafter(a[0].r, a[1].r); }>},
    {"pow", binding<"RR", Real, [](Args a) { return pow(a[0].r, a[1].r); }>},
    {"frexp", binding<"RA", Real, [](Args a) { return frexp(a[0].r, a[1].p<int>()); }>},
    {"ldexp", binding<"RN", Real, [](Args a) { return ldexp(a[0].r, a[1].i()); }>},
    {"modf", binding<"RA", Real, [](Args a) { return modf(a[0].r, a[1].p<double>()); }>},
    // Magnitudes are taken unsigned: the most negative value has a positive absolute value too.
    {"abs", binding<"N", Int, [](Args a) { return a[0].i() < 0 ? -static_cast<int64_t>(a[0].i()) : a[0].i(); }>},
    {"labs",
     binding<"N", Int,
             [](Args a) { return a[0].n < 0 ? 0 - static_cast<uint64_t>(a[0].n) : static_cast<uint64_t>(a[0].n); }>},
    // Time, in the runtime's 64-bit time values and 36-byte broken-down times
    {"asctime", binding<"A", Int, [](Args a) { return win::asctime(a[0].p()); }>},
    {"ctime", binding<"A", Int, [](Args a) { return win::_ctime64(a[0].p<int64_t>()); }>},
    {"difftime", binding<"NN", Real, [](Args a) { return win::_difftime64(a[0].n, a[1].n); }>},
    {"gmtime", binding<"A", Int, [](Args a) { return win::_gmtime64(a[0].p<int64_t>()); }>},
    {"localtime", binding<"A", Int, [](Args a) { return win::_localtime64(a[0].p<int64_t>()); }>},
    {"mktime", binding<"A", Int, [](Args a) { return win::_mktime64(a[0].p()); }>},
    {"strftime", binding<"APSA", Dec, [](Args a) { return win::strftime(a[0].s(), a[1].z(), a[2].s(), a[3].p()); }>},
    {"time", binding<"n", Int, [](Args a) { return win::_time64(a[0].p<int64_t>()); }>},
    // Process, environment, random numbers, errno and the error-number constants
    {"abort", binding<"", I, [](Args) { abort(); }>},
    {"assert", builtin<1, assert_handler>},
    {"exit", binding<"N", I, [](Args a) { exit(finish_standard_output() ? a[0].i() : kReportStatus); }>},
    {"getenv", binding<"S", Int, [](Args a) { return getenv(a[0].s()); }>},
    {"raise", binding<"N", Int, [](Args a) { return raise(a[0].i()); }>},
    {"rand", binding<"", Int, [](Args) { return rand() % (kRandMax + 1); }>},
    {"rand_max", constant<kRandMax>},
    {"srand", binding<"N", I, [](Args a) { srand(a[0].u()); }>},
    {"system", binding<"T", Int, [](Args a) { return system(a[0].s()); }>},
    {"errno", binding<"", Int, [](Args) { return table_errno(); }>},
    {"eacces", constant<errnum::kEacces>},
    {"ebadf", constant<errnum::kEbadf>},
    {"econnaborted", constant<errnum::kEconnaborted>},
    {"efault", constant<errnum::kEfault>},
    {"eintr", constant<errnum::kEintr>},
    {"einval", constant<errnum::kEinval>},
    {"eio", constant<errnum::kEio>},
    {"emfile", constant<errnum::kEmfile>},
    {"enfile", constant<errnum::kEnfile>},
    {"enodev", constant<errnum::kEnodev>},
    {"enomem", constant<errnum::kEnomem>},
    {"enotsock", constant<errnum::kEnotsock>},
    {"enxio", constant<errnum::kEnxio>},
    {"eopnotsupp", constant<errnum::kEopnotsupp>},
    {"eoverflow", constant<errnum::kEoverflow>},
    {"ewouldblock", constant<errnum::kEwouldblock>},
};

}  // namespace

std::span<const BuiltinRow> binding_rows() { return kRows; }
