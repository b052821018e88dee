#include "frame/http_connection.h"

#include "frame/event_loops.h"
#include "frame/metrics.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <optional>

namespace excursa {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMaxHeaderBytes = 64 * 1024;
// A refused request's remaining bytes are read and dropped for a while before
// the connection closes, so that the client sees the refusal, not a reset.
constexpr std::size_t kMaxDrainBytes = 16 * kMaxBodyBytes;
constexpr std::chrono::milliseconds kMaxLinger{5000};
// Idle connections keep no more buffer than this.
constexpr std::size_t kIdleBufferBytes = 8 * 1024;
constexpr std::size_t kReadBytes = 4 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

std::string HttpDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

// A line break in a header value would let page output forge headers.
std::string HeaderValue(std::string value) {
    std::erase_if(value, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return value;
}

Answer TooLarge() {
    return PlainError(413, "Request too large", "The form sent is larger than this site accepts.");
}

// Errors of the message itself, as opposed to the connection ending or timing out.
bool IsMalformed(const beast::error_code& ec) {
    return ec.category() == http::make_error_code(http::error::bad_method).category() &&
           ec != http::error::end_of_stream && ec != http::error::partial_message;
}

class ClientConnection : public std::enable_shared_from_this<ClientConnection> {
public:
    ClientConnection(ServerContext& context, tcp::socket socket)
        : context_(context), stream_(std::move(socket)) {
        beast::error_code ec;
        const tcp::endpoint peer = stream_.socket().remote_endpoint(ec);
        if (!ec) peer_ = peer.address().to_string();
    }

    void start() {
        net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->awaitRequest(true); });
    }

private:
    using Request = http::request<http::string_body>;
    using Response = http::response<http::string_body>;

    const ServerOptions& options() const { return context_.options; }

    void awaitRequest(bool fresh) {
        parser_.emplace();
        parser_->header_limit(kMaxHeaderBytes);
        parser_->body_limit(kMaxBodyBytes);
        if (fresh || buffer_.size() > 0) return readHeader();
        if (buffer_.capacity() > kIdleBufferBytes) buffer_.shrink_to_fit();
        // Between requests the idle deadline applies; the head's own deadline
        // starts with its first byte.
        stream_.expires_after(options().idleTimeout);
        stream_.async_read_some(buffer_.prepare(kReadBytes),
                                [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                    if (ec) return;
                                    self->buffer_.commit(n);
                                    self->readHeader();
                                });
    }

    void readHeader() {
        started_ = Clock::now();
        stream_.expires_after(options().headerTimeout);
        http::async_read_header(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
    }

    void onHeader(beast::error_code ec) {
        if (refusedFor(ec) || ec) return;
        const Request& request = parser_->get();
        if (beast::iequals(request[http::field::expect], "100-continue") && !parser_->is_done()) {
            stream_.expires_after(options().headerTimeout);
            net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                             [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                 if (!ec) self->readBody();
                             });
            return;
        }
        readBody();
    }

    // Answers a malformed or oversized request and closes; true when it did.
    bool refusedFor(const beast::error_code& ec) {
        if (ec == http::error::body_limit) {
            refuse(TooLarge());
            return true;
        }
        if (IsMalformed(ec)) {
            refuse(UnreadableRequest());
            return true;
        }
        return false;
    }

    void readBody() {
        bodyStarted_ = Clock::now();
        bodyBytes_ = 0;
        readBodyPart();
    }

    // The body may take the head's allowance plus its size at the minimum
    // rate, so a slow but steady sender finishes and a trickle does not.
    Clock::time_point bodyDeadline() const {
        const std::size_t rate = std::max<std::size_t>(options().bodyMinBytesPerSecond, 1);
        const auto allowance = std::chrono::milliseconds(bodyBytes_ * 1000 / rate);
        return bodyStarted_ + options().headerTimeout + allowance;
    }

    void readBodyPart() {
        if (parser_->is_done()) return dispatch();
        stream_.expires_at(bodyDeadline());
        http::async_read_some(stream_, buffer_, *parser_,
                              [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                  if (self->refusedFor(ec) || ec) return;
                                  self->bodyBytes_ += n;
                                  self->readBodyPart();
                              });
    }

