// Source of tiny.exe, a minimal image with DWARF 5 for the post-link tool's tests:
//   i686-w64-mingw32-g++-posix -O1 -g -fno-omit-frame-pointer -fdebug-prefix-map=$PWD=/src \
//     -nostdlib -e _start -Wl,--subsystem,console tiny.cpp -o tiny.exe
#include "tiny.h"

namespace ns {
struct Box {
    int value;
    int Get(int x);
    struct Inner {
        static int Twice(int v);
    };
};
} // namespace ns

static inline int Square(int v) {
    return v * v;
}

__attribute__((noinline)) int ns::Box::Inner::Twice(int v) {
    return v + v;
}

__attribute__((noinline)) int ns::Box::Get(int x) {
    int r = value;
    r += Square(x);
    r += Cube(r);
    r += Inner::Twice(r);
    return r;
}

namespace ns {
__attribute__((noinline)) int Free(int a) {
    Box b{a};
    return b.Get(a) + 1;
}
} // namespace ns

extern "C" int start() {
    return ns::Free(3);
}
