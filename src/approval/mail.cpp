#include "approval/mail.h"

#include "approval/approval.h"
#include "config/diagnostic_log.h"
#include "config/settings.h"
#include "config/site.h"
#include "data/connections.h"
#include "frame/keys.h"
#include "frame/metrics.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"

#include <Poco/AutoPtr.h>
#include <Poco/Base64Encoder.h>
#include <Poco/DOM/DOMParser.h>
#include <Poco/DOM/DOMWriter.h>
#include <Poco/DOM/Document.h>
#include <Poco/DOM/Element.h>
#include <Poco/DOM/Text.h>
#include <Poco/Exception.h>
#include <Poco/Net/Context.h>
#include <Poco/Net/DNS.h>
#include <Poco/Net/MailMessage.h>
#include <Poco/Net/MailRecipient.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SMTPClientSession.h>
#include <Poco/Net/SecureStreamSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Timespan.h>
#include <Poco/XML/XMLWriter.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

namespace excursa {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kMisconfigured = "Misconfigured email options in ini file.";
constexpr std::string_view kMaskedPassword = "********";
constexpr int kLongestTimeoutSeconds = 300;

// ------------------------------------------------------------------ settings

struct MailSettings {
    std::string server;
    std::int32_t port = 0;
    bool authentication = false;
    std::string username;
    std::string password;
    std::string fromAddress;
    std::string fromName;
};

int SmtpTimeoutSeconds() {
    const Value setting(Trim(GetOptionalTripIniSetting("SmtpTimeoutSeconds")));
    if (!IsNumeric(setting)) return kDefaultSmtpTimeoutSeconds;
    const double seconds = CDbl(setting);
    if (seconds < 1) return 1;
    return seconds > kLongestTimeoutSeconds ? kLongestTimeoutSeconds : static_cast<int>(seconds);
}

// ------------------------------------------------------------- the SMTP talk

// The extension line of an EHLO answer ("250-AUTH LOGIN PLAIN"), "" when it is not offered.
std::string ExtensionLine(const std::string& ehlo, std::string_view extension) {
    std::istringstream lines(ehlo);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string offered = line.size() > 4 ? Trim(line.substr(4)) : std::string();
        if (StartsWithNoCase(offered, extension)) return offered;
    }
    return "";
}

// The session's own EHLO answer tells which extensions (STARTTLS, AUTH) the server offers.
class MailSession : public Poco::Net::SMTPClientSession {
public:
    using SMTPClientSession::SMTPClientSession;

    std::string hello() {
        std::string response;
        login(Poco::Net::DNS::hostName(), response);
        return response;
    }

    // Both answer the server's prompts in order, whatever words its LOGIN prompts use.
    void authenticate(const std::string& ehlo, const std::string& username, const std::string& password) {
        const std::string methods = ExtensionLine(ehlo, "AUTH");
        if (FindNoCase(methods, "PLAIN") == std::string::npos &&
            FindNoCase(methods, "LOGIN") != std::string::npos) {
            expect(isPositiveIntermediate, "AUTH LOGIN");
            expect(isPositiveIntermediate, Base64(username));
            expect(isPositiveCompletion, Base64(password));
            return;
        }
        expect(isPositiveCompletion,
               "AUTH PLAIN " + Base64(std::string(1, '\0') + username + '\0' + password));
    }

    void startTls(const std::string& serverName, Poco::Net::Context::Ptr context) {
        std::string response;
        const int status = sendCommand("STARTTLS", response);
        if (!isPositiveCompletion(status))
            throw Poco::Net::SMTPException("STARTTLS refused", response, status);
        const Poco::Net::SecureStreamSocket secure =
            Poco::Net::SecureStreamSocket::attach(socket(), serverName, context);
        socket() = secure;
    }

private:
    static std::string Base64(const std::string& text) {
        std::ostringstream out;
        Poco::Base64Encoder encoder(out);
        encoder.rdbuf()->setLineLength(0);
        encoder << text;
        encoder.close();
        return out.str();
    }

