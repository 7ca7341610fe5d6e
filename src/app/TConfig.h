#pragma once
// The application's settings: TConfigBase with the file's place under the user's
// application-data folder.
#include <string>

#include "app/TConfigBase.h"

class TConfig : public TConfigBase {
public:
    ~TConfig() override;

    // The user's application-data folder (special folder code 1) followed by
    // "Ostrevin\kolvane\kolvane.ini". Windows only.
    static std::u16string GetFileName();
    // The settings file's path under the given application-data folder, a path delimiter
    // added when the folder does not end in one.
    static std::u16string FileNameIn(const std::u16string& appDataFolder);
};
