#include "BenchOptions.h"

#include <climits>

#include "base/Text.h"

const char* const kBenchUsage =
    "--left FILE --right FILE [--lk N] [--rk N] (-1: no key column) [--lt] [--rt]\n"
    "    [--view 0-3] [--order 0|1] [--sort COMMA_TEXT] [--encoding 0|1] [--append] --out FILE\n";

bool ParseBenchOptions(const std::vector<std::u16string>& args, BenchOptions& o,
                       std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::u16string& a = args[i];
        if (a == u"--lt") {
            o.leftTitle = true;
            continue;
        }
        if (a == u"--rt") {
            o.rightTitle = true;
            continue;
        }
        if (a == u"--append") {
            o.append = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + kv::Utf16ToUtf8(a);
            return false;
        }
        const std::u16string& value = args[++i];
        int* number = nullptr;
        int lo = 0, hi = 0x7FFFFFFF;
        if (a == u"--left")
            o.left = value;
        else if (a == u"--right")
            o.right = value;
        else if (a == u"--out")
            o.out = value;
        else if (a == u"--sort")
            o.sort = TCsvSorter::FromCommaText(value);
        // A negative key column (-1: none) is allowed, as the batch file allows it: that side's
        // rows then match nothing, as in the program.
        else if (a == u"--lk")
            number = &o.leftKey, lo = INT_MIN;
        else if (a == u"--rk")
            number = &o.rightKey, lo = INT_MIN;
        else if (a == u"--view")
            number = &o.view, hi = 3;
        else if (a == u"--order")
            number = &o.order, hi = 1;
        else if (a == u"--encoding")
            number = &o.encoding, hi = 1;
        else {
            error = "unknown option " + kv::Utf16ToUtf8(a);
            return false;
        }
        if (number && (!kv::TryStrToInt(value, *number) || *number < lo || *number > hi)) {
            error = "bad value for " + kv::Utf16ToUtf8(a) + ": " + kv::Utf16ToUtf8(value);
            return false;
        }
    }
    if (o.left.empty() || o.right.empty() || o.out.empty()) {
        error = "--left, --right and --out are required";
        return false;
    }
    return true;
}