    // Sends one line; the server's answer must be of the kind given. The credentials never reach
    // the exception's text.
    void expect(bool (*accepted)(int), const std::string& line) {
        std::string response;
        const int status = sendCommand(line, response);
        if (!accepted(status)) throw Poco::Net::SMTPException("Authentication failed", response, status);
    }
};

Poco::Net::Context::Ptr TlsContext() {
    static const Poco::Net::Context::Ptr context = new Poco::Net::Context(
        Poco::Net::Context::TLS_CLIENT_USE, "", Poco::Net::Context::VERIFY_RELAXED, 9, true);
    return context;
}

Poco::UInt16 PortNumber(std::int32_t port) {
    if (port < 1 || port > 65535) throw Poco::InvalidArgumentException("SMTP port " + std::to_string(port));
    return static_cast<Poco::UInt16>(port);
}

// Nothing when the server took the mail; otherwise what went wrong.
std::optional<std::string> Deliver(const MailSettings& settings, const Poco::Net::MailMessage& message) {
    try {
        const Poco::Timespan timeout(SmtpTimeoutSeconds(), 0);
        Poco::Net::StreamSocket socket;
        socket.connect(Poco::Net::SocketAddress(settings.server, PortNumber(settings.port)), timeout);
        MailSession session(socket);
        session.setTimeout(timeout);
        std::string offers = session.hello();
        if (!ExtensionLine(offers, "STARTTLS").empty()) {
            session.startTls(settings.server, TlsContext());
            offers = session.hello();
        }
        if (settings.authentication) session.authenticate(offers, settings.username, settings.password);
        session.sendMessage(message);
        try {
            session.close();
        } catch (const Poco::Exception&) {
            // The mail was taken; a lost goodbye changes nothing.
        }
        return std::nullopt;
    } catch (const Poco::Exception& e) {
        return e.displayText();
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
}

// The recipient text holds one address or several separated by "; ".
std::vector<std::string> Addresses(const std::string& recipients) {
    std::vector<std::string> addresses;
    std::size_t start = 0;
    while (start <= recipients.size()) {
        const std::size_t end = recipients.find("; ", start);
        const std::string address = Trim(recipients.substr(start, end - start));
        if (!address.empty()) addresses.push_back(address);
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return addresses;
}

// ------------------------------------------------------------ XML error log

// XML 1.0 has no place for the other control characters.
std::string XmlSafe(std::string_view text) {
    std::string safe(text);
    for (char& c : safe) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 && c != '\t' && c != '\n' && c != '\r') c = '?';
    }
    return safe;
}

std::mutex& ErrorLogMutex() {
    static std::mutex mutex;
    return mutex;
}

Poco::AutoPtr<Poco::XML::Document> NewErrorLog() {
    Poco::AutoPtr<Poco::XML::Document> log = new Poco::XML::Document;
    Poco::AutoPtr<Poco::XML::Element> root = log->createElement("ErrorLog");
    log->appendChild(root);
    return log;
}

// The log as it stands; one that cannot be read is kept beside the new one, never thrown away.
Poco::AutoPtr<Poco::XML::Document> ReadErrorLog(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (Trim(text.str()).empty()) return NewErrorLog();
    try {
        Poco::XML::DOMParser parser;
        parser.setFeature(Poco::XML::DOMParser::FEATURE_FILTER_WHITESPACE, true);
        Poco::AutoPtr<Poco::XML::Document> log = parser.parseString(text.str());
        if (log->documentElement() != nullptr) return log;
    } catch (const Poco::Exception&) {
    }
    std::filesystem::path unreadable = file;
    unreadable += ".unreadable-" + std::to_string(static_cast<long long>(Now() * 86400.0));
    std::filesystem::rename(file, unreadable);
    return NewErrorLog();
}

void AddText(Poco::XML::Document& log, Poco::XML::Element& parent, const std::string& name,
             const std::string& text) {
    Poco::AutoPtr<Poco::XML::Element> element = log.createElement(name);
    Poco::AutoPtr<Poco::XML::Text> content = log.createTextNode(XmlSafe(text));
    element->appendChild(content);
    parent.appendChild(element);
}

