// The expression and result printers: one parenthesised list form, two ways of writing atoms.
// Printing streams top-down into one buffer: the joining rules for (f x) only need a few
// bytes of the texts of f and x, which a left spine yields without printing it first.
#include "core/printer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/chars.h"

namespace {

enum class Mode { Expression, Result };

constexpr size_t kListLiteralLimit = 999;

// The bytes of a printed atom that decide how an application around it is written.
struct Outline {
    int first = -1;  // -1: empty text
    int second = -1;
    int last = -1;
    bool single = false;
};

Outline outline_of(std::string_view text) {
    Outline o;
    if (text.empty()) return o;
    o.first = static_cast<unsigned char>(text[0]);
    o.second = text.size() > 1 ? static_cast<unsigned char>(text[1]) : -1;
    o.last = static_cast<unsigned char>(text.back());
    o.single = text.size() == 1;
    return o;
}

bool prints_as_empty_pair(unsigned char tag, Mode mode) {
    if (tag == 0 || is_mark_tag(tag)) return true;
    if (mode == Mode::Expression) return false;
    return tag == tag_byte(Tag::Text) || tag == tag_byte(Tag::Real) || tag < 32 || tag == 127;
}

// The list literal as the result printer writes it: each byte's signed value, control and
// high bytes through the character table; "()" when it is empty, too long, or writes too much.
std::string result_list_literal(const Cell* c) {
    uint32_t length = extent_of(c);
    if (length == 0 || length > kListLiteralLimit) return "()";
    std::string shown = display_form(atom_bytes(c));
    std::string out;
    char number[8];
    for (unsigned char b : shown) {
        std::snprintf(number, sizeof number, "%d", static_cast<int>(static_cast<signed char>(b)));
        const std::string* entry = nullptr;
        if (b < 32 || b > 126) entry = character_table_find(number);
        if (entry)
            out += *entry;
        else
            out += number;
        if (out.size() > kListLiteralLimit) return "()";
    }
    return out;
}

std::string real_text(const Cell* c) {
    double d;
    std::memcpy(&d, atom_chars(c) + 1, sizeof d);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%e", d);
    return std::string("real[") + buffer + "]";
}

// Appends the counted text's payload escaped, stopping once out passes limit.
void append_escaped_text(std::string& out, const Cell* c, size_t limit) {
    out += "init[";
    for (char ch : counted_payload(c)) {
        if (out.size() > limit) return;
        switch (ch) {
            case '\n': out += "[p]"; break;
            case '[': out += "[q]"; break;
            case ']': out += "[r]"; break;
            case '\0': out += '\n'; break;
            default: out += ch;
        }
    }
    out += ']';
}

// Atoms written as their own bytes; everything else has a short fixed outline.
bool prints_as_itself(unsigned char tag, Mode mode) {
    if (prints_as_empty_pair(tag, mode)) return false;
    if (mode == Mode::Expression) return tag != tag_byte(Tag::Real) && tag != tag_byte(Tag::Text);
    return tag != tag_byte(Tag::List);
}

Outline atom_outline(const Cell* c, Mode mode) {
    unsigned char tag = tag_of(c);
    if (prints_as_empty_pair(tag, mode)) return outline_of("()");
    if (prints_as_itself(tag, mode)) return outline_of(atom_bytes(c));
    if (mode == Mode::Result) return outline_of(result_list_literal(c));
    if (tag == tag_byte(Tag::Real)) return outline_of(real_text(c));
    return outline_of("init[]");  // same first, second and last bytes as any escaped text
}

// The single byte an argument prints as, or -1 when its text is longer (pairs always are).
int single_byte(const Cell* c, Mode mode) {
    if (!is_atom(c)) return -1;
    unsigned char tag = tag_of(c);
    if (!prints_as_itself(tag, mode)) return -1;  // "()", "real[..]", "init[..]", list digits
    return atom_chars(c)[1] == 0 ? tag : -1;
}

bool joins_after(int c) {
    if (c <= 0) return false;
    return is_operator_char(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'Z') || c < 32 || c > 126;
}

bool joins_as_argument(int c) { return c > 0 && c != ' ' && c != '(' && c != ')' && c != '[' && c != ']'; }

// How (L R) is written: 1 extends L's list, 2 joins L and R, 3 wraps both in a new list.
enum Rule : uint8_t { kExtend = 1, kJoin = 2, kWrap = 3 };

class Printer {
public:
    // Printing stops soon after the text passes `limit` bytes.
    Printer(Mode mode, size_t limit) : mode_(mode), limit_(limit) {}

