#pragma once
// Registers and removes the project file type through the separate file-association program
// "Vessant.exe" beside this program: the instructions go into a temporary INI file, the program
// is started with its path, and the file is deleted once the program has ended. Interface thread
// (blocks while the program runs). Run is Windows only.
#include <cstdint>
#include <string>

class TVessant {
public:
    static constexpr char16_t kProgramName[] = u"Vessant.exe";

    // Instructions to register the extension with its open command, type text and icon.
    static void SetLink(void* parentWindow, const std::u16string& extension,
                        const std::u16string& command, const std::u16string& fileType,
                        const std::u16string& iconFile, int32_t iconIndex);
    // Instructions to remove the extension's registration.
    static void UnsetLink(void* parentWindow, const std::u16string& extension);
    // Starts programName from this program's folder with the instruction file's path as its
    // parameters and waits, without time limit, until it has ended. Reports nothing: a missing
    // or refused program simply changes nothing.
    static void Run(const std::u16string& instructionFile, const std::u16string& programName,
                    void* parentWindow);
};
