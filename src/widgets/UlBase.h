#pragma once
// Base exceptions of the library units and the ANSI replacement character read at start.
#include <string>

#include "base/Exception.h"

class EUlError : public kv::Exception {
public:
    using kv::Exception::Exception;
};

class EUlInternalError : public EUlError {
public:
    using EUlError::EUlError;
};

// The default character of the ANSI code page; read by the unit's start (Windows), '?' before.
char UlAnsiReplacementChar();
// Reads it; raises EUlInternalError "Failed to get ANSI replacement character" when the code
// page information cannot be read.
void UlBaseInitialize();
