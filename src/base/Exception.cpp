#include "base/Exception.h"

#include "base/Text.h"

namespace kv {

Exception::Exception(std::u16string message)
    : message_(std::move(message)), utf8_(Utf16ToUtf8(message_)) {}

} // namespace kv
