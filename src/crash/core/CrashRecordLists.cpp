#include "crash/core/CrashRecordLists.h"

namespace kv::crash {

namespace {

// Empties the field first, then frees what it held.
template <class P> void FreeField(P& field) {
    P taken = std::move(field);
    field = nullptr;
    taken.reset();
}

} // namespace

void TCrashModulesList::FreeRecord(std::unique_ptr<TCrashModuleInfo> record) {
    if (!record) return;
    FreeField(record->FunctionsList);
    FreeField(record->ExtraInformation.Options);
    FreeField(record->OtherDebugData);
    FreeField(record->ExtraInformation.DebugInformation);
    record.reset();
}

PCrashDebugInfo TCrashStackList::GetItem(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

int TCrashStackList::Add(std::unique_ptr<TCrashDebugInfo> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
}

PCrashDebugInfo TCrashStackList::AddFrom(const TCrashDebugInfo& source) {
    auto frame = std::make_unique<TCrashDebugInfo>();
    frame->DebugDetail = source.DebugDetail;
    frame->ModuleInfo = source.ModuleInfo;
    frame->Addr = source.Addr;
    frame->UnitName = source.UnitName;
    frame->ClassName = source.ClassName;
    frame->ProcedureName = source.ProcedureName;
    frame->Line = source.Line;
    items_.push_back(std::move(frame));
    return items_.back().get();
}

void TCrashStackList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
}

void TCrashStackList::Clear() {
    while (!items_.empty()) Delete(0);
}

} // namespace kv::crash
