#include "crash/capture/CrashLogExceptions.h"

#include "crash/core/ClCore.h"

namespace kv::crash {

TActiveXException::TActiveXException(const std::string& exceptionType,
                                     const std::string& exceptionMessage)
    : Exception(AnsiToUtf16(exceptionMessage)) {
    TStrings lines;
    SetTextStr(lines, exceptionType);
    for (const std::string& line : lines) {
        if (!FParents.empty()) FParents += '\n';
        FParents += line;
    }
    if (!lines.empty()) FExceptionType = lines.front();
}

bool TActiveXException::HasParent(const std::string& name) const {
    TStrings lines;
    SetTextStr(lines, FParents);
    for (const std::string& line : lines)
        if (line == name) return true;
    return false;
}

EForeignException::EForeignException(const std::string& typeName)
    : Exception(u"Exception of type " + AnsiToUtf16(typeName) + u"."), typeName_(typeName) {}

std::string AccessViolationText(uint32_t exceptionAddress, const std::string& moduleName,
                                bool write, uint32_t targetAddress) {
    std::string text = "Access violation at address " + IntToHex(exceptionAddress, 8);
    if (!moduleName.empty()) text += " in module '" + moduleName + "'";
    return text + ". " + (write ? "Write" : "Read") + " of address " + IntToHex(targetAddress, 8);
}

std::unique_ptr<kv::Exception> NewExceptionFromRecord(const TExceptionRecordCopy& record,
                                                      const std::string& moduleName) {
    auto text = [](const std::string& s) { return AnsiToUtf16(s); };
    switch (record.ExceptionCode) {
    case kCodeAccessViolation: {
        const bool write = record.NumberParameters >= 1 && record.ExceptionInformation[0] != 0;
        const uint32_t target = record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
        return std::make_unique<EAccessViolation>(
            text(AccessViolationText(record.ExceptionAddress, moduleName, write, target)), record);
    }
    case kCodeStackOverflow:
        return std::make_unique<EStackOverflow>(u"Stack overflow", record);
    case 0xC0000094:
        return std::make_unique<EDivByZero>(u"Integer divide by zero", record);
    case 0xC0000095:
        return std::make_unique<EIntOverflow>(u"Integer overflow", record);
    case 0xC000008E:
        return std::make_unique<EZeroDivide>(u"Floating point division by zero", record);
    case 0xC0000091:
        return std::make_unique<EOverflow>(u"Floating point overflow", record);
    case 0xC0000093:
        return std::make_unique<EUnderflow>(u"Floating point underflow", record);
    case 0xC000008D:
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000092:
        return std::make_unique<EInvalidOp>(u"Invalid floating point operation", record);
    case 0xC0000096:
        return std::make_unique<EPrivilege>(u"Privileged instruction", record);
    case 0xC000013A:
        return std::make_unique<EControlC>(u"Control-C hit", record);
    default:
        return std::make_unique<EExternalException>(
            u"外部例外 " + text(IntToHex(record.ExceptionCode, 1)), record);
    }
}

} // namespace kv::crash
