#include "crash/core/ClZlib2.h"

#include <zlib.h>

#include "crash/core/ClCore.h"
#include "crash/core/ClCorePlatform.h"
#include "unzip.h"
#include "zip.h"

namespace kv::crash {

namespace {

// The stored blocks were written by zlib 1.2.3; any zlib 1.x reads and writes that format.
constexpr const char* kZlibVersion = "1.2.3";
constexpr size_t kCopyChunk = 65536;

int Check(int code) {
    if (code < 0) throw EZLibError(code);
    return code;
}

// An entry name that stays inside the output folder: relative, without drive or "..".
bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != name.npos)
        return false;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            if (name.substr(start, i - start) == "..") return false;
            start = i + 1;
        }
    }
    return true;
}

} // namespace

EZLibError::EZLibError(int code) : kv::Exception(AnsiToUtf16(zError(code))), code_(code) {}

void ZCompress(const void* in, size_t inSize, std::string& out) {
    out.assign((inSize + inSize / 10 + 267) / 256 * 256, '\0');
    z_stream s{};
    Check(deflateInit_(&s, 9, kZlibVersion, static_cast<int>(sizeof(z_stream))));
    s.next_in = static_cast<Bytef*>(const_cast<void*>(in));
    s.avail_in = static_cast<uInt>(inSize);
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    try {
        while (Check(deflate(&s, Z_FINISH)) != Z_STREAM_END) {
            out.resize(out.size() + 256);
            s.next_out = reinterpret_cast<Bytef*>(out.data()) + s.total_out;
            s.avail_out = static_cast<uInt>(out.size() - s.total_out);
        }
        out.resize(s.total_out);
    } catch (...) {
        deflateEnd(&s);
        out.clear();
        throw;
    }
    Check(deflateEnd(&s));
}

void ZDecompress(const void* in, size_t inSize, std::string& out) {
    const size_t step = inSize == 0 ? 256 : (inSize + 255) / 256 * 256;
    out.assign(step, '\0');
    z_stream s{};
    s.next_in = static_cast<Bytef*>(const_cast<void*>(in));
    s.avail_in = static_cast<uInt>(inSize);
    Check(inflateInit_(&s, kZlibVersion, static_cast<int>(sizeof(z_stream))));
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    int r = inflate(&s, Z_NO_FLUSH);
    while (r == Z_OK) {
        out.resize(out.size() + step);
        s.next_out = reinterpret_cast<Bytef*>(out.data()) + s.total_out;
        s.avail_out = static_cast<uInt>(out.size() - s.total_out);
        r = inflate(&s, Z_NO_FLUSH);
    }
    out.resize(s.total_out);
    Check(inflateEnd(&s));
}

TZipHandle CreateZipFile(const std::string& fileName) {
    if (FileExists(fileName)) ForceDeleteFile(fileName);
    return zipOpen(detail::NativeFileName(fileName).c_str(), APPEND_STATUS_CREATE);
}

bool AddZipFile(TZipHandle zip, const std::string& fileName, const std::string& archiveFileName,
                const std::string& password) {
    if (!zip) return false;
    const uint32_t size = GetFileSizeByName(fileName);
    std::string data;
    if (!detail::ReadFileDenyWrite(fileName, data) || data.size() < size) return false;
    data.resize(size);

    zip_fileinfo info{};
    int year, month, day, hour, minute, second, msec;
    if (DecodeDateTime(GetModifiedDate(fileName), year, month, day, hour, minute, second, msec) &&
        year >= 1980) {
        info.tmz_date.tm_year = static_cast<uInt>(year);
        info.tmz_date.tm_mon = static_cast<uInt>(month - 1);
        info.tmz_date.tm_mday = static_cast<uInt>(day);
        info.tmz_date.tm_hour = static_cast<uInt>(hour);
        info.tmz_date.tm_min = static_cast<uInt>(minute);
        info.tmz_date.tm_sec = static_cast<uInt>(second);
    } else {
        info.tmz_date.tm_year = 1980;
        info.tmz_date.tm_mday = 1;
    }
    // Traditional encryption needs the data's CRC-32 up front.
    const char* pass = password.empty() ? nullptr : password.c_str();
    const uLong crc = pass ? crc32(0, reinterpret_cast<const Bytef*>(data.data()), size) : 0;
    if (zipOpenNewFileInZip3(zip, archiveFileName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                             Z_DEFLATED, 9, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, pass,
                             crc) != ZIP_OK)
        return false;
    return zipWriteInFileInZip(zip, data.data(), size) == ZIP_OK;
}

bool CloseZipFile(TZipHandle zip) {
    return zip && zipClose(zip, nullptr) == ZIP_OK;
}

bool ExtractZipFiles(const std::string& archiveFileName, const std::string& outDir,
                     const std::string& password, uint64_t maxBytes) {
    unzFile uf = unzOpen(detail::NativeFileName(archiveFileName).c_str());
    if (!uf) return false;
    const std::string folder = IncludeLastBackslash(outDir);
    const char* pass = password.empty() ? nullptr : password.c_str();
    bool ok = true;
    unz_global_info global{};
    if (unzGetGlobalInfo(uf, &global) != UNZ_OK) ok = false;
    std::string buffer(kCopyChunk, '\0');
    uint64_t inflated = 0; // of every entry so far, written or not
    bool overBound = false;
    for (uLong i = 0; i < global.number_entry; ++i) {
        char name[257] = {};
        unz_file_info info{};
        if (unzGetCurrentFileInfo(uf, &info, name, 256, nullptr, 0, nullptr, 0) != UNZ_OK ||
            !IsSafeEntryName(name)) {
            ok = false;
        } else if (unzOpenCurrentFilePassword(uf, pass) != UNZ_OK) {
            ok = false;
        } else {
            const std::string target = folder + name;
            const intptr_t h = kv::FileCreate(AnsiToUtf16(target));
            if (h == kv::kInvalidFile) ok = false;
            int n;
            while ((n = unzReadCurrentFile(uf, buffer.data(), kCopyChunk)) > 0) {
                // A small archive can claim gigabytes: stop before the bound is passed.
                if (inflated + static_cast<uint64_t>(n) > maxBytes) {
                    overBound = true;
                    break;
                }
                inflated += static_cast<uint64_t>(n);
                if (h != kv::kInvalidFile &&
                    kv::FileWrite(h, buffer.data(), static_cast<size_t>(n)) != n)
                    ok = false;
            }
            if (n < 0) ok = false;
            if (h != kv::kInvalidFile) kv::FileClose(h);
            if (overBound) {
                ok = false;
                if (h != kv::kInvalidFile) ForceDeleteFile(target); // no entry left cut short
            }
            if (unzCloseCurrentFile(uf) != UNZ_OK) ok = false; // also the CRC check
        }
        if (overBound) break;
        if (i + 1 < global.number_entry && unzGoToNextFile(uf) != UNZ_OK) {
            ok = false;
            break;
        }
    }
    unzClose(uf);
    return ok;
}

} // namespace kv::crash
