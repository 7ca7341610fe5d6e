// Writes the seed corpus of the options stream fuzz target: streams of the current layout and the
// hand-written streams of older layouts, each behind its version word.
// Usage: make_options_stream_seeds <folder>
#include <cstdio>
#include <fstream>
#include <string>

#include "../crash/support/OptionsStreamLayouts.h"
#include "crash/core/TCrashModuleOptions.h"

namespace {

void Write(const std::string& folder, const std::string& name, uint16_t version,
           const std::string& stream) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.put(static_cast<char>(version & 0xFF));
    out.put(static_cast<char>(version >> 8));
    out << stream;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    using namespace kv::crash;
    const std::string folder = argv[1];
    TCrashModuleOptions options("");
    kv::TMemoryStream defaults;
    options.SaveToStream(defaults);
    Write(folder, "current_defaults", CrashLogCurrentVersion, defaults.Data());

    options.SetSMTPHost("smtp.example.com");
    options.SetHTMLLayout("<html>\r\n<%HTML_TAG%>\r\n</html>\r\n");
    options.ExceptionsFilters().Add({true, "EAccessViolation", "Bad %_ExceptMsg%", fetHandled,
                                     fdtMSClassic, fhtCrashLog, fatTerminate});
    options.SetCustomizedTexts(mtDialog_Caption, "\x83\x47\x83\x89\x81\x5B");
    kv::TMemoryStream filled;
    options.SaveToStream(filled);
    Write(folder, "current_filled", CrashLogCurrentVersion, filled.Data());

    Write(folder, "layout_421", 421, kvtest::layouts::OptionsLayout421());
    Write(folder, "layout_450", 450, kvtest::layouts::OptionsLayout450());
    Write(folder, "layout_500", 500, kvtest::layouts::OptionsLayout500());
    return 0;
}
