#pragma once
// The web bug-tracker clients (Mantis, Bugzilla, FogBugz): log in through the tracker's HTML
// forms, search for the report's BugID, then file a new issue with the zip attached or raise the
// occurrence count in the existing issue's title. No API access: every value a form must echo
// back is scraped from the last page. The steps run over TTrackerConnection so that they can be
// driven by scripted pages; PostBug runs them over a THTTPConnectionBase. Blocking; the sending
// thread.
#include <cstdint>
#include <memory>
#include <string>

#include "crash/core/ClCore.h"
#include "crash/send/ClWebForms.h"
#include "crash/send/ClWebTools.h"

namespace kv::crash {

enum TSendResult : uint8_t {
    srOK,
    srBugClosed,
    srUnknownError,
    srInvalidLogin,
    srInvalidSelection,
    srInvalidSearch,
    srInvalidInsert,
    srInvalidModify
};

// What the clients need of an HTTP connection.
class TTrackerConnection {
public:
    virtual ~TTrackerConnection() = default;
    // The next request (WebPage relative to the tracker's folder); fields and files cleared.
    virtual void SetRequest(const std::string& webPage, TRequestMethod method) = 0;
    virtual TStrings& Fields() = 0; // "name=value" lines of the request
    virtual TStrings& Files() = 0;  // "name=file path" lines of a multipart request
    // Sends the request; false for a transport failure (LastResponse then holds its error).
    virtual bool SendRequest(bool updateStatus) = 0;
    // The last response (HTML and document name); empty after a failed request.
    virtual const THTTPResponse& LastResponse() const = 0;
    virtual void SetSendState(TSendState state, int percent) = 0;

    // The form operations over the last response and the request's fields.
    TWebForm Form() { return TWebForm(LastResponse().HTML, LastResponse().ReplayPage, Fields()); }
};

// A THTTPConnectionBase as tracker connection.
class TTrackerHTTPConnection final : public TTrackerConnection {
public:
    explicit TTrackerHTTPConnection(THTTPConnectionBase& connection) : connection_(connection) {}
    void SetRequest(const std::string& webPage, TRequestMethod method) override {
        connection_.SetRequest(webPage, method);
    }
    TStrings& Fields() override { return connection_.Fields; }
    TStrings& Files() override { return connection_.Files; }
    bool SendRequest(bool updateStatus) override {
        return connection_.SendRequest(response_, updateStatus);
    }
    const THTTPResponse& LastResponse() const override { return response_; }
    void SetSendState(TSendState state, int percent) override {
        connection_.SetSendState(state, percent);
    }

private:
    THTTPConnectionBase& connection_; // not owned
    THTTPResponse response_;
};

// The form operations over a connection's last response (its FResponse) and its request fields.
TWebForm ConnectionForm(THTTPConnectionBase& connection);

// The arguments of PostBug besides the URLs.
struct TTrackerBug {
    std::string Version;  // the main module's version
    std::string BugType;  // the exception class name
    std::string BugText;  // the exception message
    std::string BugID;    // the report's BugID
    std::string UserName; // tracker account
    std::string Password;
    std::string ProjectName; // project (Mantis, FogBugz) or product (Bugzilla)
    std::string Category;    // category, component or area
    std::string AssignTo;
    std::string AttachedFile; // the report zip
    // The user's custom fields, then FogBugzTrialID, CL_OSType, CL_OSBuild, CL_ReproduceText.
    TStrings CustomFields;
};

// The steps of each client: the first failing step's result, srOK, or srBugClosed.
TSendResult PostMantisBug(TTrackerConnection& connection, const TTrackerBug& bug);
TSendResult PostBugzillaBug(TTrackerConnection& connection, const TTrackerBug& bug);
TSendResult PostFogBugzBug(TTrackerConnection& connection, const TTrackerBug& bug);

// A connection whose progress goes nowhere: the clients' default connection class.
class THTTPQuietConnection : public THTTPConnectionBase {
public:
    using THTTPConnectionBase::THTTPConnectionBase;
    void SetSendState(TSendState, int) override {}
};

// A tracker client. PostBug opens a connection of FHTTPConnectionClass on ABaseURL (credentials
// and port put in) and AProxyURL, runs the client's steps, copies the last response into
// Response and closes the connection. An exception of the connection (it cannot be opened)
// leaves PostBug.
class THTTPSendReport {
public:
    virtual ~THTTPSendReport() = default;
    virtual TSendResult PostBug(const std::string& AVersion, const std::string& ABugType,
                                const std::string& ABugText, const std::string& ABugID,
                                const std::string& ABaseURL, const std::string& AProxyURL,
                                const std::string& AUserName, const std::string& APassword,
                                const std::string& AProjectName, const std::string& ACategory,
                                const std::string& AAssignTo, const std::string& AAttachedFile,
                                const TStrings& ACustomFields, THTTPResponse& Response) = 0;

