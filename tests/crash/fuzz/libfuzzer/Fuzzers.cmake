# libFuzzer executables of the debug-data readers, one per target, over the same sources as the
# replay test. Needs clang; scripts/fuzz.sh configures and runs them.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "KOLVANE_FUZZ needs clang (CXX=clang++)")
endif()
foreach(target Map TD32 UL DebugData)
  add_executable(fuzz_${target}
    ${CMAKE_CURRENT_SOURCE_DIR}/crash/fuzz/libfuzzer/Fuzz${target}.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/crash/fuzz/DebugFuzzers.cpp)
  target_link_libraries(fuzz_${target} PRIVATE kv_crash_debug)
  target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
endforeach()
# The delivery's readers of what a peer sends: DNS replies and SMTP reply codes.
foreach(target DnsReply SmtpReply)
  add_executable(fuzz_${target} ${CMAKE_CURRENT_SOURCE_DIR}/crash/fuzz/libfuzzer/Fuzz${target}.cpp)
  target_link_libraries(fuzz_${target} PRIVATE kv_crash_send)
  target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
endforeach()
# The readers of stored reports, replies, tracker pages (alone and in the clients), WinCGI requests and zip archives: one
# executable per reader over the same sources as the replay test.
foreach(target LogFile LogXML WebReplies WebForms TrackerPages WinCGIRequest ZipExtraction)
  add_executable(fuzz_${target} ${CMAKE_CURRENT_SOURCE_DIR}/crash/fuzz/libfuzzer/FuzzReader.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/crash/fuzz/ReaderFuzzers.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/TestFiles.cpp)
  target_include_directories(fuzz_${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
  target_compile_definitions(fuzz_${target} PRIVATE KOLVANE_FUZZ_READER=Fuzz${target}
    KOLVANE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
  target_link_libraries(fuzz_${target} PRIVATE kv_crash_send)
  target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
endforeach()
