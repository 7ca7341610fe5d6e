// Reads the C++ exception tables (.gcc_except_table) the way the runtime's personality routine
// does in its search phase, without unwinding anything.
#include "crash/hooks/ClHandlerTables.h"

#include <unwind.h>

#include <cstring>

namespace kv::crash {

namespace {

// Pointer encodings of the tables.
constexpr uint8_t kOmit = 0xFF;
constexpr uint8_t kAbsPtr = 0x00, kULeb128 = 0x01, kUData2 = 0x02, kUData4 = 0x03, kUData8 = 0x04,
                  kSLeb128 = 0x09, kSData2 = 0x0A, kSData4 = 0x0B, kSData8 = 0x0C;
constexpr uint8_t kPcRel = 0x10, kTextRel = 0x20, kDataRel = 0x30, kFuncRel = 0x40, kAligned = 0x50,
                  kIndirect = 0x80;

struct BadTable {};

uint64_t ReadULeb(const uint8_t*& p) {
    uint64_t result = 0;
    int shift = 0;
    uint8_t byte;
    do {
        byte = *p++;
        if (shift < 64) result |= uint64_t(byte & 0x7F) << shift;
        shift += 7;
    } while (byte & 0x80);
    return result;
}

int64_t ReadSLeb(const uint8_t*& p) {
    uint64_t result = 0;
    int shift = 0;
    uint8_t byte;
    do {
        byte = *p++;
        if (shift < 64) result |= uint64_t(byte & 0x7F) << shift;
        shift += 7;
    } while (byte & 0x80);
    if (shift < 64 && (byte & 0x40)) result |= ~uint64_t(0) << shift;
    return static_cast<int64_t>(result);
}

template <class T> T ReadRaw(const uint8_t*& p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

size_t EncodedSize(uint8_t encoding) {
    switch (encoding & 0x0F) {
    case kAbsPtr:
        return sizeof(void*);
    case kUData2:
    case kSData2:
        return 2;
    case kUData4:
    case kSData4:
        return 4;
    case kUData8:
    case kSData8:
        return 8;
    default:
        throw BadTable();
    }
}

uintptr_t ReadEncoded(const uint8_t*& p, uint8_t encoding, const TCodeFrame& frame) {
    if (encoding == kOmit) return 0;
    const uint8_t* const start = p;
    uintptr_t value;
    if ((encoding & 0x70) == kAligned) {
        const auto a = (reinterpret_cast<uintptr_t>(p) + sizeof(void*) - 1) & ~(sizeof(void*) - 1);
        p = reinterpret_cast<const uint8_t*>(a);
        value = ReadRaw<uintptr_t>(p);
    } else {
        switch (encoding & 0x0F) {
        case kAbsPtr:
            value = ReadRaw<uintptr_t>(p);
            break;
        case kULeb128:
            value = static_cast<uintptr_t>(ReadULeb(p));
            break;
        case kSLeb128:
            value = static_cast<uintptr_t>(ReadSLeb(p));
            break;
        case kUData2:
            value = ReadRaw<uint16_t>(p);
            break;
        case kSData2:
            value = static_cast<uintptr_t>(ReadRaw<int16_t>(p));
            break;
        case kUData4:
            value = ReadRaw<uint32_t>(p);
            break;
        case kSData4:
            value = static_cast<uintptr_t>(ReadRaw<int32_t>(p));
            break;
        case kUData8:
            value = static_cast<uintptr_t>(ReadRaw<uint64_t>(p));
            break;
        case kSData8:
            value = static_cast<uintptr_t>(ReadRaw<int64_t>(p));
            break;
        default:
            throw BadTable();
        }
        if (value == 0) return 0; // a null pointer stays null, whatever its base
        switch (encoding & 0x70) {
        case 0:
            break;
        case kPcRel:
            value += reinterpret_cast<uintptr_t>(start);
            break;
        case kTextRel:
            value += frame.TextBase;
            break;
        case kDataRel:
            value += frame.DataBase;
            break;
        case kFuncRel:
            value += frame.RegionStart;
            break;
        default:
            throw BadTable();
        }
    }
    if (encoding & kIndirect) value = *reinterpret_cast<const uintptr_t*>(value);
    return value;
}

// What the tables say for one frame.
struct FrameTables {
    bool hasLsda = false;
    bool inCallSites = false; // the IP lies in a call-site entry
    uintptr_t landingPad = 0;
    const uint8_t* action = nullptr; // first action record, null for cleanup only
    const uint8_t* typeTable = nullptr;
    uint8_t typeEncoding = kOmit;
};

FrameTables ReadFrame(const TCodeFrame& frame) {
    FrameTables t;
    if (!frame.Lsda) return t;
    t.hasLsda = true;
    const uint8_t* p = frame.Lsda;
    const uint8_t lpStartEncoding = *p++;
    const uintptr_t lpStart =
        lpStartEncoding == kOmit ? frame.RegionStart : ReadEncoded(p, lpStartEncoding, frame);
    t.typeEncoding = *p++;
    if (t.typeEncoding != kOmit) {
        const uint64_t offset = ReadULeb(p);
        t.typeTable = p + offset;
    }
    const uint8_t callSiteEncoding = *p++;
    const uint64_t callSiteLength = ReadULeb(p);
    const uint8_t* const actionTable = p + callSiteLength;
    while (p < actionTable) {
        const uintptr_t start = ReadEncoded(p, callSiteEncoding, frame);
        const uintptr_t length = ReadEncoded(p, callSiteEncoding, frame);
        const uintptr_t pad = ReadEncoded(p, callSiteEncoding, frame);
        const uint64_t action = ReadULeb(p);
        // The table is sorted: once past the IP, no entry covers it.
        if (frame.Ip < frame.RegionStart + start) break;
        if (frame.Ip >= frame.RegionStart + start + length) continue;
        t.inCallSites = true;
        t.landingPad = pad ? lpStart + pad : 0;
        t.action = pad && action ? actionTable + action - 1 : nullptr;
        return t;
    }
    return t;
}

// The type of a catch clause (null for catch (...)).
const std::type_info* CatchType(const FrameTables& t, int64_t filter, const TCodeFrame& frame) {
    if (!t.typeTable) throw BadTable();
    const uint8_t* p = t.typeTable - filter * static_cast<int64_t>(EncodedSize(t.typeEncoding));
    return reinterpret_cast<const std::type_info*>(ReadEncoded(p, t.typeEncoding, frame));
}

bool Catches(const std::type_info* catchType, const std::type_info* thrownType,
             void* thrownObject) {
    if (!catchType) return true;
    if (!thrownType) return false;
    // A thrown pointer is matched by its value, as the runtime does.
    void* adjusted = thrownObject;
    if (thrownType->__is_pointer_p() && adjusted) adjusted = *static_cast<void**>(adjusted);
    return catchType->__do_catch(thrownType, &adjusted, 1);
}

// Whether a throw() list of allowed types (a negative filter) lets the type through.
bool SpecificationAllows(const FrameTables& t, int64_t filter, const TCodeFrame& frame,
                         const std::type_info* thrownType, void* thrownObject) {
    if (!t.typeTable) throw BadTable();
    const uint8_t* p = t.typeTable + (-filter - 1);
    for (;;) {
        const uint64_t index = ReadULeb(p);
        if (index == 0) return false; // the list ended: the type is not allowed
        if (Catches(CatchType(t, static_cast<int64_t>(index), frame), thrownType, thrownObject))
            return true;
    }
}

struct ActionRecord {
    int64_t filter;
    const uint8_t* next;
};

ActionRecord ReadAction(const uint8_t* p) {
    ActionRecord r;
    r.filter = ReadSLeb(p);
    const uint8_t* const at = p;
    const int64_t displacement = ReadSLeb(p);
    r.next = displacement ? at + displacement : nullptr;
    return r;
}

} // namespace

bool UsesRuntimePackages() {
    return false;
}

THandlerKind GetHandlerKind(const TCodeFrame& frame) {
    try {
        const FrameTables t = ReadFrame(frame);
        if (!t.hasLsda) return hkNone;
        if (!t.inCallSites) return hkNoExceptBoundary; // the runtime calls terminate here
        bool typed = false, catchAll = false, boundary = false;
        for (const uint8_t* a = t.action; a;) {
            const ActionRecord r = ReadAction(a);
            if (r.filter > 0) {
                if (CatchType(t, r.filter, frame))
                    typed = true;
                else
                    catchAll = true;
            } else if (r.filter < 0) {
                boundary = true;
            }
            a = r.next;
        }
        if (typed) return hkOnClauses;
        if (catchAll) return hkCatchAll;
        if (boundary) return hkNoExceptBoundary;
        return hkNone;
    } catch (const BadTable&) {
        return hkNone;
    }
}

bool MatchOnClauses(const std::type_info* thrownType, void* thrownObject, const TCodeFrame& frame,
                    uintptr_t& handlerAddress, bool* terminates) {
    if (terminates) *terminates = false;
    try {
        const FrameTables t = ReadFrame(frame);
        if (!t.hasLsda) return false;
        if (!t.inCallSites) {
            if (terminates) *terminates = true;
            return false;
        }
        for (const uint8_t* a = t.action; a;) {
            const ActionRecord r = ReadAction(a);
            if (r.filter > 0 && Catches(CatchType(t, r.filter, frame), thrownType, thrownObject)) {
                handlerAddress = t.landingPad;
                return true;
            }
            if (r.filter < 0 &&
                !SpecificationAllows(t, r.filter, frame, thrownType, thrownObject)) {
                if (terminates) *terminates = true;
                return false;
            }
            a = r.next;
        }
    } catch (const BadTable&) {}
    return false;
}

namespace {

_Unwind_Reason_Code CollectFrame(_Unwind_Context* context, void* param) {
    auto& frames = *static_cast<std::vector<TCodeFrame>*>(param);
    int beforeInstruction = 0;
    uintptr_t ip = _Unwind_GetIPInfo(context, &beforeInstruction);
    if (ip == 0) return _URC_END_OF_STACK;
    // The return address lies after the call; the tables cover the call itself.
    if (!beforeInstruction) --ip;
    TCodeFrame f;
    f.Ip = ip;
    // While a backtrace reports a frame, the unwinder's frame address is still that of the
    // frame it called: the stack pointer of this frame at the call.
    f.Sp = _Unwind_GetCFA(context);
    f.Lsda = static_cast<const uint8_t*>(_Unwind_GetLanguageSpecificData(context));
    f.RegionStart = _Unwind_GetRegionStart(context);
#if defined(__i386__)
    f.TextBase = _Unwind_GetTextRelBase(context);
    f.DataBase = _Unwind_GetDataRelBase(context);
#endif
    frames.push_back(f);
    return _URC_NO_REASON;
}

} // namespace

__attribute__((noinline)) std::vector<TCodeFrame> CurrentCodeFrames() {
    std::vector<TCodeFrame> frames;
    _Unwind_Backtrace(&CollectFrame, &frames);
    if (!frames.empty()) frames.erase(frames.begin()); // this function's own frame
    return frames;
}

} // namespace kv::crash