    THTTPConnectionClass FHTTPConnectionClass = &CreateHTTPConnection<THTTPQuietConnection>;

protected:
    using TSteps = TSendResult (*)(TTrackerConnection&, const TTrackerBug&);
    TSendResult Run(TSteps steps, const std::string& baseURL, const std::string& proxyURL,
                    const TTrackerBug& bug, THTTPResponse& response) const;
};

// The class reference of the clients.
using THTTPSendReportClass = std::unique_ptr<THTTPSendReport> (*)();
template <class T> std::unique_ptr<THTTPSendReport> CreateSendReport() {
    return std::make_unique<T>();
}

// Mantis: its texts go out as UTF-8.
class THTTPMantisSendReport : public THTTPSendReport {
public:
    TSendResult PostBug(const std::string& AVersion, const std::string& ABugType,
                        const std::string& ABugText, const std::string& ABugID,
                        const std::string& ABaseURL, const std::string& AProxyURL,
                        const std::string& AUserName, const std::string& APassword,
                        const std::string& AProjectName, const std::string& ACategory,
                        const std::string& AAssignTo, const std::string& AAttachedFile,
                        const TStrings& ACustomFields, THTTPResponse& Response) override;
};
// Bugzilla.
class THTTPBugzillaSendReport : public THTTPSendReport {
public:
    TSendResult PostBug(const std::string& AVersion, const std::string& ABugType,
                        const std::string& ABugText, const std::string& ABugID,
                        const std::string& ABaseURL, const std::string& AProxyURL,
                        const std::string& AUserName, const std::string& APassword,
                        const std::string& AProjectName, const std::string& ACategory,
                        const std::string& AAssignTo, const std::string& AAttachedFile,
                        const TStrings& ACustomFields, THTTPResponse& Response) override;
};
// FogBugz: every page is default.asp.
class THTTPFogBugzSendReport : public THTTPSendReport {
public:
    TSendResult PostBug(const std::string& AVersion, const std::string& ABugType,
                        const std::string& ABugText, const std::string& ABugID,
                        const std::string& ABaseURL, const std::string& AProxyURL,
                        const std::string& AUserName, const std::string& APassword,
                        const std::string& AProjectName, const std::string& ACategory,
                        const std::string& AAssignTo, const std::string& AAttachedFile,
                        const TStrings& ACustomFields, THTTPResponse& Response) override;
};

// Creates a ReportClass client with ConnectionClass (null: the client's default), posts the bug
// and frees the client.
TSendResult SendWebTrakerReport(THTTPConnectionClass ConnectionClass,
                                THTTPSendReportClass ReportClass, const std::string& AVersion,
                                const std::string& ABugType, const std::string& ABugText,
                                const std::string& ABugID, const std::string& ABaseURL,
                                const std::string& AProxyURL, const std::string& AUserName,
                                const std::string& APassword, const std::string& AProjectName,
                                const std::string& ACategory, const std::string& AAssignTo,
                                const std::string& AAttachedFile, const TStrings& ACustomFields,
                                THTTPResponse& Response);

} // namespace kv::crash
