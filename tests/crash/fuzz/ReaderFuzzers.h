#pragma once
// Fuzz targets of the readers that take bytes from disk or a peer in the report and delivery
// layers: the stored log file, the XML form of stored reports, the HTTP and FTP reply checks and
// redirect targets, the trackers' HTML pages, the WinCGI request file and zip extraction. Each
// takes arbitrary bytes, asks every query of its readers and checks what they answered: the
// result is the first broken expectation, empty when there is none. libFuzzer entry points call
// them (tests/crash/fuzz/libfuzzer); the normal test run replays the committed seed corpora and
// mutations of them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvtest {

// The log file's reports (load, items, changes, saving and loading again).
std::string FuzzLogFile(const uint8_t* data, size_t size);
// One stored report's XML form, without and with a password.
std::string FuzzLogXML(const uint8_t* data, size_t size);
// The bytes as an HTTP status code text, an FTP reply, a Refresh header and a redirect target.
std::string FuzzWebReplies(const uint8_t* data, size_t size);
// A tracker's page: the first line is a field name (or title), the rest the page.
std::string FuzzWebForms(const uint8_t* data, size_t size);
// A tracker client's steps over scripted replies: the first byte picks Mantis, Bugzilla or
// FogBugz; the rest is the replies, separated by byte 0x1E, each its document name, a line
// break and its page.
std::string FuzzTrackerPages(const uint8_t* data, size_t size);
// The bytes as a WinCGI request file.
std::string FuzzWinCGIRequest(const uint8_t* data, size_t size);
// The bytes as a zip archive extracted into a folder of its own.
std::string FuzzZipExtraction(const uint8_t* data, size_t size);

} // namespace kvtest
