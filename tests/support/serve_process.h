// `excursa serve` as a process on a free port of the loopback, stopped by SIGTERM as
// systemd stops it.
#pragma once

#include "support/run_process.h"

#include <Poco/Pipe.h>
#include <Poco/PipeStream.h>
#include <Poco/Process.h>

#include <csignal>
#include <string>
#include <vector>

namespace excursa::testing {

class ServeProcess {
public:
    explicit ServeProcess(const std::string& site, const std::vector<std::string>& moreArgs = {})
        : process_(Poco::Process::launch(EXCURSA_BINARY, Args(site, moreArgs), nullptr, &out_, &err_)) {
        Poco::PipeInputStream in(out_);
        for (std::string line; std::getline(in, line);) {
            // "excursa 2.4.0 serving DIR on http://localhost:PORT/ExcursaLakemont.asp"
            const std::size_t at = line.find(" on http://localhost:");
            if (line.find(" serving ") == std::string::npos || at == std::string::npos) continue;
            port_ = std::stoi(line.substr(at + 21));
            break;
        }
    }
    ~ServeProcess() { stop(); }
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    bool serving() const { return port_ != 0; }
    int port() const { return port_; }

    // What the server wrote to standard error, once it has stopped.
    std::string stop() {
        if (stopped_) return errText_;
        stopped_ = true;
        ::kill(process_.id(), SIGTERM);
        errText_ = ReadAll(err_);
        process_.wait();
        return errText_;
    }

private:
    static std::vector<std::string> Args(const std::string& site, const std::vector<std::string>& moreArgs) {
        std::vector<std::string> args{"serve",     "--site",    site,        "--port", "0",
                                      "--address", "127.0.0.1", "--threads", "1"};
        args.insert(args.end(), moreArgs.begin(), moreArgs.end());
        return args;
    }

    Poco::Pipe out_;
    Poco::Pipe err_;
    Poco::ProcessHandle process_;
    int port_ = 0;
    bool stopped_ = false;
    std::string errText_;
};

}  // namespace excursa::testing
