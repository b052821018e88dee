#include "frame/access_log.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace excursa {

namespace {

// Past this much unwritten text the output is stuck; further lines are
// counted instead of piling up in memory.
constexpr std::size_t kMaxPendingBytes = 8 * 1024 * 1024;

// Lines are written in batches: waking the writer and writing once per request
// cost as much as answering a small page. A line waits at most this long.
constexpr std::chrono::milliseconds kGatherFor{100};
constexpr std::size_t kBatchBytes = 64 * 1024;

}  // namespace

std::string EscapeForLog(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

std::string AccessLogLine(const AccessRecord& r) {
    std::string line = EscapeForLog(r.method);
    line.append(" \"").append(EscapeForLog(r.target)).append("\" ");
    line.append(std::to_string(r.status)).append(" ").append(std::to_string(r.bytes)).append(" ");
    line.append(std::to_string(r.milliseconds)).append("ms ");
    if (r.user.empty()) return line + "-";
    return line.append("\"").append(EscapeForLog(r.user)).append("\"");
}

AccessLog::AccessLog(std::ostream& out) : out_(out), writer_([this] { run(); }) {}

AccessLog::~AccessLog() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    pending_.notify_one();
    writer_.join();
}

void AccessLog::write(const AccessRecord& record) {
    std::string line = AccessLogLine(record);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (lines_.size() > kMaxPendingBytes) {
            ++dropped_;
            return;
        }
        // The writer sleeps only while nothing is pending, or gathers until a batch is full.
        wake =
            lines_.empty() || (lines_.size() < kBatchBytes && lines_.size() + line.size() + 1 >= kBatchBytes);
        lines_.append(line).append("\n");
    }
    if (wake) pending_.notify_one();
}

void AccessLog::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        pending_.wait(lock, [this] { return stopping_ || !lines_.empty(); });
        if (lines_.empty() && stopping_) return;
        pending_.wait_for(lock, kGatherFor, [this] { return stopping_ || lines_.size() >= kBatchBytes; });
        std::string batch;
        batch.swap(lines_);
        const std::size_t dropped = std::exchange(dropped_, 0);
        lock.unlock();
        out_ << batch;
        if (dropped > 0)
            out_ << "excursa: " << dropped << " access log lines dropped: the output was too slow\n";
        out_.flush();
        lock.lock();
    }
}

}  // namespace excursa