    // The text, or nothing when it would pass the limit.
    std::optional<std::string> print_tree(Cell* root) {
        start_spine(root, 0);
        while (!frames_.empty() && !is_full()) Step();
        if (is_full()) return std::nullopt;
        return std::move(out_);
    }

    // The text, cut at the limit and marked "..." when it would pass it.
    std::string print_tree_cut(Cell* root) {
        std::optional<std::string> whole = print_tree(root);
        if (whole) return std::move(*whole);
        out_.resize(limit_);
        out_ += "...";
        return std::move(out_);
    }

private:
    // A left spine being written: its arguments and rules (bottom-up) live in the shared
    // arrays from base on; `trailing` closing parentheses are owed once it is done.
    struct Frame {
        size_t base;
        size_t count;
        size_t next;
        size_t trailing;
    };

    bool is_full() const { return out_.size() > limit_; }

    void append_atom(const Cell* c, bool drop_last) {
        unsigned char tag = tag_of(c);
        size_t before = out_.size();
        if (prints_as_empty_pair(tag, mode_)) {
            out_ += "()";
        } else if (prints_as_itself(tag, mode_)) {
            std::string_view bytes = atom_bytes(c);
            out_.append(bytes.substr(0, std::min(bytes.size(), limit_ + 1)));
        } else if (mode_ == Mode::Result) {
            out_ += result_list_literal(c);
        } else if (tag == tag_byte(Tag::Real)) {
            out_ += real_text(c);
        } else {
            append_escaped_text(out_, c, limit_);
        }
        if (drop_last && out_.size() > before) out_.pop_back();
    }

    void append_closing(size_t n) {
        if (is_full()) return;
        out_.append(std::min(n, limit_ + 1 - out_.size()), ')');
    }

    // Writes c up to its first argument that still has to be written, leaving a frame for the rest.
    void start_spine(Cell* c, size_t trailing) {
        if (is_atom(c)) {
            append_atom(c, false);
            append_closing(trailing);
            return;
        }
        size_t base = args_.size();
        while (is_pair(c)) {
            args_.push_back(right_of(c));
            c = left_of(c);
        }
        std::reverse(args_.begin() + static_cast<std::ptrdiff_t>(base), args_.end());
        size_t count = args_.size() - base;
        rules_.resize(args_.size());

        Outline text = atom_outline(c, mode_);
        size_t wraps = 0;
        for (size_t k = 0; k < count; ++k) {
            bool opens = text.first == '(' && text.second != -1 && text.second != ')';
            int single = single_byte(args_[base + k], mode_);
            Rule rule;
            if (opens) {
                rule = kExtend;
                text.last = ')';
            } else if (text.first != '(' && joins_after(text.last) && joins_as_argument(single)) {
                rule = kJoin;
                text.last = single;
            } else {
                rule = kWrap;
                ++wraps;
                text.second = text.first;
                text.first = '(';
                text.last = ')';
            }
            rules_[base + k] = rule;
        }
        if (!is_full()) out_.append(std::min(wraps, limit_ + 1 - out_.size()), '(');
        append_atom(c, rules_[base] == kExtend);
        frames_.push_back({base, count, 0, trailing});
    }

    void Step() {
        Frame& frame = frames_.back();
        size_t k = frame.next;
        size_t at = frame.base + k;
        Rule rule = static_cast<Rule>(rules_[at]);
        Cell* arg = args_[at];
        bool last = k + 1 == frame.count;
        size_t closing = rule != kJoin && (last || rules_[at + 1] != kExtend) ? 1 : 0;
        if (rule != kJoin) out_ += ' ';
        if (last) {
            // The last argument inherits what the frame still owes, so right-nested
            // chains keep one frame however deep they go.
            size_t trailing = frame.trailing + closing;
            args_.resize(frame.base);
            rules_.resize(frame.base);
            frames_.pop_back();
            start_spine(arg, trailing);
        } else {
            ++frame.next;
            start_spine(arg, closing);
        }
    }

    Mode mode_;
    size_t limit_;
    std::string out_;
    std::vector<Cell*> args_;
    std::vector<uint8_t> rules_;
    std::vector<Frame> frames_;
};

}  // namespace

std::string printExpression(const CellRef& e) { return Printer(Mode::Expression, kPrintLimit).print_tree_cut(e.get()); }

std::string printResult(const CellRef& e) { return Printer(Mode::Result, kPrintLimit).print_tree_cut(e.get()); }

std::optional<std::string> print_expression_within(const CellRef& e, size_t limit) {
    return Printer(Mode::Expression, limit).print_tree(e.get());
}

std::string display_form(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch == '\0')
            ch = '\n';
        else if (ch == '\n')
            ch = '\0';
    }
    return out;
}
