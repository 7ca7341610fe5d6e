// The structured exception frame of window procedures and the message loop.
#include <windows.h>

#include "ui/Control.h"
#include "ui/Internal.h"

namespace kv {

namespace {
TSystemExceptionHook g_systemHook = nullptr;
} // namespace

void SetSystemExceptionHook(TSystemExceptionHook hook) {
    g_systemHook = hook;
}

#if defined(__i386__)
namespace detail {

extern "C" EXCEPTION_DISPOSITION __cdecl KvSehFrameHandler(EXCEPTION_RECORD* rec, void* frame,
                                                           CONTEXT* ctx, void*) {
    constexpr DWORD kUnwinding = 0x2 | 0x4; // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
    if (rec->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
    const TSystemExceptionHook hook = g_systemHook;
    if (!hook) return ExceptionContinueSearch;
    EXCEPTION_POINTERS pointers{rec, ctx};
    const LONG answer = hook(&pointers);
    if (answer == EXCEPTION_CONTINUE_EXECUTION) return ExceptionContinueExecution;
    if (answer != EXCEPTION_EXECUTE_HANDLER) return ExceptionContinueSearch;
    // Handled here: the frames between the fault and this one are unwound (their own frames
    // run their unwind handlers), then execution goes on behind KV_SEH_RESUMED.
    auto* record = static_cast<SehFrame::Record*>(frame);
    RtlUnwind(record, nullptr, rec, nullptr);
    __builtin_longjmp(record->owner->resume, 1);
}

SehFrame::SehFrame() {
    record.handler = reinterpret_cast<void*>(&KvSehFrameHandler);
    record.owner = this;
    asm volatile("movl %%fs:0, %0" : "=r"(record.next));
    asm volatile("movl %0, %%fs:0" : : "r"(&record) : "memory");
}

SehFrame::~SehFrame() {
    asm volatile("movl %0, %%fs:0" : : "r"(record.next) : "memory");
}

} // namespace detail
#endif

} // namespace kv
