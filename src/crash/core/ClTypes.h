#pragma once
// Shared types of the crash-report component: bit sets (bit i = member of ordinal i, stored as
// the bytes the options stream carries), the items of the report's general section and the
// numbered customisable texts. Pure data; any thread, crash time included.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace kv::crash {

// A set of the ordinals 0 .. Bytes*8-1 of E, held as its little-endian bit bytes.
template <class E, size_t Bytes> class TSet {
public:
    static constexpr size_t kBytes = Bytes;
    static constexpr size_t kBits = Bytes * 8;

    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E m : members) Include(m);
    }

    constexpr bool Contains(E m) const {
        const size_t i = static_cast<size_t>(m);
        return i < kBits && (bits_[i / 8] >> (i % 8) & 1) != 0;
    }
    constexpr void Include(E m) {
        const size_t i = static_cast<size_t>(m);
        if (i < kBits) bits_[i / 8] = static_cast<uint8_t>(bits_[i / 8] | (1u << (i % 8)));
    }
    constexpr void Exclude(E m) {
        const size_t i = static_cast<size_t>(m);
        if (i < kBits) bits_[i / 8] = static_cast<uint8_t>(bits_[i / 8] & ~(1u << (i % 8)));
    }
    // Includes or excludes m.
    constexpr void Set(E m, bool on) { on ? Include(m) : Exclude(m); }
    constexpr bool Empty() const {
        for (uint8_t b : bits_)
            if (b != 0) return false;
        return true;
    }
    constexpr void Clear() { bits_ = {}; }

    // The members of ordinal 0 .. count-1.
    static constexpr TSet FirstN(size_t count) {
        TSet s;
        for (size_t i = 0; i < count && i < kBits; ++i) s.Include(static_cast<E>(i));
        return s;
    }

    constexpr const std::array<uint8_t, Bytes>& Data() const { return bits_; }
    constexpr std::array<uint8_t, Bytes>& Data() { return bits_; }

    friend constexpr bool operator==(const TSet&, const TSet&) = default;

private:
    std::array<uint8_t, Bytes> bits_{};
};

// A set of 8-bit characters; separator sets of the splitting routines.
using TCharSet = TSet<unsigned char, 32>;

constexpr TCharSet CharSetOf(const char* chars) {
    TCharSet s;
    for (; *chars; ++chars) s.Include(static_cast<unsigned char>(*chars));
    return s;
}

// The items of the report's general section.
enum TShowOption : uint8_t {
    soAppStartDate,
    soAppName,
    soAppVersionNumber,
    soAppParameters,
    soAppCompilationDate,
    soAppUpTime,
    soExcDate,
    soExcAddress,
    soExcModuleName,
    soExcModuleVersion,
    soExcType,
    soExcMessage,
    soExcID,
    soExcCount,
    soExcStatus,
    soExcNote,
    soUserID,
    soUserName,
    soUserEmail,
    soUserPrivileges,
    soUserCompany,
    soActCtlsFormClass,
    soActCtlsFormText,
    soActCtlsControlClass,
    soActCtlsControlText,
    soCmpName,
    soCmpTotalMemory,
    soCmpFreeMemory,
    soCmpTotalDisk,
    soCmpFreeDisk,
    soCmpSysUpTime,
    soCmpProcessor,
    soCmpDisplayMode,
    soCmpDisplayDPI,
    soCmpVideoCard,
    soCmpPrinter,
    soOSType,
    soOSBuildN,
    soOSUpdate,
    soOSLanguage,
    soOSCharset,
    soNetIP,
    soNetSubmask,
    soNetGateway,
    soNetDNS1,
    soNetDNS2,
    soNetDHCP,
    soCustomData,
};
constexpr size_t kShowOptionCount = 48;
using TShowOptions = TSet<TShowOption, 6>;

