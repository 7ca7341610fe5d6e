#pragma once
// The temporary folder and unique temporary files. Windows: GetTempPath / GetTempFileName; the
// native build has a stand-in with the same contract for tests.
#include <string>

class TFileUtility {
public:
    // The temporary folder, ending with a path delimiter; raises kv::Exception
    // "Cannot get temporary direcotry." when the platform cannot give it.
    static std::u16string GetTempDirectory();
    // Creates an empty file with a unique name in folder (the temporary folder when empty),
    // named from the prefix (its first three characters), a hexadecimal number and ".tmp", and
    // returns its path. Raises kv::Exception "一時ファイルの作成に失敗しました。" when it cannot.
    static std::u16string CreateTempFileName(const std::u16string& folder,
                                             const std::u16string& prefix);
    // CreateTempFileName in the temporary folder with no prefix.
    static std::u16string GetTempFileNameInTempDir();
};
