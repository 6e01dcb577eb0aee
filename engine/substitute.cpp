// Substitution of a value for a free lambda variable, copying only the paths that lead to it.
// Bodies may nest a million levels deep, so the walk keeps its own stack.
#include <vector>

#include "core/classify.h"
#include "engine/reducer.h"

namespace {

// Keep: the cell itself is the result. Replace: the cell with the variable replaced.
// Join: the two results on top become one pair.
enum class Work : uint8_t { Keep, Replace, Join };

struct Task {
    Work work;
    Cell* cell;
};

// Works on borrowed cells and takes references only for what the result keeps.
class Substitution {
public:
    Substitution(Cell* value, char v)
        : value_(value),
          variable_(v),
          bit_(uint32_t{1} << (v - 'a')),
          task_base_(tasks_.size()),
          result_base_(results_.size()) {}

    CellRef run(Cell* body) {
        tasks_.push_back({Work::Replace, body});
        while (tasks_.size() > task_base_) {
            Task t = tasks_.back();
            tasks_.pop_back();
            switch (t.work) {
                case Work::Keep: results_.emplace_back(t.cell); break;
                case Work::Replace: replace(t.cell); break;
                case Work::Join: join(); break;
            }
        }
        CellRef result = std::move(results_.back());
        results_.pop_back();
        QUIB_CHECK(results_.size() == result_base_);
        return result;
    }

private:
    // Tasks run last pushed first: a pair's parts are pushed right part first.
    void schedule_pair(Task left, Task right) {
        tasks_.push_back({Work::Join, nullptr});
        tasks_.push_back(right);
        tasks_.push_back(left);
    }

    void replace(Cell* b) {
        if (!(free_variables(b) & bit_)) {
            results_.emplace_back(b);
            return;
        }
        if (is_atom(b)) {
            results_.emplace_back(value_);
            return;
        }
        Cell* l = left_of(b);
        Cell* r = right_of(b);
        switch (shape(b)) {
            case Shape::Lambda: schedule_pair({Work::Keep, l}, {Work::Replace, r}); return;
            case Shape::Binding: {
                // Binding node ((({ u) d) r): d always sees v; r only when u is not v.
                Cell* ll = left_of(l);
                Work body = atom_chars(right_of(ll))[0] == variable_ ? Work::Keep : Work::Replace;
                tasks_.push_back({Work::Join, nullptr});
                tasks_.push_back({body, r});
                schedule_pair({Work::Keep, ll}, {Work::Replace, right_of(l)});
                return;
            }
            case Shape::Other: schedule_pair({Work::Replace, l}, {Work::Replace, r}); return;
        }
    }

    void join() {
        CellRef right = std::move(results_.back());
        results_.pop_back();
        results_.back() = classified_pair(std::move(results_.back()), std::move(right));
    }

    Cell* value_;
    char variable_;
    uint32_t bit_;
    // Shared by every substitution, so that a step costs no allocation once they have grown.
    static inline std::vector<Task> tasks_;
    static inline std::vector<CellRef> results_;
    size_t task_base_;
    size_t result_base_;
};

}  // namespace

CellRef substitute(const CellRef& body, const CellRef& value, char v) {
    QUIB_CHECK(v >= 'a' && v <= 'z');
    classify(value.get());
    if (!(free_variables(body.get()) & (uint32_t{1} << (v - 'a')))) return body;
    return Substitution(value.get(), v).run(body.get());
}