std::string NodeText(const Poco::XML::Node& node, int options) {
    Poco::XML::DOMWriter writer;
    writer.setNewLine("\n");
    writer.setOptions(options);
    std::ostringstream out;
    writer.writeNode(out, &node);
    return out.str();
}

// Appends one failed send to the XML error log and answers the element as written. The file is
// rewritten whole through a temporary one, so that it stays well-formed whatever happens.
std::string RecordMailError(const std::string& recipient, const std::string& subject,
                            const std::string& error) {
    const std::lock_guard<std::mutex> lock(ErrorLogMutex());
    const std::filesystem::path file = NativePath(kMailErrorLogFile);
    try {
        std::filesystem::create_directories(file.parent_path());
        Poco::AutoPtr<Poco::XML::Document> log = ReadErrorLog(file);
        Poco::AutoPtr<Poco::XML::Element> entry = log->createElement("MailError");
        AddText(*log, *entry, "Date", StoredDateText(Now()));
        AddText(*log, *entry, "Recipient", recipient);
        AddText(*log, *entry, "Subject", subject);
        AddText(*log, *entry, "Error", error);
        log->documentElement()->appendChild(entry);

        std::filesystem::path temporary = file;
        temporary += ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << NodeText(*log,
                            Poco::XML::XMLWriter::WRITE_XML_DECLARATION | Poco::XML::XMLWriter::PRETTY_PRINT);
            if (!out.flush()) throw std::runtime_error("cannot write " + temporary.string());
        }
        std::filesystem::rename(temporary, file);
        return NodeText(*entry, 0);
    } catch (const std::exception& e) {
        OperatorMessage("ErrorLog.xml", std::string("Error: ") + e.what());
        return "";
    }
}

// ------------------------------------------------------------------ sending

MailSettings ReadMailSettings(const Host& host) {
    MailSettings settings;
    settings.server = TextOf(host.appGet(key::SmtpServer));
    settings.authentication = CBool(host.appGet(key::SmtpAuthentication));
    settings.username = TextOf(host.appGet(key::SmtpUsername));
    settings.password = TextOf(host.appGet(key::SmtpPassword));
    settings.fromAddress = TextOf(host.appGet(key::EmailFromAddress));
    settings.fromName = TextOf(host.appGet(key::EmailFromName));
    return settings;
}

void Send(const Host& host, const std::string& recipient, const std::string& subject,
          const std::string& body) {
    MailSettings settings = ReadMailSettings(host);
    if (settings.server.empty() || settings.fromAddress.empty() || settings.fromName.empty()) {
        strErrorText = std::string(kMisconfigured);
        return;
    }
    WriteLog("MailMan Dimmed");
    WriteLog("SmtpServer: " + settings.server);
    settings.port = CLng(host.appGet(key::SmtpPort));
    WriteLog("SmtpPort: " + std::to_string(settings.port));
    WriteLog(std::string("SmtpAuthentication: ") + (settings.authentication ? "True" : "False"));
    if (settings.authentication) {
        WriteLog("SmtpUsername: " + settings.username);
        WriteLog("SmtpPassword: " + std::string(kMaskedPassword));
    }

    Poco::Net::MailMessage message;
    message.setSubject(subject);
    WriteLog("Subject: " + subject);
    message.setContentType("text/plain; charset=UTF-8");
    message.setContent(body, Poco::Net::MailMessage::ENCODING_8BIT);
    WriteLog("Body: " + body);
    for (const std::string& address : Addresses(recipient)) {
        message.addRecipient(Poco::Net::MailRecipient(Poco::Net::MailRecipient::PRIMARY_RECIPIENT, address));
    }
    WriteLog("EmailAddress: " + recipient);
    message.setSender(settings.fromName + " <" + settings.fromAddress + ">");
    WriteLog("FromAddress: " + settings.fromAddress);
    WriteLog("FromName: " + settings.fromName);

    const std::optional<std::string> failure = Deliver(settings, message);
    WriteLog(std::string("success: ") + (failure ? "0" : "1"));
    if (failure) {
        CountMailFailed();
        WriteLog(RecordMailError(recipient, subject, *failure));
    } else {
        CountMailSent();
    }
}

