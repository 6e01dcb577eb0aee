// The canonical form of a result graph. Atoms are written as values: a numeral or a text has no
// identity that a program without cell access can see, and the fast tier writes numerals afresh.
#include "core/graph_dump.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

std::string quoted_atom(const Cell* c) {
    std::string s = "\"";
    for (unsigned char ch : atom_bytes(c)) {
        if (ch >= 0x20 && ch < 0x7F && ch != '"' && ch != '\\') {
            s += static_cast<char>(ch);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\%02x", ch);
            s += hex;
        }
    }
    return s + "\"";
}

}  // namespace

// Walks with its own stack: a result may be a million cells deep.
void write_canonical_graph(std::FILE* out, const Cell* root) {
    std::unordered_map<const Cell*, size_t> numbers;
    std::vector<const Cell*> pending{root};
    while (!pending.empty()) {
        const Cell* c = pending.back();
        pending.pop_back();
        if (is_atom(c)) {
            std::fprintf(out, "%s\n", quoted_atom(c).c_str());
            continue;
        }
        auto [seen, first] = numbers.try_emplace(c, numbers.size());
        if (!first) {
            std::fprintf(out, "^%zu\n", seen->second);
            continue;
        }
        std::fprintf(out, "#%zu (\n", seen->second);
        pending.push_back(right_of(c));
        pending.push_back(left_of(c));
    }
}

const char* graph_dump_path() {
    static const char* path = [] {
        const char* p = std::getenv("QUIB_GRAPH");
        return p && *p ? p : nullptr;
    }();
    return path;
}

void dump_result_graph(const Cell* root) {
    const char* path = graph_dump_path();
    if (!path) return;
    int saved_errno = errno;
    std::FILE* out = std::fopen(path, "w");
    if (!out) {
        errno = saved_errno;
        return;
    }
    write_canonical_graph(out, root);
    std::fclose(out);
    errno = saved_errno;
}
