// Header of tiny.cpp: a function inlined into it from another file.
static inline int Cube(int v) {
    int c = v * v;
    c *= v;
    return c;
}
