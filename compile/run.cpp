// Run control: prepare the program, reduce (I (main argv)), and judge what comes back.
#include "compile/run.h"

#include "compile/checks.h"
#include "core/graph_dump.h"
#include "core/printer.h"
#include "core/tables.h"
#include "core/values.h"
#include "engine/fast.h"
#include "engine/reducer.h"

namespace {

constexpr size_t kNameLimit = 57;
constexpr size_t kNameKept = 53;

std::string shortened_name(const std::string& text) {
    if (text.size() < kNameLimit) return text;
    return text.substr(0, kNameKept) + "...";
}

}  // namespace

void runProgram(ErrorRecord& record, int64_t argv_address) {
    prepareProgram(record);
    if (!IsEmpty(record)) return;
    const CellRef* main = find_definition("");
    QUIB_CHECK(main != nullptr);
    CellRef argument = make_integer(argv_address);
    CellRef result = choose_engine() == Engine::Fast
                         ? fast_evaluate(*main, std::move(argument))
                         : evaluate(apply(CellRef::atom("I"), apply(*main, std::move(argument))));
    QUIB_CHECK(result);
    dump_result_graph(result.get());
    if (has_tag(result.get(), Tag::Cycle)) {
        std::string name(result.bytes().substr(1));
        record.Name = name;
        record.Definition = name;
        record.Type = ReportType::Cycle;
        record.Text = "Cycle detected on function [" + name + "].";
        return;
    }
    if (is_integer_arg(result.get())) {
        set_definition("", std::move(result));
        return;
    }
    std::string printed = printResult(result);
    record.Name = shortened_name(printed);
    record.Type = ReportType::Range;
    record.Text = "The program must return an integer. Instead we encountered:\n" + printed;
}
