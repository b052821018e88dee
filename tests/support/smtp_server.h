// A real SMTP server on loopback for the mail tests: Debian's python3-aiosmtpd, keeping every message
// it receives as a file under <mailbox>/new. Also a port that accepts connections and never answers.
#pragma once

#include "support/temp_folder.h"

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Process.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace excursa::testing {

inline constexpr const char* kPython = "/usr/bin/python3";

// A mail server that checks AUTH LOGIN/PLAIN against one user name and password, without TLS.
inline constexpr const char* kAuthServerScript = R"(
import sys, threading
from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult, LoginPassword
user, password = sys.argv[3].encode(), sys.argv[4].encode()
def check(server, session, envelope, mechanism, data):
    return AuthResult(success=isinstance(data, LoginPassword) and data.login == user and data.password == password)
Controller(Mailbox(sys.argv[1]), hostname='127.0.0.1', port=int(sys.argv[2]), authenticator=check,
           auth_required=True, auth_require_tls=False, auth_exclude_mechanism=sys.argv[5:]).start()
threading.Event().wait()
)";

// A mail server that offers STARTTLS with the certificate and key given, and takes mail without it too.
inline constexpr const char* kTlsServerScript = R"(
import sys, ssl, threading
from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(sys.argv[3], sys.argv[4])
Controller(Mailbox(sys.argv[1]), hostname='127.0.0.1', port=int(sys.argv[2]), tls_context=context,
           require_starttls=False).start()
threading.Event().wait()
)";

inline int RunQuietly(const std::string& command) {
    Poco::ProcessHandle process = Poco::Process::launch("/bin/sh", {"-c", command + " >/dev/null 2>&1"});
    return process.wait();
}

// A loopback port that nothing listens on at the moment.
inline int FreePort() {
    Poco::Net::ServerSocket probe(Poco::Net::SocketAddress("127.0.0.1", 0));
    const int port = probe.address().port();
    probe.close();
    return port;
}

class SmtpServer {
public:
    static bool Available() { return RunQuietly(std::string(kPython) + " -c 'import aiosmtpd'") == 0; }

    // Without credentials any mail is taken; with them, only mail after a matching AUTH, by any
    // mechanism but `excluded` (LOGIN or PLAIN).
    explicit SmtpServer(const std::string& user = "", const std::string& password = "",
                        const std::string& excluded = "")
        : mailbox_(folder_.path() / "mailbox"), port_(FreePort()) {
        std::string command;
        if (user.empty()) {
            command = std::string(kPython) + " -m aiosmtpd -n -l 127.0.0.1:" + std::to_string(port_) +
                      " -c aiosmtpd.handlers.Mailbox " + mailbox_.string();
        } else {
            const std::filesystem::path script = folder_.write("auth_server.py", kAuthServerScript);
            command = std::string(kPython) + " " + script.string() + " " + mailbox_.string() + " " +
                      std::to_string(port_) + " " + user + " " + password + " " + excluded;
        }
        start(command);
    }
    // A server offering STARTTLS with a certificate of its own that no one trusts.
    struct WithStartTls {};
    explicit SmtpServer(WithStartTls) : mailbox_(folder_.path() / "mailbox"), port_(FreePort()) {
        const std::string key = (folder_.path() / "key.pem").string();
        const std::string certificate = (folder_.path() / "certificate.pem").string();
        RunQuietly("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout " + key +
                   " -out " + certificate);
        const std::filesystem::path script = folder_.write("tls_server.py", kTlsServerScript);
        start(std::string(kPython) + " " + script.string() + " " + mailbox_.string() + " " +
              std::to_string(port_) + " " + certificate + " " + key);
    }

    ~SmtpServer() {
        if (!process_) return;
        Poco::Process::kill(*process_);
        process_->wait();
    }
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    int port() const { return port_; }

    // The messages received so far, oldest first, each as the file holds it.
    std::vector<std::string> messages() const {
        std::vector<std::filesystem::path> files;
        const std::filesystem::path arrived = mailbox_ / "new";
        if (std::filesystem::exists(arrived)) {
            for (const auto& entry : std::filesystem::directory_iterator(arrived))
                files.push_back(entry.path());
        }
        // Maildir names do not sort by arrival; the times they were written do.
        std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
            return std::pair(std::filesystem::last_write_time(a), a) <
                   std::pair(std::filesystem::last_write_time(b), b);
        });
        std::vector<std::string> texts;
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            texts.push_back(text.str());
        }
        return texts;
    }

private:
    void start(const std::string& command) {
        process_.emplace(Poco::Process::launch("/bin/sh", {"-c", "exec " + command + " >/dev/null 2>&1"}));
        waitUntilListening();
    }

    void waitUntilListening() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            try {
                Poco::Net::StreamSocket probe;
                probe.connect(Poco::Net::SocketAddress("127.0.0.1", static_cast<Poco::UInt16>(port_)));
                return;
            } catch (const Poco::Exception&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }

    TempFolder folder_;
    std::filesystem::path mailbox_;
    int port_;
    std::optional<Poco::ProcessHandle> process_;
};

// A server that takes the connection and then says nothing, as a hung mail server does.
class SilentServer {
public:
    SilentServer() : socket_(Poco::Net::SocketAddress("127.0.0.1", 0)) {}
    int port() const { return socket_.address().port(); }

private:
    Poco::Net::ServerSocket socket_;
};

// The header's value in a stored message ("" when it has none).
inline std::string Header(const std::string& message, const std::string& name) {
    std::istringstream lines(message);
    std::string line;
    while (std::getline(lines, line) && !line.empty() && line != "\r") {
        if (line.rfind(name + ": ", 0) == 0) {
            std::string value = line.substr(name.size() + 2);
            if (!value.empty() && value.back() == '\r') value.pop_back();
            return value;
        }
    }
    return "";
}

// The body of a stored message, its line breaks made "\n", without the last one.
inline std::string Body(const std::string& message) {
    std::string text = message;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    const std::size_t start = text.find("\n\n");
    if (start == std::string::npos) return "";
    text = text.substr(start + 2);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace excursa::testing
