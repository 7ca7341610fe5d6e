#pragma once
// The hook through which long work on the interface thread lets the window answer: the
// application installs its ProcessMessages here; with none installed a call costs one test.
namespace kv {

using MessagePumpFn = void (*)(void* context);

void SetMessagePump(MessagePumpFn fn, void* context);

namespace detail {
extern MessagePumpFn g_pumpFn;
extern void* g_pumpContext;
} // namespace detail

inline void PumpMessages() {
    if (detail::g_pumpFn) detail::g_pumpFn(detail::g_pumpContext);
}

} // namespace kv
