#pragma once
// The one exception base of the system: a UTF-16 message, like the class library's Exception.
#include <exception>
#include <string>

namespace kv {

class Exception : public std::exception {
public:
    explicit Exception(std::u16string message);
    const std::u16string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    std::u16string message_;
    std::string utf8_;
};

// Raised by file and stream operations; carries the platform error code when there is one.
class EFileError : public Exception {
public:
    EFileError(std::u16string message, unsigned long code = 0)
        : Exception(std::move(message)), code_(code) {}
    unsigned long Code() const noexcept { return code_; }

private:
    unsigned long code_;
};

// Raised by text conversions (text to boolean) when the text is not a valid value.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The silent abort: ends the current operation; handlers show no message for it.
class EAbort : public Exception {
public:
    EAbort() : Exception(u"Operation aborted") {}
};

} // namespace kv