// The customisable texts, by number. 153 is reserved: it has no name, is kept in the options
// stream like the others and is shown nowhere.
enum TMessageType : uint8_t {
    mtInformationMsgCaption,
    mtQuestionMsgCaption,
    mtErrorMsgCaption,
    mtDialog_Caption,
    mtDialog_ErrorMsgCaption,
    mtDialog_GeneralCaption,
    mtDialog_GeneralHeader,
    mtDialog_CallStackCaption,
    mtDialog_CallStackHeader,
    mtDialog_ModulesCaption,
    mtDialog_ModulesHeader,
    mtDialog_ProcessesCaption,
    mtDialog_ProcessesHeader,
    mtDialog_AsmCaption,
    mtDialog_AsmHeader,
    mtDialog_CPUCaption,
    mtDialog_CPUHeader,
    mtDialog_OKButtonCaption,
    mtDialog_TerminateButtonCaption,
    mtDialog_RestartButtonCaption,
    mtDialog_DetailsButtonCaption,
    mtDialog_CustomButtonCaption,
    mtDialog_SendMessage,
    mtDialog_ScreenshotMessage,
    mtDialog_CopyMessage,
    mtDialog_SupportMessage,
    mtMSDialog_ErrorMsgCaption,
    mtMSDialog_RestartCaption,
    mtMSDialog_TerminateCaption,
    mtMSDialog_PleaseCaption,
    mtMSDialog_DescriptionCaption,
    mtMSDialog_SeeDetailsCaption,
    mtMSDialog_SeeClickCaption,
    mtMSDialog_HowToReproduceCaption,
    mtMSDialog_EmailCaption,
    mtMSDialog_SendButtonCaption,
    mtMSDialog_NoSendButtonCaption,
    mtLog_AppHeader,
    mtLog_AppStartDate,
    mtLog_AppName,
    mtLog_AppVersionNumber,
    mtLog_AppParameters,
    mtLog_AppCompilationDate,
    mtLog_AppUpTime,
    mtLog_ExcHeader,
    mtLog_ExcDate,
    mtLog_ExcAddress,
    mtLog_ExcModuleName,
    mtLog_ExcModuleVersion,
    mtLog_ExcType,
    mtLog_ExcMessage,
    mtLog_ExcID,
    mtLog_ExcCount,
    mtLog_ExcStatus,
    mtLog_ExcNote,
    mtLog_UserHeader,
    mtLog_UserID,
    mtLog_UserName,
    mtLog_UserEmail,
    mtLog_UserCompany,
    mtLog_UserPrivileges,
    mtLog_ActCtrlsHeader,
    mtLog_ActCtrlsFormClass,
    mtLog_ActCtrlsFormText,
    mtLog_ActCtrlsControlClass,
    mtLog_ActCtrlsControlText,
    mtLog_CmpHeader,
    mtLog_CmpName,
    mtLog_CmpTotalMemory,
    mtLog_CmpFreeMemory,
    mtLog_CmpTotalDisk,
    mtLog_CmpFreeDisk,
    mtLog_CmpSystemUpTime,
    mtLog_CmpProcessor,
    mtLog_CmpDisplayMode,
    mtLog_CmpDisplayDPI,
    mtLog_CmpVideoCard,
    mtLog_CmpPrinter,
    mtLog_OSHeader,
    mtLog_OSType,
    mtLog_OSBuildN,
    mtLog_OSUpdate,
    mtLog_OSLanguage,
    mtLog_OSCharset,
    mtLog_NetHeader,
    mtLog_NetIP,
    mtLog_NetSubmask,
    mtLog_NetGateway,
    mtLog_NetDNS1,
    mtLog_NetDNS2,
    mtLog_NetDHCP,
    mtLog_CustInfoHeader,
    mtCallStack_Address,
    mtCallStack_Name,
    mtCallStack_Unit,
    mtCallStack_Class,
    mtCallStack_Procedure,
    mtCallStack_Line,
    mtCallStack_MainThread,
    mtCallStack_ExceptionThread,
    mtCallStack_RunningThread,
    mtCallStack_CallingThread,
    mtCallStack_ThreadID,
    mtCallStack_ThreadPriority,
    mtCallStack_ThreadClass,
    mtCallStack_LeakCaption,
    mtCallStack_LeakData,
    mtCallStack_LeakType,
    mtCallStack_LeakSize,
    mtCallStack_LeakCount,
    mtSendDialog_Caption,
    mtSendDialog_Message,
    mtSendDialog_Resolving,
    mtSendDialog_Login,
    mtSendDialog_Connecting,
    mtSendDialog_Connected,
    mtSendDialog_Sending,
    mtSendDialog_Sent,
    mtSendDialog_SelectProject,
    mtSendDialog_Searching,
    mtSendDialog_Modifying,
    mtSendDialog_Disconnecting,
    mtSendDialog_Disconnected,
    mtReproduceDialog_Caption,
    mtReproduceDialog_Request,
    mtReproduceDialog_OKButtonCaption,
    mtModules_Handle,
    mtModules_Name,
    mtModules_Description,
    mtModules_Version,
    mtModules_Size,
    mtModules_LastModified,
    mtModules_Path,
    mtProcesses_ID,
    mtProcesses_Name,
    mtProcesses_Description,
    mtProcesses_Version,
    mtProcesses_Memory,
    mtProcesses_Priority,
    mtProcesses_Threads,
    mtProcesses_Path,
    mtCPU_Registers,
    mtCPU_Stack,
    mtCPU_MemoryDump,
    mtSend_SuccessMsg,
    mtSend_FailureMsg,
    mtSend_BugClosedMsg,
    mtSend_UnknownErrorMsg,
    mtSend_InvalidLoginMsg,
    mtSend_InvalidSearchMsg,
    mtSend_InvalidSelectionMsg,
    mtSend_InvalidInsertMsg,
    mtSend_InvalidModifyMsg,
    mtReserved153,
    mtException_LeakMultiFree,
    mtException_LeakMemoryOverrun,
    mtException_AntiFreeze,
    mtInvalidEmailMsg,
};
constexpr size_t kMessageTypeCount = 158;
static_assert(mtInvalidEmailMsg + 1 == kMessageTypeCount);

// The identifier of a text ("mtDialog_Caption"); empty for the reserved text and out of range.
const char* MessageTypeName(size_t index);

} // namespace kv::crash
