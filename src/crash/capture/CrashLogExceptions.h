#pragma once
// The exception classes of the crash-report component: system exceptions turned into objects
// (EExternal and its descendants, built from a copy of the system's exception record), the
// frozen-application report, the component's general error, foreign exceptions reported by
// type name, and the stand-in for a thrown value that is no object of a polymorphic class.
// Portable; any thread.
#include <cstdint>
#include <memory>
#include <string>

#include "base/Exception.h"

namespace kv::crash {

// The x86 exception record as the system lays it out (80 bytes): code, flags, nested record,
// address, parameter count and 15 parameters.
struct TExceptionRecordCopy {
    uint32_t ExceptionCode = 0;
    uint32_t ExceptionFlags = 0;
    uint32_t ExceptionRecord = 0;
    uint32_t ExceptionAddress = 0;
    uint32_t NumberParameters = 0;
    uint32_t ExceptionInformation[15] = {};
};
static_assert(sizeof(TExceptionRecordCopy) == 80);

// Bytes of an x86 thread context that the component copies and reads (through SegSs).
constexpr uint32_t kContextCopySize = 204;
// Control and integer registers.
constexpr uint32_t kContextControlInteger = 0x00010003;

// The exception codes the component knows.
constexpr uint32_t kCodeAccessViolation = 0xC0000005;
constexpr uint32_t kCodeStackOverflow = 0xC00000FD;
constexpr uint32_t kCodeThreadNaming = 0x406D1388;
constexpr uint32_t kCodeSystemFirst = 0xC0000005;
constexpr uint32_t kCodeSystemLast = 0xC000013A;

// What a report sent later keeps of its exception object: the message and the class name as
// they were. A byte copy of the object would share its heap buffers with an object that is
// gone by then.
class EExceptionObjectCopy final : public kv::Exception {
public:
    EExceptionObjectCopy(std::u16string message, std::string className)
        : Exception(std::move(message)), className_(std::move(className)) {}
    const std::string& OriginalClassName() const noexcept { return className_; }

private:
    std::string className_;
};

// A system exception as an object; carries a copy of its record.
class EExternal : public kv::Exception {
public:
    EExternal(std::u16string message, const TExceptionRecordCopy& record)
        : Exception(std::move(message)), record_(record) {}
    const TExceptionRecordCopy& ExceptionRecord() const { return record_; }
    // The record's address in this object, for the report's exception-record field.
    const TExceptionRecordCopy* ExceptionRecordPtr() const { return &record_; }

private:
    TExceptionRecordCopy record_;
};

class EAccessViolation : public EExternal {
public:
    using EExternal::EExternal;
};
class EStackOverflow : public EExternal {
public:
    using EExternal::EExternal;
};
class EDivByZero : public EExternal {
public:
    using EExternal::EExternal;
};
class EIntOverflow : public EExternal {
public:
    using EExternal::EExternal;
};
class EInvalidOp : public EExternal {
public:
    using EExternal::EExternal;
};
class EZeroDivide : public EExternal {
public:
    using EExternal::EExternal;
};
class EOverflow : public EExternal {
public:
    using EExternal::EExternal;
};
class EUnderflow : public EExternal {
public:
    using EExternal::EExternal;
};
class EPrivilege : public EExternal {
public:
    using EExternal::EExternal;
};
class EControlC : public EExternal {
public:
    using EExternal::EExternal;
};
// A code the runtime has no class for.
class EExternalException : public EExternal {
public:
    using EExternal::EExternal;
};

// The report of a main window that stopped answering.
class EFrozenApplication : public kv::Exception {
public:
    using Exception::Exception;
};

// What StandardCrashError reports.
class ECrashLogGeneralError : public kv::Exception {
public:
    using Exception::Exception;
};

// An exception of another language or runtime, reported by its type name and the names of its
// parent types (one per line).
class TActiveXException : public kv::Exception {
public:
    TActiveXException(const std::string& exceptionType, const std::string& exceptionMessage);
    // The first line of the type text; empty when it has none.
    const std::string& ExceptionType() const { return FExceptionType; }
    // Every line of the type text.
    const std::string& Parents() const { return FParents; }
    // Whether one line of the parent text equals name exactly.
    bool HasParent(const std::string& name) const;

private:
    std::string FExceptionType;
    std::string FParents; // lines separated by LF
};

// Stands in for a thrown value that is no object of a polymorphic class (an int, a string, a
// plain struct): the report names its type.
class EForeignException : public kv::Exception {
public:
    explicit EForeignException(const std::string& typeName);
    const std::string& TypeName() const { return typeName_; }

private:
    std::string typeName_;
};

// The object for a system exception record: the class of its code with the runtime's message,
// or EExternalException with "外部例外 %x" for a code without class. The access violation's
// message names the module of the address when moduleName is not empty.
std::unique_ptr<kv::Exception> NewExceptionFromRecord(const TExceptionRecordCopy& record,
                                                      const std::string& moduleName);
// The access-violation message with the runtime's texts; without module when moduleName is
// empty: "Access violation at address 0040102A in module 'k.exe'. Write of address 00000000".
std::string AccessViolationText(uint32_t exceptionAddress, const std::string& moduleName,
                                bool write, uint32_t targetAddress);

} // namespace kv::crash
