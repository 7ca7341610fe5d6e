// kolvane-bench: times one join from files to saved result the way the join window runs it
// (load both files, join step by step into the result model, order, save) and prints the
// seconds of each phase and the peak memory. Not run by the tests.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "BenchArgs.h"
#include "BenchOptions.h"
#include "base/MemoryInfo.h"
#include "base/Text.h"
#include "csv/TCsv.h"
#include "csv/TCsvSorter.h"
#include "join/ResultSave.h"
#include "join/TKolvane.h"
#include "join/TKolvaneGridModel.h"

namespace {

class Stopwatch {
public:
    // Seconds since the previous lap (or the start).
    double Lap() {
        const auto now = Clock::now();
        const std::chrono::duration<double> d = now - last_;
        last_ = now;
        return d.count();
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point last_ = Clock::now();
};

double MiB(uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

int Run(const std::vector<std::u16string>& args) {
    BenchOptions o;
    std::string error;
    if (!ParseBenchOptions(args, o, error)) {
        std::fprintf(stderr, "kolvane-bench: %s\nusage: kolvane-bench %s", error.c_str(),
                     kBenchUsage);
        return 2;
    }

    Stopwatch watch;
    TCsv left, right;
    if (!left.LoadFromFile(o.left)) {
        std::fprintf(stderr, "kolvane-bench: cannot load the left file %s\n",
                     kv::Utf16ToUtf8(o.left).c_str());
        return 1;
    }
    const double loadLeft = watch.Lap();
    if (!right.LoadFromFile(o.right)) {
        std::fprintf(stderr, "kolvane-bench: cannot load the right file %s\n",
                     kv::Utf16ToUtf8(o.right).c_str());
        return 1;
    }
    const double loadRight = watch.Lap();

    TKolvane engine(&left, o.leftKey, o.leftTitle, &right, o.rightKey, o.rightTitle);
    TKolvaneGridModel model(engine.HasTitleRow());
    // The join window picks the view before the first batch arrives.
    model.SetShowType(o.view);
    while (engine.Next()) model.AddRows(engine.CurrentRows());
    const double join = watch.Lap();

    if (!o.sort.empty())
        model.SortByInfos(o.sort);
    else
        model.SortBySide(o.order);
    const double order = watch.Lap();

    const TResultSaveStatus saved =
        SaveResultRows(model, o.out, !o.append, SaveCodePage(o.encoding));
    const double write = watch.Lap();
    if (saved != TResultSaveStatus::Saved) {
        std::fprintf(stderr, "kolvane-bench: cannot %s %s\n",
                     saved == TResultSaveStatus::OpenFailed ? "open" : "write",
                     kv::Utf16ToUtf8(o.out).c_str());
        return 1;
    }

    const kv::PeakMemory peak = kv::GetPeakMemory();
    std::printf("left %d x %d, right %d x %d, joined %lu rows, %d shown\n", left.GetRowCount(),
                left.GetColCount(), right.GetRowCount(), right.GetColCount(),
                static_cast<unsigned long>(model.Rows.size()), model.GetVisibleCount());
    std::printf("load left    %8.3f s\n", loadLeft);
    std::printf("load right   %8.3f s\n", loadRight);
    std::printf("join         %8.3f s\n", join);
    std::printf("order        %8.3f s\n", order);
    std::printf("write        %8.3f s\n", write);
    std::printf("total        %8.3f s\n", loadLeft + loadRight + join + order + write);
    std::printf("peak private %8.1f MiB\n", MiB(peak.peakPrivateBytes));
    std::printf("peak working %8.1f MiB\n", MiB(peak.peakWorkingSet));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(GetBenchArgs(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kolvane-bench: %s\n", e.what());
        return 1;
    }
}
