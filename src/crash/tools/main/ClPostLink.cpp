// clpostlink: the build's post-link step for Windows executables (see TPostLink.h).
//   clpostlink [--strip PROGRAM] [--options FILE] [--password TEXT] EXE
//   clpostlink --check EXE
#include <cstdio>
#include <cstring>
#include <string>

#include "crash/tools/TPostLink.h"

int main(int argc, char** argv) {
    kv::crash::tools::TPostLinkOptions o;
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--check") {
            check = true;
        } else if ((a == "--strip" || a == "--options" || a == "--password") && i + 1 < argc) {
            std::string& v = a == "--strip"     ? o.StripProgram
                             : a == "--options" ? o.OptionsFile
                                                : o.Password;
            v = argv[++i];
        } else if (!a.empty() && a[0] != '-' && o.Executable.empty()) {
            o.Executable = a;
        } else {
            std::fprintf(stderr, "clpostlink: unexpected argument %s\n", a.c_str());
            return 2;
        }
    }
    if (o.Executable.empty()) {
        std::fprintf(stderr,
                     "usage: clpostlink [--strip PROGRAM] [--options FILE] [--password TEXT] EXE\n"
                     "       clpostlink --check EXE\n");
        return 2;
    }
    std::string err, report;
    if (check) {
        if (!kv::crash::tools::CheckCLDataTrailer(o.Executable, err)) {
            std::fprintf(stderr, "clpostlink: %s\n", err.c_str());
            return 1;
        }
        std::printf("%s: carries CLDATA\n", o.Executable.c_str());
        return 0;
    }
    if (!kv::crash::tools::RunPostLink(o, report, err)) {
        std::fprintf(stderr, "clpostlink: %s\n", err.c_str());
        return 1;
    }
    std::printf("%s\n", report.c_str());
    return 0;
}
