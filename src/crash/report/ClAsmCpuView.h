#pragma once
// The report's assembler and CPU sections: the machine code around the faulting instruction,
// annotated with the code's names and source lines, and the registers with a dump of the stack
// and of the memory at the exception address. Memory is only read through the environment's
// checked reads, so damaged or unmapped memory gives empty parts, never a fault. Runs on the
// reporting thread; keeps no state.
#include <cstdint>
#include <string>

#include "crash/core/ClMemoryReader.h"
#include "crash/core/CrashRecordLists.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

// What the views need of the process: memory, the address lookup and the object test.
class TAsmViewEnvironment {
public:
    virtual const TMemoryReader& Memory() const = 0;
    // The full lookup of a code address (GetDebugInfoByAddr; a module seen for the first time
    // is registered and gets its debug data there).
    virtual void GetDebugInfoByAddr(uint32_t address, TCrashDebugInfo& info) const = 0;
    // The class name when a valid object starts at the address; empty otherwise.
    virtual std::string ObjectClassName(uint32_t address) const = 0;

protected:
    ~TAsmViewEnvironment() = default; // never owned through this interface
};

// This process.
const TAsmViewEnvironment& ProcessAsmViewEnvironment();

// The assembler listing around exceptionAddress, each line followed by CR LF. Sets asmTitle
// (header, colon, CR LF and a rule) only when a listing is made; an exception address not
// readable for 4 bytes, or options without loSaveAssemblerAndCPUSections, give an empty
// listing and leave asmTitle as it is.
std::string BuildAssemblerView(uint32_t exceptionAddress, std::string& asmTitle,
                               const TCrashModuleOptions& options,
                               const TAsmViewEnvironment& env = ProcessAsmViewEnvironment());

// The registers of a 32-bit x86 thread context, in the order the CPU text shows them.
enum TContextRegister : uint8_t { crEAX, crEDI, crEBX, crESI, crECX, crESP, crEDX, crEIP };

// Bytes of the context record the CPU text reads (up to and including SegSs).
constexpr uint32_t kContextReadSize = 204;

// The register as 8 upper-case hexadecimal digits, read from the context record at the
// address; "????    " when the record is not readable for kContextReadSize bytes (also for 0).
std::string FormatContextRegister(uint32_t context, TContextRegister reg,
                                  const TMemoryReader& memory = ProcessMemory());

// The stack column's title: the options' stack text and ":" padded with blanks to 21
// characters, so that the memory title stands above the memory column.
std::string FormatStackTitle(const TCrashModuleOptions& options);

// Sixteen dump lines, each 96 characters and CR LF: a stack word from stackPointer up and 16
// bytes from address up. Empty unless 64 bytes at stackPointer and 256 bytes at address can
// be read.
std::string FormatStackAndMemoryDump(uint32_t stackPointer, uint32_t address,
                                     const TMemoryReader& memory = ProcessMemory());

// The CPU text: registers of the context record at context (0 for none), then the titled dump.
// Empty for options without loSaveAssemblerAndCPUSections.
std::string BuildCPUView(uint32_t context, uint32_t stackPointer, uint32_t exceptionAddress,
                         const TCrashModuleOptions& options,
                         const TMemoryReader& memory = ProcessMemory());

} // namespace kv::crash
