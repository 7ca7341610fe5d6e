#pragma once
// Folders, file names and the program's own path, in place of the class library's file
// routines. Path text helpers are pure and take both "\" and "/" as delimiters (":" ends a
// drive); the file operations report failure by their result and never raise.
#include <string>
#include <string_view>

namespace kv {

bool DirectoryExists(const std::u16string& path);
// Creates the folder with every missing parent; true when it exists afterwards. An empty path
// stands for the current folder and gives true.
bool ForceDirectories(const std::u16string& path);
// Deletes a file; false when it cannot.
bool FileDelete(const std::u16string& path);
// Moves a file to a new name; false, nothing changed, when it cannot or when `to` exists.
bool FileRename(const std::u16string& from, const std::u16string& to);
// Full path of the running program's file.
std::u16string GetProgramFileName();

// The folder part without the last delimiter, except that a root ("C:\", "/") keeps it; empty
// when the path holds no delimiter.
std::u16string ExtractFileDir(std::u16string_view path);
// The folder part with its last delimiter; empty when the path holds no delimiter.
std::u16string ExtractFilePath(std::u16string_view path);
// The part after the last delimiter.
std::u16string ExtractFileName(std::u16string_view path);
// The path with the extension of its file name (from its last ".") replaced by ext, or ext
// appended when the name has none; ext is taken as given (".ini", or empty to remove).
std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view ext);

} // namespace kv
