#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "crash/hooks/ClHandlerTables.h"

namespace {

using namespace kv::crash;

// What the search phase sees in one frame that has a handler.
struct Seen {
    THandlerKind kind;
    bool matches;
    bool terminates;
    bool handlerKnown;
};
std::vector<Seen> g_seen;
volatile bool g_throw = false; // never set: keeps the probe a call that may throw
int g_caught = 0;

// Looks at the handlers of every frame above it for an exception of type T.
template <class T> __attribute__((noinline)) void Probe(T value) {
    g_seen.clear();
    for (const TCodeFrame& frame : CurrentCodeFrames()) {
        const THandlerKind kind = GetHandlerKind(frame);
        if (kind == hkNone) continue;
        uintptr_t handler = 0;
        bool terminates = false;
        const bool matches = MatchOnClauses(&typeid(T), &value, frame, handler, &terminates);
        g_seen.push_back({kind, matches, terminates, handler != 0});
    }
    if (g_throw) throw value;
}

__attribute__((noinline)) void TypedCatch() {
    try {
        Probe<int>(1);
    } catch (int) {
        ++g_caught;
    }
}

__attribute__((noinline)) void TypedCatchOfBase() {
    try {
        Probe(std::runtime_error("x"));
    } catch (const std::exception&) {
        ++g_caught;
    }
}

__attribute__((noinline)) void CatchAll() {
    try {
        Probe<int>(1);
    } catch (...) {
        ++g_caught;
    }
}

__attribute__((noinline)) void WrongTypeThenCatchAll() {
    try {
        Probe<int>(1);
    } catch (double) {
        ++g_caught;
    } catch (...) {
        ++g_caught;
    }
}

__attribute__((noinline)) void WrongType() {
    try {
        Probe<int>(1);
    } catch (double) {
        ++g_caught;
    }
}

__attribute__((noinline)) void CatchAllAroundWrongType() {
    try {
        WrongType();
    } catch (...) {
        ++g_caught;
    }
}

__attribute__((noinline)) void NoExceptBoundary() noexcept {
    Probe<int>(1);
}

TEST(HandlerTables, FrameKinds) {
    static const struct {
        const char* name;
        void (*scenario)();
        std::vector<Seen> first; // the innermost frames with handlers, in order
    } kCases[] = {
        {"typed catch", &TypedCatch, {{hkOnClauses, true, false, true}}},
        {"typed catch of a base class", &TypedCatchOfBase, {{hkOnClauses, true, false, true}}},
        {"catch-all", &CatchAll, {{hkCatchAll, true, false, true}}},
        {"non-matching typed catch, then catch-all in the same try",
         &WrongTypeThenCatchAll,
         {{hkOnClauses, true, false, true}}},
        {"non-matching typed catch, then catch-all in the caller",
         &CatchAllAroundWrongType,
         {{hkOnClauses, false, false, false}, {hkCatchAll, true, false, true}}},
        {"noexcept boundary", &NoExceptBoundary, {{hkNoExceptBoundary, false, true, false}}},
    };
    for (const auto& c : kCases) {
        c.scenario();
        ASSERT_GE(g_seen.size(), c.first.size()) << c.name;
        for (size_t i = 0; i < c.first.size(); ++i) {
            EXPECT_EQ(g_seen[i].kind, c.first[i].kind) << c.name << " frame " << i;
            EXPECT_EQ(g_seen[i].matches, c.first[i].matches) << c.name << " frame " << i;
            EXPECT_EQ(g_seen[i].terminates, c.first[i].terminates) << c.name << " frame " << i;
            EXPECT_EQ(g_seen[i].handlerKnown, c.first[i].handlerKnown) << c.name << " frame " << i;
        }
    }
    EXPECT_EQ(g_caught, 0);
}

TEST(HandlerTables, FramesWithoutTables) {
    TCodeFrame none;
    none.Ip = 0x1234;
    EXPECT_EQ(GetHandlerKind(none), hkNone);
    uintptr_t handler = 7;
    bool terminates = true;
    EXPECT_FALSE(MatchOnClauses(&typeid(int), nullptr, none, handler, &terminates));
    EXPECT_FALSE(terminates);
    EXPECT_EQ(handler, 7u);
    EXPECT_FALSE(UsesRuntimePackages());
}

} // namespace
