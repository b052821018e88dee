// Saves trip requests one after another on its own thread, through an updatable record
// set as the request form does, until it is stopped.
#pragma once

#include "data/database.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace excursa::testing {

class RequestWriter {
public:
    explicit RequestWriter(const std::filesystem::path& tripSchl)
        : thread_([this, path = tripSchl.string()] { run(path); }) {}
    ~RequestWriter() { stop(); }
    RequestWriter(const RequestWriter&) = delete;
    RequestWriter& operator=(const RequestWriter&) = delete;

    // The number of the last request whose save has returned: it and every one before it are committed.
    std::int32_t lastSaved() const { return lastSaved_.load(); }

    // Waits until `count` more requests are saved; false when the writer stopped or took too long.
    bool waitForMore(int count) const {
        const std::int32_t target = lastSaved() + count;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (lastSaved() < target) {
            if (finished_.load() || std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    void stop() {
        stopping_.store(true);
        if (thread_.joinable()) thread_.join();
    }

    std::string failure() const {
        std::lock_guard lock(mutex_);
        return failure_;
    }

private:
    void run(const std::string& path) {
        try {
            Connection cn;
            cn.open(path, path);
            while (!stopping_.load()) {
                Recordset rs = Recordset::OpenForUpdate(cn, "SELECT * FROM TRIPSREQ WHERE TRIPNUM = -1");
                rs.addNew();
                rs.setField("CUSTOMER", Value("MAPLE"));
                rs.setField("PURPOSE", Value("Saved while copying"));
                rs.update();
                lastSaved_.store(CLng(rs.field("TRIPNUM")));
            }
        } catch (const std::exception& e) {
            std::lock_guard lock(mutex_);
            failure_ = e.what();
        }
        finished_.store(true);
    }

    std::atomic<std::int32_t> lastSaved_{0};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::string failure_;
    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace excursa::testing
