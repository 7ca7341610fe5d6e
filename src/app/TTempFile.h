#pragma once
// A temporary file with a unique name: created empty when the object is made, deleted when it
// goes. Interface thread.
#include <string>

class TTempFile {
public:
    // Creates the file in folder (the temporary folder when empty) and gives it the extension
    // when one is asked for. Raises the exceptions of TFileUtility when no file can be made.
    TTempFile(const std::u16string& extension, const std::u16string& folder);
    // Deletes the file; a failure to delete is ignored.
    virtual ~TTempFile();
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::u16string& GetFileName() const { return FileName; }

    // Moves the file to its name with the extension replaced ("ini" and ".ini" alike) and
    // returns the new name; returns the old name when the extension is empty or the file cannot
    // be moved (an existing file of the new name is never replaced).
    static std::u16string ChangeExtension(const std::u16string& fileName,
                                          const std::u16string& extension);

    std::u16string FileName;
};
