#include "crash/send/ClSendReport.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kv::crash {

bool RunSendStep(TCrashActionType Sending, TCrashActionType Sent,
                 const std::function<bool()>& Attempt) {
    bool step = true;
    CallInRaisingThread([&] { DoExceptionActionNotify(Sending, step); });
    if (!step) return false;
    bool retry = false;
    do {
        step = Attempt();
        retry = false;
        if (!step) {
            const TCrashLogErrorCode code = GetLastCrashLogErrorCode();
            CallInRaisingThread([&] { DoExceptionErrorNotify(code, retry); });
        }
    } while (retry);
    const bool result = step;
    CallInRaisingThread([&] { DoExceptionActionNotify(Sent, step); });
    return result;
}

std::string WebSendErrorText(const std::string& Label, int32_t Result, const std::string& Reply) {
    std::string detail;
    if (Result == -1)
        detail = " - Cannot find the \"wininet.dll\" library.";
    else if (!Reply.empty())
        detail = " (" + Reply + ")";
    return Label + " error code: " + IntToStr(Result) + detail;
}

std::string TrackerErrorText(const TCrashModuleOptions& Options, int32_t Result, int32_t ErrorCode,
                             const std::string& ErrorMessage) {
    // The results' order: srOK, srBugClosed, srUnknownError, srInvalidLogin,
    // srInvalidSelection, srInvalidSearch, srInvalidInsert, srInvalidModify.
    TMessageType text = mtSend_UnknownErrorMsg;
    switch (Result) {
    case 3:
        text = mtSend_InvalidLoginMsg;
        break;
    case 4:
        text = mtSend_InvalidSelectionMsg;
        break;
    case 5:
        text = mtSend_InvalidSearchMsg;
        break;
    case 6:
        text = mtSend_InvalidInsertMsg;
        break;
    case 7:
        text = mtSend_InvalidModifyMsg;
        break;
    default:
        break;
    }
    return Options.GetCustomizedExpandedTexts(text) + "\r\n\r\nError Code: " + IntToStr(ErrorCode) +
           "\r\nError Message: \"" + ErrorMessage + "\"";
}

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsCompressedCopyName(const std::string& name) {
    const std::string lower = Lower(name);
    return lower.size() >= 13 && lower.rfind("bugreport", 0) == 0 &&
           lower.compare(lower.size() - 4, 4, ".zip") == 0;
}

} // namespace

TStrings CompressedCopiesToPrune(const TStrings& FileNames) {
    TStrings copies;
    for (const std::string& name : FileNames)
        if (IsCompressedCopyName(name)) copies.push_back(name);
    std::sort(copies.begin(), copies.end(),
              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    if (copies.size() <= 10) return {};
    copies.resize(copies.size() - 10);
    return copies;
}

int32_t SentPercent(uint64_t BytesSent, uint64_t TotalBytes) {
    if (TotalBytes == 0) return 100;
    return static_cast<int32_t>(std::min<uint64_t>(BytesSent * 100 / TotalBytes, 100));
}

int32_t UploadPercent(uint64_t BytesSent, uint64_t TotalSize) {
    if (TotalSize == 0) return 100;
    const double p = std::nearbyint(static_cast<double>(BytesSent) / TotalSize * 100.0);
    return static_cast<int32_t>(std::min(p, 100.0));
}

} // namespace kv::crash
