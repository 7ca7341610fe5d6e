#include "TestFiles.h"

#ifdef _WIN32
#include <process.h>
long kvtest::TempFile::Pid() {
    return _getpid();
}
#else
#include <unistd.h>
long kvtest::TempFile::Pid() {
    return getpid();
}
#endif