// ------------------------------------------------------------------ notices

bool SwitchedOn(const Host& host, std::string_view key) { return SameText(host.sessionGet(key), "True"); }

std::string NoticeBody(const RequestNotice& notice, const std::string& firstLine,
                       std::string_view afterFirst) {
    const std::string br(kLineBreak);
    return firstLine + std::string(afterFirst) + "Customer: " + notice.customerName + br +
           "Destination: " + notice.destination + br + "Dep Dt: " + notice.departureDate + br +
           "# Students: " + notice.students + br + "New Status: " + notice.status;
}

void MailRequester(AppObject& app, const RequestNotice& notice) {
    const std::string recipient = Trim(notice.requestorEmail);
    if (recipient.empty() || recipient.find('@') == std::string::npos) return;
    const std::string firstLine =
        notice.isNew ? "A New Trip Request, Request #" + notice.tripNumber + " has been entered."
                     : "Trip Request #" + notice.tripNumber + " has changed.";
    SendEmail(app, recipient, "Excursa - Trip Request #" + notice.tripNumber,
              NoticeBody(notice, firstLine, kLineBreak));
}

// False when a look-up failed.
bool MailNextApprovers(AppObject& app, const RequestNotice& notice) {
    const std::string nextRole = NextRole(Trim(notice.chainId), notice.status);
    if (ErrorTextIsSet()) return false;
    if (nextRole == "NA") return true;
    const std::string recipients = GetApproverEmail(nextRole, notice.customer);
    if (ErrorTextIsSet()) return false;
    if (recipients == "NA" || recipients.find('@') == std::string::npos) return true;
    const std::string firstLine =
        "Trip Request #" + notice.tripNumber + " needs your approval (in the Excursa software).";
    SendEmail(app, recipients,
              "Excursa - Trip Request Request #" + notice.tripNumber + " needs your approval",
              NoticeBody(notice, firstLine, std::string(kLineBreak) + std::string(kLineBreak)));
    return true;
}

}  // namespace

void SendEmail(AppObject& app, const std::string& recipient, const std::string& subject,
               const std::string& body) {
    RunProcedure(app, Procedure{"SendEmail", kModuleExcursa}, [&] {
        WriteLog("Starting SendEmail");
        Send(app.host, recipient, subject, body);
    });
}

std::string GetApproverEmail(const std::string& role, const std::string& customer) {
    if (role.empty()) return "";
    std::string answer;
    const bool read = RunQuietProcedure(Procedure{"GetApproverEmail", kModuleApproval}, [&] {
        Recordset approvers = Recordset::Open(
            Use(cnSecurity),
            "SELECT VLSCU.EMAIL, VLSCU.ROLE, VLSCU.CUSTOMER From VLSCU WHERE (VLSCU.ROLE=?) AND "
            "(VLSCU.CUSTOMER=? OR VLSCU.CUSTOMER='' or isnull(VLSCU.CUSTOMER))",
            {role, customer});
        for (; !approvers.eof(); approvers.moveNext()) {
            const std::string address = Trim(NullToSpace(approvers.field("EMAIL")));
            if (address.empty()) continue;
            answer = answer.empty() ? address : answer + "; " + address;
        }
    });
    if (!read || answer.empty()) return "NA";
    return answer;
}

bool SendStatusNotices(AppObject& app, const RequestNotice& notice) {
    const Host& host = app.host;
    const bool statusChanged = !SameTextNoCase(notice.status, notice.oldStatus);
    if (ErrorTextIsSet()) return false;
    if (statusChanged && SwitchedOn(host, key::MailRequester)) MailRequester(app, notice);
    if (!statusChanged || !SwitchedOn(host, key::MailApprovers)) return true;
    return MailNextApprovers(app, notice);
}

}  // namespace excursa
