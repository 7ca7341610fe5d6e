#include "crash/tools/TPostLink.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Stream.h"
#include "crash/debug/ClByteReader.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/core/TCrashModuleOptions.h"
#include "crash/tools/TDebugDataWriter.h"
#include "crash/tools/TDebugModel.h"
#include "crash/tools/TDwarfReader.h"
#include "crash/tools/TPeImageFile.h"

namespace kv::crash::tools {

namespace {

bool ReadFile(const std::string& name, std::string& bytes) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

// Writes through a temporary file beside the target, so a failed write leaves the old file.
bool WriteFile(const std::string& name, const std::string& bytes) {
    const std::string temp = name + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, name, ec);
    return !ec;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool HasTrailer(std::string_view bytes) {
    uint32_t magic;
    return bytes.size() >= 8 && TByteReader::U32At(bytes, bytes.size() - 4, magic) &&
           magic == kCLDataTrailerMagic;
}

std::string ReplaceExtension(const std::string& name, const std::string& ext) {
    std::filesystem::path p(name);
    p.replace_extension(ext);
    return p.string();
}

} // namespace

std::string DefaultOptionsStream() {
    const TCrashModuleOptions options("");
    kv::TMemoryStream stream;
    options.SaveToStream(stream);
    return stream.Data();
}

bool RunPostLink(const TPostLinkOptions& o, std::string& report, std::string& err) {
    std::string bytes;
    if (!ReadFile(o.Executable, bytes)) {
        err = "cannot read " + o.Executable;
        return false;
    }
    if (HasTrailer(bytes)) {
        report = o.Executable + ": already carries CLDATA";
        return true;
    }
    TPeImageFile image;
    if (!image.Load(bytes, err)) return false;
    std::vector<TDwarfUnit> units;
    if (!ReadDwarf(image, units, err)) return false;
    const std::vector<TUnitRecord> records = BuildDebugModel(image, units);
    if (records.empty()) {
        err = o.Executable + ": no code with line information";
        return false;
    }
    const std::string mapName = ReplaceExtension(o.Executable, ".map");
    if (!WriteFile(mapName, WriteMapFile(records, image.ImageBase()))) {
        err = "cannot write " + mapName;
        return false;
    }
    std::string options = DefaultOptionsStream();
    if (!o.OptionsFile.empty() && !ReadFile(o.OptionsFile, options)) {
        err = "cannot read " + o.OptionsFile;
        return false;
    }
    const std::string debugData = WriteDebugData(records, image.ImageBase(), o.Password);

    if (!o.StripProgram.empty()) {
        const std::string command = Quote(o.StripProgram) + " --strip-debug " + Quote(o.Executable);
        if (std::system(command.c_str()) != 0) {
            err = "failed: " + command;
            return false;
        }
        if (!ReadFile(o.Executable, bytes)) {
            err = "cannot read " + o.Executable + " after stripping";
            return false;
        }
    }
    bytes += BuildCLDataTrailer(kDebugDataVersion, PosixTimeToDateTime(std::time(nullptr)), options,
                                debugData);
    if (!WriteFile(o.Executable, bytes)) {
        err = "cannot write " + o.Executable;
        return false;
    }
    size_t lines = 0, procs = 0;
    for (const TUnitRecord& r : records) {
        lines += r.Lines.size();
        procs += r.Procs.size();
    }
    report = o.Executable + ": CLDATA with " + std::to_string(records.size()) + " unit records, " +
             std::to_string(procs) + " procedures, " + std::to_string(lines) + " lines (" +
             std::to_string(debugData.size()) + " bytes); " + mapName;
    return true;
}

bool CheckCLDataTrailer(const std::string& executable, std::string& err) {
    std::string bytes;
    if (!ReadFile(executable, bytes)) {
        err = "cannot read " + executable;
        return false;
    }
    const size_t length =
        bytes.size() >= 8
            ? CLDataTrailerLength(reinterpret_cast<const uint8_t*>(bytes.data() + bytes.size() - 8))
            : 0;
    if (length == 0 || length > bytes.size()) {
        err = executable + ": no CLDATA trailer";
        return false;
    }
    // Read as the module registry reads it: version, date, options, debug data.
    TCrashModuleInfo info;
    info.ExtraInformation.Options = std::make_unique<TCrashModuleOptions>(executable);
    const auto* tail = reinterpret_cast<const uint8_t*>(bytes.data() + bytes.size() - length);
    if (!ReadCLDataTrailer(tail, length, info, false)) {
        err = executable + ": damaged CLDATA trailer";
        return false;
    }
    if (info.ExtraInformation.CrashVersion != kDebugDataVersion ||
        !info.ExtraInformation.DebugInformation) {
        err = executable + ": CLDATA of data version " +
              std::to_string(info.ExtraInformation.CrashVersion) + " without debug data";
        return false;
    }
    return true;
}

} // namespace kv::crash::tools
