#include "crash/core/ClConsts.h"

namespace kv::crash {

namespace {

constexpr const char* kEVals[kMessageTypeCount] = {
    "Information.",   // 0 mtInformationMsgCaption
    "Question.",      // 1 mtQuestionMsgCaption
    "Error.",         // 2 mtErrorMsgCaption
    "Error occurred", // 3 mtDialog_Caption
    "An error has occurred during program execution."
    "\r\n"
    "Please read the following information for further details.", // 4 mtDialog_ErrorMsgCaption
    "General",                                                    // 5 mtDialog_GeneralCaption
    "General Information",                                        // 6 mtDialog_GeneralHeader
    "Call Stack",                                                 // 7 mtDialog_CallStackCaption
    "Call Stack Information",                                     // 8 mtDialog_CallStackHeader
    "Modules",                                                    // 9 mtDialog_ModulesCaption
    "Modules Information",                                        // 10 mtDialog_ModulesHeader
    "Processes",                                                  // 11 mtDialog_ProcessesCaption
    "Processes Information",                                      // 12 mtDialog_ProcessesHeader
    "Assembler",                                                  // 13 mtDialog_AsmCaption
    "Assembler Information",                                      // 14 mtDialog_AsmHeader
    "CPU",                                                        // 15 mtDialog_CPUCaption
    "CPU Information",                                            // 16 mtDialog_CPUHeader
    "&OK",                                                        // 17 mtDialog_OKButtonCaption
    "&Terminate",                    // 18 mtDialog_TerminateButtonCaption
    "&Restart",                      // 19 mtDialog_RestartButtonCaption
    "&Details",                      // 20 mtDialog_DetailsButtonCaption
    "&Help",                         // 21 mtDialog_CustomButtonCaption
    "&Send this error via Internet", // 22 mtDialog_SendMessage
    "&Attach a Screenshot image",    // 23 mtDialog_ScreenshotMessage
    "&Copy to Clipboard",            // 24 mtDialog_CopyMessage
    "Go to the Support Page",        // 25 mtDialog_SupportMessage
    "The application has encountered a problem. We are sorry for the inconvenience.", // 26
                                                                                      // mtMSDialog_ErrorMsgCaption
    "Restart application.",               // 27 mtMSDialog_RestartCaption
    "Terminate application.",             // 28 mtMSDialog_TerminateCaption
    "Please tell us about this problem.", // 29 mtMSDialog_PleaseCaption
    "We have created an error report that you can send to us. We will treat this report as "
    "confidential and anonymous.",                               // 30 mtMSDialog_DescriptionCaption
    "To see what data the error report contains,",               // 31 mtMSDialog_SeeDetailsCaption
    "click here.",                                               // 32 mtMSDialog_SeeClickCaption
    "What were you doing when the problem happened (optional)?", // 33
                                                                 // mtMSDialog_HowToReproduceCaption
    "Email address (optional):",                                 // 34 mtMSDialog_EmailCaption
    "&Send Error Report",                                        // 35 mtMSDialog_SendButtonCaption
    "&Don't Send",                                       // 36 mtMSDialog_NoSendButtonCaption
    "Application",                                       // 37 mtLog_AppHeader
    "Start Date",                                        // 38 mtLog_AppStartDate
    "Name/Description",                                  // 39 mtLog_AppName
    "Version Number",                                    // 40 mtLog_AppVersionNumber
    "Parameters",                                        // 41 mtLog_AppParameters
    "Compilation Date",                                  // 42 mtLog_AppCompilationDate
    "Up Time",                                           // 43 mtLog_AppUpTime
    "Exception",                                         // 44 mtLog_ExcHeader
    "Date",                                              // 45 mtLog_ExcDate
    "Address",                                           // 46 mtLog_ExcAddress
    "Module Name",                                       // 47 mtLog_ExcModuleName
    "Module Version",                                    // 48 mtLog_ExcModuleVersion
    "Type",                                              // 49 mtLog_ExcType
    "Message",                                           // 50 mtLog_ExcMessage
    "ID",                                                // 51 mtLog_ExcID
    "Count",                                             // 52 mtLog_ExcCount
    "Status",                                            // 53 mtLog_ExcStatus
    "Note",                                              // 54 mtLog_ExcNote
    "User",                                              // 55 mtLog_UserHeader
    "ID",                                                // 56 mtLog_UserID
    "Name",                                              // 57 mtLog_UserName
    "Email",                                             // 58 mtLog_UserEmail
    "Company",                                           // 59 mtLog_UserCompany
    "Privileges",                                        // 60 mtLog_UserPrivileges
    "Active Controls",                                   // 61 mtLog_ActCtrlsHeader
    "Form Class",                                        // 62 mtLog_ActCtrlsFormClass
    "Form Text",                                         // 63 mtLog_ActCtrlsFormText
    "Control Class",                                     // 64 mtLog_ActCtrlsControlClass
    "Control Text",                                      // 65 mtLog_ActCtrlsControlText
    "Computer",                                          // 66 mtLog_CmpHeader
    "Name",                                              // 67 mtLog_CmpName
    "Total Memory",                                      // 68 mtLog_CmpTotalMemory
    "Free Memory",                                       // 69 mtLog_CmpFreeMemory
    "Total Disk",                                        // 70 mtLog_CmpTotalDisk
    "Free Disk",                                         // 71 mtLog_CmpFreeDisk
    "System Up Time",                                    // 72 mtLog_CmpSystemUpTime
    "Processor",                                         // 73 mtLog_CmpProcessor
    "Display Mode",                                      // 74 mtLog_CmpDisplayMode
    "Display DPI",                                       // 75 mtLog_CmpDisplayDPI
    "Video Card",                                        // 76 mtLog_CmpVideoCard
    "Printer",                                           // 77 mtLog_CmpPrinter
    "Operating System",                                  // 78 mtLog_OSHeader
    "Type",                                              // 79 mtLog_OSType
    "Build #",                                           // 80 mtLog_OSBuildN
    "Update",                                            // 81 mtLog_OSUpdate
    "Language",                                          // 82 mtLog_OSLanguage
    "Charset",                                           // 83 mtLog_OSCharset
    "Network",                                           // 84 mtLog_NetHeader
    "IP Address",                                        // 85 mtLog_NetIP
    "Submask",                                           // 86 mtLog_NetSubmask
    "Gateway",                                           // 87 mtLog_NetGateway
    "DNS 1",                                             // 88 mtLog_NetDNS1
    "DNS 2",                                             // 89 mtLog_NetDNS2
    "DHCP",                                              // 90 mtLog_NetDHCP
    "Custom Information",                                // 91 mtLog_CustInfoHeader
    "Address",                                           // 92 mtCallStack_Address
    "Module",                                            // 93 mtCallStack_Name
    "Unit",                                              // 94 mtCallStack_Unit
    "Class",                                             // 95 mtCallStack_Class
    "Procedure/Method",                                  // 96 mtCallStack_Procedure
    "Line",                                              // 97 mtCallStack_Line
    "Main",                                              // 98 mtCallStack_MainThread
    "Exception Thread",                                  // 99 mtCallStack_ExceptionThread
    "Running Thread",                                    // 100 mtCallStack_RunningThread
    "Calling Thread",                                    // 101 mtCallStack_CallingThread
    "ID",                                                // 102 mtCallStack_ThreadID
    "Priority",                                          // 103 mtCallStack_ThreadPriority
    "Class",                                             // 104 mtCallStack_ThreadClass
    "Memory Leak",                                       // 105 mtCallStack_LeakCaption
    "Data",                                              // 106 mtCallStack_LeakData
    "Type",                                              // 107 mtCallStack_LeakType
    "Total size",                                        // 108 mtCallStack_LeakSize
    "Count",                                             // 109 mtCallStack_LeakCount
    "Send.",                                             // 110 mtSendDialog_Caption
    "Message",                                           // 111 mtSendDialog_Message
    "Resolving DNS...",                                  // 112 mtSendDialog_Resolving
    "Login...",                                          // 113 mtSendDialog_Login
    "Connecting with server...",                         // 114 mtSendDialog_Connecting
    "Connected with server.",                            // 115 mtSendDialog_Connected
    "Sending message...",                                // 116 mtSendDialog_Sending
    "Message sent.",                                     // 117 mtSendDialog_Sent
    "Select project...",                                 // 118 mtSendDialog_SelectProject
    "Searching...",                                      // 119 mtSendDialog_Searching
    "Modifying...",                                      // 120 mtSendDialog_Modifying
    "Disconnecting...",                                  // 121 mtSendDialog_Disconnecting
    "Disconnected.",                                     // 122 mtSendDialog_Disconnected
    "Request",                                           // 123 mtReproduceDialog_Caption
    "Please describe the steps to reproduce the error:", // 124 mtReproduceDialog_Request
    "&OK",                                               // 125 mtReproduceDialog_OKButtonCaption
    "Handle",                                            // 126 mtModules_Handle
    "Name",                                              // 127 mtModules_Name
    "Description",                                       // 128 mtModules_Description
    "Version",                                           // 129 mtModules_Version
    "Size",                                              // 130 mtModules_Size
    "Modified",                                          // 131 mtModules_LastModified
    "Path",                                              // 132 mtModules_Path
    "ID",                                                // 133 mtProcesses_ID
    "Name",                                              // 134 mtProcesses_Name
    "Description",                                       // 135 mtProcesses_Description
    "Version",                                           // 136 mtProcesses_Version
    "Memory",                                            // 137 mtProcesses_Memory
    "Priority",                                          // 138 mtProcesses_Priority
    "Threads",                                           // 139 mtProcesses_Threads
    "Path",                                              // 140 mtProcesses_Path
    "Registers",                                         // 141 mtCPU_Registers
    "Stack",                                             // 142 mtCPU_Stack
    "Memory Dump",                                       // 143 mtCPU_MemoryDump
    "The message was sent successfully.",                // 144 mtSend_SuccessMsg
    "Sorry, sending the message didn't work.",           // 145 mtSend_FailureMsg
    "These BUG is just closed."
    "\r\n"
    "Contact the program support to obtain an update.", // 146 mtSend_BugClosedMsg
    "Unknown error.",                                   // 147 mtSend_UnknownErrorMsg
    "Invalid login request.",                           // 148 mtSend_InvalidLoginMsg
    "Invalid search request.",                          // 149 mtSend_InvalidSearchMsg
    "Invalid selection request.",                       // 150 mtSend_InvalidSelectionMsg
    "Invalid insert request.",                          // 151 mtSend_InvalidInsertMsg
    "Invalid modify request.",                          // 152 mtSend_InvalidModifyMsg
    "",                                                 // 153 reserved
    "Multi Free memory leak.",                          // 154 mtException_LeakMultiFree
    "Memory Overrun leak.",                             // 155 mtException_LeakMemoryOverrun
    "The application seems to be frozen.",              // 156 mtException_AntiFreeze
    "Invalid email.",                                   // 157 mtInvalidEmailMsg
};

} // namespace

const char* EVals(size_t index) {
    return index < kMessageTypeCount ? kEVals[index] : "";
}

const char* const kDefaultHTMLLayout =
    "<html>\r\n"
    "  <head>\r\n"
    "  </head>\r\n"
    "  <body TopMargin=10 LeftMargin=10>\r\n"
    "    <table width=\"100%\" border=\"0\">\r\n"
    "      <tr>\r\n"
    "        <td nowrap>\r\n"
    "          <font face=\"Lucida Console, Courier\" size=\"2\">\r\n"
    "            <%HTML_TAG%>\r\n"
    "          </font>\r\n"
    "        </td>\r\n"
    "      </tr>\r\n"
    "    </table>\r\n"
    "  </body>\r\n"
    "</html>";

} // namespace kv::crash
