// kolvane-joinwin-bench: runs one join through the real join window in automatic mode (the
// window is shown, joins at its first idle moment with its progress bar and grid, orders and
// saves with the project's options and closes) and prints the time to the last row, the total
// and the peak memory. Needs a display (Xvfb under Wine). Not run by the tests.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "BenchArgs.h"
#include "BenchOptions.h"
#include "app/TProject.h"
#include "app/UnitFormKolvane.h"
#include "base/MemoryInfo.h"
#include "base/MessagePump.h"
#include "base/Text.h"
#include "csv/TCsv.h"
#include "ui/Application.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double MiB(uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Watches the join loop from its message pump, which it calls once per engine step: the time
// of the first and of the last step. The application's own pump still runs behind it.
class PumpWatch {
public:
    PumpWatch() : fn_(kv::detail::g_pumpFn), context_(kv::detail::g_pumpContext) {
        kv::SetMessagePump(&Hook, this);
    }
    ~PumpWatch() { kv::SetMessagePump(fn_, context_); }
    PumpWatch(const PumpWatch&) = delete;
    PumpWatch& operator=(const PumpWatch&) = delete;

    long long steps = 0;
    Clock::time_point first{}, last{};

private:
    static void Hook(void* context) {
        auto* self = static_cast<PumpWatch*>(context);
        const auto now = Clock::now();
        if (self->steps++ == 0) self->first = now;
        self->last = now;
        if (self->fn_) self->fn_(self->context_);
    }
    kv::MessagePumpFn fn_;
    void* context_;
};

int Run(const std::vector<std::u16string>& args) {
    BenchOptions o;
    std::string error;
    if (!ParseBenchOptions(args, o, error)) {
        std::fprintf(stderr, "kolvane-joinwin-bench: %s\nusage: kolvane-joinwin-bench %s",
                     error.c_str(), kBenchUsage);
        return 2;
    }
    kv::TApplication application;
    application.SetTitle(u"Kolvane");

    const auto start = Clock::now();
    TCsv left, right;
    if (!left.LoadFromFile(o.left) || !right.LoadFromFile(o.right)) {
        std::fprintf(stderr, "kolvane-joinwin-bench: cannot load the input files\n");
        return 1;
    }
    const auto loaded = Clock::now();

    TProject project;
    project.SaveFileName = o.out;
    project.EncodingIndex = o.encoding;
    project.ShowType = o.view;
    project.SaveIsNew = !o.append;
    project.SaveSortCol = o.order;
    project.SortInfos = o.sort;

    bool succeeded = false;
    long long rows = 0, shown = 0;
    PumpWatch watch;
    Clock::time_point shownAt{}, closed{};
    {
        TFormKolvane form(&application, true, &project, &left, o.leftKey, o.leftTitle, &right,
                          o.rightKey, o.rightTitle);
        form.OnShow = [&shownAt](kv::TObject*) { shownAt = Clock::now(); };
        form.ShowModal();
        closed = Clock::now();
        succeeded = form.Succeeded;
        rows = static_cast<long long>(form.Grid->Model.Rows.size());
        shown = form.Grid->Model.GetVisibleCount();
    }
    if (!succeeded) {
        std::fprintf(stderr, "kolvane-joinwin-bench: the window did not save %s\n",
                     kv::Utf16ToUtf8(o.out).c_str());
        return 1;
    }
    const kv::PeakMemory peak = kv::GetPeakMemory();
    std::printf("left %d x %d, right %d x %d, joined %lld rows, %lld shown\n", left.GetRowCount(),
                left.GetColCount(), right.GetRowCount(), right.GetColCount(), rows, shown);
    std::printf("engine steps %lld\n", watch.steps);
    std::printf("load both     %8.3f s\n", Seconds(start, loaded));
    std::printf("first step    %8.3f s after the window was shown\n",
                Seconds(shownAt, watch.first));
    std::printf("last row      %8.3f s after the window was shown\n", Seconds(shownAt, watch.last));
    std::printf("order, save   %8.3f s\n", Seconds(watch.last, closed));
    std::printf("window total  %8.3f s\n", Seconds(shownAt, closed));
    std::printf("peak private  %8.1f MiB\n", MiB(peak.peakPrivateBytes));
    std::printf("peak working  %8.1f MiB\n", MiB(peak.peakWorkingSet));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(GetBenchArgs(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kolvane-joinwin-bench: %s\n", e.what());
        return 1;
    }
}
