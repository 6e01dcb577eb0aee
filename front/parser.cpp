// The expression parser: ten precedence levels over index ranges of one normalised text.
// Bracket groups are parsed innermost first and looked up by their outer levels, so the
// native stack does not grow with nesting depth and no group is scanned more than a few times.
#include "front/parser.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/chars.h"
#include "core/report.h"
#include "front/brackets.h"

namespace {

struct Range {
    size_t begin;
    size_t end;
    bool empty() const { return begin == end; }
};

constexpr int kUnaryLevel = 9;

uint64_t top_level_visits = 0;

// The binary level (1..8) a separator byte belongs to; 0 for every other byte.
const std::array<uint8_t, 256>& SeparatorLevels() {
    static const std::array<uint8_t, 256> levels = [] {
        std::array<uint8_t, 256> t{};
        const char* rows[] = {";\\{", "?\n", "&|", "=<>#", "@ ", "+-:.", "*/%'", "^"};
        for (int level = 1; level <= 8; ++level)
            for (const char* c = rows[level - 1]; *c; ++c)
                t[static_cast<unsigned char>(*c)] = static_cast<uint8_t>(level);
        return t;
    }();
    return levels;
}

bool is_left_associative(int level) { return level == 2 || level == 5 || level == 6 || level == 7; }

bool is_unary(unsigned char c) { return c == '~' || c == '!' || c == '"' || c == '$' || c == '`'; }
bool is_word_byte(unsigned char c) { return (c >= 'a' && c <= 'z') || c == '_'; }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Upper-case letters and the other one-byte names each stand alone in a word.
bool is_lone_byte(unsigned char c) {
    return !is_word_byte(c) && !is_digit(c) && !is_operator_char(c) && !IsBracket(c) && c != ' ' && c != '\n';
}

CellRef hole_atom() { return CellRef::atom("}"); }

CellRef byte_atom(unsigned char c) {
    char bytes[2] = {c == 0 ? '\n' : static_cast<char>(c), 0};
    return CellRef::atom(static_cast<const char*>(bytes));
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    CellRef parse_all() {
        find_partners();
        if (!groups_.empty()) {
            items_.resize(text_.size() + 1);
            wholes_.resize(text_.size());
        }
        for (size_t open : groups_) parse_group(open);
        return parse_level(1, {0, text_.size()});
    }

private:
    // Partners of all brackets outside square groups, and the "(" and "{" groups in closing order.
    void find_partners() {
        partner_.assign(text_.size(), 0);
        std::vector<size_t> open;
        for (size_t i = 0; i < text_.size(); ++i) {
            unsigned char c = text_[i];
            bool in_square = !open.empty() && text_[open.back()] == '[';
            if (in_square && c != '[' && c != ']') continue;
            if (IsOpener(c)) {
                open.push_back(i);
            } else if (IsCloser(c)) {
                QUIB_CHECK(!open.empty() && (text_[open.back()] == '[') == (c == ']'));
                size_t o = open.back();
                open.pop_back();
                partner_[o] = i;
                partner_[i] = o;
                if (!in_square && c != ']') groups_.push_back(o);
            }
        }
        QUIB_CHECK(open.empty());
    }

    // The index of the last byte of the group starting at i, or i itself.
    size_t skip_group(size_t i) const { return IsOpener(text_[i]) ? partner_[i] : i; }

    template <class Visit>
    void for_each_top_level(Range r, Visit visit) const {
        for (size_t i = r.begin; i < r.end; i = skip_group(i) + 1) {
            ++top_level_visits;
            visit(i);
        }
    }

    std::vector<size_t> top_level_commas(size_t open) const {
        std::vector<size_t> commas;
        for_each_top_level({open + 1, partner_[open]}, [&](size_t i) {
            if (text_[i] == ',') commas.push_back(i);
        });
        return commas;
    }

    // Every comma item of the group, and for a parenthesis with commas its whole inside too:
    // which of them the outer parse wants depends on where the group stands in its word.
    void parse_group(size_t open) {
        size_t close = partner_[open];
        std::vector<size_t> commas = top_level_commas(open);
        size_t begin = open + 1;
        for (size_t comma : commas) {
            items_[begin] = parse_level(1, {begin, comma});
            begin = comma + 1;
        }
        items_[begin] = parse_level(1, {begin, close});
        if (text_[open] == '(' && !commas.empty()) wholes_[open] = parse_level(1, {open + 1, close});
    }

    CellRef Item(size_t begin) const {
        QUIB_CHECK(items_[begin]);
        return items_[begin];
    }

    CellRef whole_group(size_t open) const { return wholes_[open] ? wholes_[open] : Item(open + 1); }

    CellRef parse_level(int level, Range r) {
        if (level == kUnaryLevel) return parse_unary(r);
        const auto& levels = SeparatorLevels();
        std::vector<size_t> seps;
        for_each_top_level(r, [&](size_t i) {
            if (levels[static_cast<unsigned char>(text_[i])] == level) seps.push_back(i);
        });
        if (seps.empty()) return parse_level(level + 1, r);
        if (is_left_associative(level)) {
            CellRef result = parse_level(level + 1, {r.begin, seps.front()});
            for (size_t j = 0; j < seps.size(); ++j) {
                size_t end = j + 1 < seps.size() ? seps[j + 1] : r.end;
                result = combine_operands(seps[j], std::move(result), parse_level(level + 1, {seps[j] + 1, end}));
            }
            return result;
        }
        CellRef result = parse_level(level + 1, {skip_group(seps.back()) + 1, r.end});
        for (size_t j = seps.size(); j-- > 0;) {
            size_t begin = j > 0 ? skip_group(seps[j - 1]) + 1 : r.begin;
            result = combine_operands(seps[j], parse_level(level + 1, {begin, seps[j]}), std::move(result));
        }
        return result;
    }

    CellRef combine_operands(size_t at, CellRef left, CellRef right) {
        unsigned char op = text_[at];
        if (op == ' ' || op == '\n') return apply(std::move(left), std::move(right));
        if (op == '{') return apply(apply2(byte_atom(op), std::move(left), brace_list(at)), std::move(right));
        return apply2(byte_atom(op), std::move(left), std::move(right));
    }

    // The items of a wing's brace list, joined as ((, item) rest).
    CellRef brace_list(size_t open) {
        std::vector<size_t> commas = top_level_commas(open);
        CellRef result = Item(commas.empty() ? open + 1 : commas.back() + 1);
        for (size_t j = commas.size(); j-- > 0;)
            result = apply2(byte_atom(','), Item(j > 0 ? commas[j - 1] + 1 : open + 1), std::move(result));
        return result;
    }

    // Level 9: trailing unary operators, then leading ones, then runs inside the word.
    CellRef parse_unary(Range r) {
        size_t j = r.end;
        while (j > r.begin && is_unary(text_[j - 1])) --j;
        CellRef result = j == r.begin ? hole_atom() : parse_prefixed({r.begin, j});
        for (size_t i = j; i < r.end; ++i) result = apply(byte_atom(text_[i]), std::move(result));
        return result;
    }

    // A non-empty text whose last byte is not a unary operator.
    CellRef parse_prefixed(Range r) {
        size_t k = r.begin;
        while (is_unary(text_[k])) ++k;
        QUIB_CHECK(k < r.end);
        CellRef result = inside_word({k, r.end});
        for (size_t i = k; i-- > r.begin;) result = apply(byte_atom(text_[i]), std::move(result));
        return result;
    }

    // Cut before each top-level run of unary operators; "f!x" is (f (! x)).
    CellRef inside_word(Range r) {
        std::vector<size_t> runs;
        for_each_top_level(r, [&](size_t i) {
            if (is_unary(text_[i]) && i > r.begin && !is_unary(text_[i - 1])) runs.push_back(i);
        });
        CellRef result = parse_word({r.begin, runs.empty() ? r.end : runs.front()});
        for (size_t j = 0; j < runs.size(); ++j)
            result = apply(std::move(result), parse_prefixed({runs[j], j + 1 < runs.size() ? runs[j + 1] : r.end}));
        return result;
    }

    bool starts_piece(size_t i) const {
        unsigned char prev = text_[i - 1], c = text_[i];
        return prev == ')' || prev == ']' || c == '(' || c == '[' || is_lone_byte(c) ||
               (is_word_byte(c) && !is_word_byte(prev)) || (is_digit(c) && !is_digit(prev));
    }

    size_t piece_end(size_t begin, size_t end) const {
        if (text_[begin] == '(' || text_[begin] == '[') return partner_[begin] + 1;
        size_t i = begin + 1;
        while (i < end && !starts_piece(i)) ++i;
        return i;
    }

    // Level 10: a tight word, its pieces applied from the left.
    CellRef parse_word(Range r) {
        QUIB_CHECK(!r.empty());
        size_t end = piece_end(r.begin, r.end);
        CellRef result = parse_piece({r.begin, end});
        for (size_t begin = end; begin < r.end; begin = end) {
            end = piece_end(begin, r.end);
            if (text_[begin] == '(')
                result = call_list(std::move(result), begin);
            else
                result = apply(std::move(result), parse_piece({begin, end}));
        }
        return result;
    }

    CellRef call_list(CellRef f, size_t open) {
        f = apply(std::move(f), Item(open + 1));
        for (size_t comma : top_level_commas(open)) f = apply(std::move(f), Item(comma + 1));
        return f;
    }

    CellRef parse_piece(Range r) {
        QUIB_CHECK(!r.empty());
        unsigned char c = text_[r.begin];
        std::string_view bytes = text_.substr(r.begin, r.end - r.begin);
        if (is_digit(c) || is_word_byte(c)) return CellRef::atom(bytes);
        if (c == '(') return whole_group(r.begin);
        if (c == '[') return parse_literal(bytes);
        if (bytes.size() == 1) return byte_atom(c);
        // Only a comma glued to a lone byte gets here ("f((,,x))"); keep it whole as a name.
        std::string name(bytes);
        for (char& b : name)
            if (b == 0) b = '\n';
        return CellRef::atom(std::move(name));
    }

    static CellRef parse_literal(std::string_view group) {
        std::string bytes;
        bytes.reserve(group.size());
        for (char b : group) {
            if (b == '\n') continue;
            bytes.push_back(b == 0 ? '\n' : b);
        }
        return CellRef::atom(std::move(bytes));
    }

    std::string_view text_;
    std::vector<size_t> partner_;
    std::vector<size_t> groups_;   // "(" and "{" openers, innermost groups first
    std::vector<CellRef> items_;   // parse of each comma item of a group, by the item's first index
    std::vector<CellRef> wholes_;  // parse of a comma-holding parenthesis' inside, by its opener
};

}  // namespace

CellRef ParseExpression(std::string_view text) { return Parser(text).parse_all(); }

uint64_t parser_top_level_visits() { return top_level_visits; }