    void dispatch() {
        Request request = parser_->release();
        noteRequest(request);
        incoming_.method = std::string(request.method_string());
        incoming_.target = std::string(request.target());
        incoming_.contentType = std::string(request[http::field::content_type]);
        incoming_.accept = std::string(request[http::field::accept]);
        incoming_.cookieHeaders.clear();
        for (const auto& field : request) {
            if (field.name() == http::field::cookie) incoming_.cookieHeaders.emplace_back(field.value());
        }
        incoming_.body = std::move(request.body());
        incoming_.peer = peer_;
        stream_.expires_never();
        PageOnLoop page;
        reply(answerIncoming());
    }

    Answer answerIncoming() { return AnswerRequest(context_.app, incoming_, options().monitor); }

    void noteRequest(const Request& request) {
        method_ = std::string(request.method_string());
        target_ = std::string(request.target());
        version_ = request.version();
        keepAlive_ = request.keep_alive();
        head_ = request.method() == http::verb::head;
    }

    void refuse(Answer answer) {
        noteRequest(parser_->get());
        keepAlive_ = false;
        lingering_ = true;
        head_ = false;
        reply(std::move(answer));
    }

    void reply(Answer answer) {
        status_ = answer.status;
        sentBytes_ = head_ ? 0 : answer.body.size();
        user_ = std::move(answer.user);
        // Counted before the bytes go out, so a client that has its answer finds it counted.
        ProcessMetrics().countRequest(answer.item, answer.status, Clock::now() - started_);
        response_.emplace(static_cast<http::status>(answer.status), version_ == 10 ? 10 : 11);
        Response& r = *response_;
        r.set(http::field::date, HttpDate());
        r.set(http::field::content_type, HeaderValue(answer.contentType));
        if (!answer.location.empty()) r.set(http::field::location, HeaderValue(answer.location));
        if (!answer.sessionCookie.empty()) {
            r.set(http::field::set_cookie,
                  std::string(kSessionCookie) + "=" + HeaderValue(answer.sessionCookie) +
                      "; Path=/; HttpOnly; SameSite=Lax" + (options().secureCookie ? "; Secure" : ""));
        }
        if (!answer.allow.empty()) r.set(http::field::allow, answer.allow);
        r.set(http::field::cache_control, std::string(CacheControl(answer)));
        r.set("X-Content-Type-Options", "nosniff");
        r.keep_alive(keepAlive_);
        r.content_length(answer.body.size());
        if (!head_) r.body() = std::move(answer.body);
        // Logged before the bytes go out, as the metrics are: a client that has its answer finds it logged.
        log();
        stream_.expires_after(options().idleTimeout);
        http::async_write(stream_, r, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            self->onWritten(ec);
        });
    }

    void onWritten(beast::error_code ec) {
        response_.reset();
        incoming_.body.clear();
        if (ec) return;
        if (lingering_) return linger();
        if (!keepAlive_) {
            stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
            return;
        }
        awaitRequest(false);
    }

    void log() {
        if (context_.accessLog == nullptr) return;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
        context_.accessLog->write(
            AccessRecord{method_, target_, status_, sentBytes_, static_cast<long>(ms.count()), user_});
    }

    void linger() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(std::min(options().headerTimeout, kMaxLinger));
        drained_ = 0;
        drain();
    }

    void drain() {
        buffer_.consume(buffer_.size());
        stream_.async_read_some(buffer_.prepare(kReadBytes),
                                [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                    self->drained_ += n;
                                    if (ec || self->drained_ > kMaxDrainBytes) return;
                                    self->drain();
                                });
    }

    ServerContext& context_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    IncomingRequest incoming_;
    std::optional<Response> response_;
    Clock::time_point started_;
    Clock::time_point bodyStarted_;
    std::size_t bodyBytes_ = 0;
    std::size_t drained_ = 0;
    // What the access log and the response need of the request being answered.
    std::string method_;
    std::string target_;
    std::string user_;
    std::string peer_;
    int status_ = 0;
    std::size_t sentBytes_ = 0;
    unsigned version_ = 11;
    bool keepAlive_ = false;
    bool head_ = false;
    bool lingering_ = false;
};

}  // namespace

void ServeConnection(ServerContext& context, tcp::socket socket) {
    std::make_shared<ClientConnection>(context, std::move(socket))->start();
}

}  // namespace excursa
