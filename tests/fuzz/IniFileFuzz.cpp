// libFuzzer target over the INI reader as the project and settings files use it: the raw bytes
// of a file (byte-order mark or ANSI text) read by TMemIniFile, a project and the settings.
// Reading back what was written must give the same INI text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "app/TConfig.h"
#include "app/TProject.h"
#include "base/Exception.h"
#include "base/MemIniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchFile file("ini");
    if (!file.Write(data, size)) return 0;

    const kv::TMemIniFile ini(file.Path());
    const std::u16string text = ini.GetText();
    kv::TMemIniFile again(u"");
    again.SetText(text);
    if (again.GetText() != text) std::abort();
    for (const std::u16string& section : ini.ReadSections())
        for (const std::u16string& key : ini.ReadSection(section)) {
            (void)ini.ReadInteger(section, key, 0);
            try {
                (void)ini.ReadBool(section, key, false);
            } catch (const kv::EConvertError&) {}
        }

    try {
        TProject project;
        project.Load(file.Path());
    } catch (const kv::Exception&) {}
    try {
        TConfig config;
        config.Load(file.Path());
    } catch (const kv::Exception&) {}
    return 0;
}
