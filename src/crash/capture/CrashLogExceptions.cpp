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

namespace {

std::string Hex8(uint32_t v) {
    return IntToHex(v, 8);
}

} // namespace

kv::Exception* NewExceptionFromRecord(const TExceptionRecordCopy& record,
                                      const std::string& moduleName) {
    auto text = [](const std::string& s) { return AnsiToUtf16(s); };
    switch (record.ExceptionCode) {
    case kCodeAccessViolation: {
        const bool write = record.NumberParameters >= 1 && record.ExceptionInformation[0] != 0;
        const uint32_t target = record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
        const std::string kind = write ? "Write" : "Read";
        std::string message = moduleName.empty()
                                  ? "Access violation at address " + Hex8(record.ExceptionAddress) +
                                        ". " + kind + " of address " + Hex8(target)
                                  : "Access violation at address " + Hex8(record.ExceptionAddress) +
                                        " in module '" + moduleName + "'. " + kind +
                                        " of address " + Hex8(target);
        return new EAccessViolation(text(message), record);
    }
    case kCodeStackOverflow:
        return new EStackOverflow(u"Stack overflow", record);
    case 0xC0000094:
        return new EDivByZero(u"Integer divide by zero", record);
    case 0xC0000095:
        return new EIntOverflow(u"Integer overflow", record);
    case 0xC000008E:
        return new EZeroDivide(u"Floating point division by zero", record);
    case 0xC0000091:
        return new EOverflow(u"Floating point overflow", record);
    case 0xC0000093:
        return new EUnderflow(u"Floating point underflow", record);
    case 0xC000008D:
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000092:
        return new EInvalidOp(u"Invalid floating point operation", record);
    case 0xC0000096:
        return new EPrivilege(u"Privileged instruction", record);
    case 0xC000013A:
        return new EControlC(u"Control-C hit", record);
    default:
        return new EExternalException(u"外部例外 " + text(IntToHex(record.ExceptionCode, 1)),
                                      record);
    }
}

} // namespace kv::crash
