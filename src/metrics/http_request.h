#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The metrics endpoint's side of HTTP/1.0 and 1.1: just enough to answer one
// GET and close. A request is read up to the blank line after its header
// fields; a body is never read (every answer closes the connection).

// A request head longer than this is refused: a scraper's is a few hundred bytes.
inline constexpr std::size_t kMaxRequestBytes = 8 * 1024;

struct HttpRequestHead {
    std::string method;
    std::string target;
    std::string version;  // "HTTP/1.0" or "HTTP/1.1"
};

// Reads one request head from bytes as they arrive, in pieces of any size.
// Holds at most kMaxRequestBytes.
class HttpRequestReader {
public:
    enum class State {
        Reading,     // the head is not complete yet
        Complete,    // Head() holds the request
        Malformed,   // not an HTTP/1.x request head
        TooLarge,    // no end of the head within kMaxRequestBytes
        BadVersion,  // well formed, but not HTTP/1.0 or HTTP/1.1
    };

    // Takes the next bytes; returns the state after them. Once the state is
    // no longer Reading, further bytes are ignored.
    State Feed(std::string_view bytes);
    State Current() const { return state_; }
    const HttpRequestHead& Head() const { return head_; }

private:
    State TakeLine(std::string_view line);

    State state_ = State::Reading;
    std::string buffer_;      // bytes of the line being read
    std::size_t total_ = 0;   // every byte taken so far
    bool haveRequestLine_ = false;
    int hostFields_ = 0;
    HttpRequestHead head_;
};

// What the endpoint answers.
enum class HttpVerdict {
    Metrics,           // 200 with the exposition
    NotFound,          // 404: a path other than /metrics
    MethodNotAllowed,  // 405: /metrics with a method other than GET
    BadRequest,        // 400
    TooLarge,          // 431
    BadVersion,        // 505
    TimedOut,          // 408: the head did not arrive in time
    Busy,              // 503: too many connections at once
};

// The verdict on a reader that has finished (its state is not Reading).
HttpVerdict Judge(const HttpRequestReader& reader);

// The whole response, status line to body, with Connection: close. body is
// used for Metrics only; every other verdict carries a one-line text.
std::string HttpResponse(HttpVerdict verdict, std::string_view body = {});

// The status code of a verdict (200, 404, ...).
int HttpStatusCode(HttpVerdict verdict);
