#include "base/MessagePump.h"

namespace kv {
namespace detail {
MessagePumpFn g_pumpFn = nullptr;
void* g_pumpContext = nullptr;
} // namespace detail

void SetMessagePump(MessagePumpFn fn, void* context) {
    detail::g_pumpFn = fn;
    detail::g_pumpContext = context;
}

} // namespace kv
