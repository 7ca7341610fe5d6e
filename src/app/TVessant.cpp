#include "app/TVessant.h"

#include "app/TTempFile.h"
#include "base/MemIniFile.h"

void TVessant::SetLink(void* parentWindow, const std::u16string& extension,
                       const std::u16string& command, const std::u16string& fileType,
                       const std::u16string& iconFile, int32_t iconIndex) {
    const TTempFile file(u"", u"");
    kv::TMemIniFile ini(file.GetFileName());
    ini.WriteString(u"EXT", u"EXT", extension);
    ini.WriteInteger(u"TASK", u"CLOSE", 1);
    ini.WriteString(u"EXT", u"COMMAND", command);
    ini.WriteString(u"EXT", u"FILE_TYPE", fileType);
    ini.WriteString(u"EXT", u"ICON_FILE", iconFile);
    ini.WriteInteger(u"EXT", u"ICON_INDEX", iconIndex);
    ini.WriteInteger(u"TASK", u"COMMAND", 1);
    ini.UpdateFile();
    Run(file.GetFileName(), kProgramName, parentWindow);
}

void TVessant::UnsetLink(void* parentWindow, const std::u16string& extension) {
    const TTempFile file(u"", u"");
    kv::TMemIniFile ini(file.GetFileName());
    ini.WriteString(u"EXT", u"EXT", extension);
    ini.WriteInteger(u"TASK", u"CLOSE", 1);
    ini.WriteInteger(u"TASK", u"COMMAND", 2);
    ini.UpdateFile();
    Run(file.GetFileName(), kProgramName, parentWindow);
}
