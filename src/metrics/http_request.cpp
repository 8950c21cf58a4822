#include "metrics/http_request.h"

#include "metrics/exposition.h"

#include <algorithm>

namespace {

// RFC 9110 token characters (method and field names).
bool IsTokenChar(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return IsTokenChar(static_cast<unsigned char>(c)); });
}

// Visible characters of a request target.
bool IsTarget(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F;
    });
}

// Field values: visible characters, blanks, tabs and bytes above 0x7F.
bool IsFieldValue(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == '\t' || (u >= 0x20 && u != 0x7F);
    });
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return (x | 0x20) == (y | 0x20);
    });
}

// The path of a request target: origin form "/p?q", or absolute form
// "http://host/p?q", which a server must accept too.
std::string_view PathOf(std::string_view target)
{
    if (target.size() > 7 && EqualsNoCase(target.substr(0, 7), "http://")) {
        const auto slash = target.find('/', 7);
        target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    return target.substr(0, target.find_first_of("?#"));
}

}  // namespace

HttpRequestReader::State HttpRequestReader::Feed(std::string_view bytes)
{
    while (state_ == State::Reading && !bytes.empty()) {
        const auto newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline == std::string_view::npos ? bytes.size() : newline + 1);
        bytes.remove_prefix(piece.size());
        total_ += piece.size();
        if (total_ > kMaxRequestBytes) {
            state_ = State::TooLarge;
            buffer_.clear();
            break;
        }
        buffer_.append(piece);
        if (newline == std::string_view::npos)
            break;
        std::string_view line(buffer_);
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        state_ = TakeLine(line);
        buffer_.clear();
    }
    return state_;
}

HttpRequestReader::State HttpRequestReader::TakeLine(std::string_view line)
{
    if (line.find('\r') != std::string_view::npos)
        return State::Malformed;  // a bare carriage return
    if (!haveRequestLine_) {
        if (line.empty())
            return State::Reading;  // blank lines before a request are allowed
        // method SP target SP HTTP/x.y
        const auto sp1 = line.find(' ');
        const auto sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
        if (sp2 == std::string_view::npos)
            return State::Malformed;
        const std::string_view method = line.substr(0, sp1);
        const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
        const std::string_view version = line.substr(sp2 + 1);
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (!IsToken(method) || !IsTarget(target) || version.size() != 8 || version.substr(0, 5) != "HTTP/" ||
            !digit(version[5]) || version[6] != '.' || !digit(version[7]))
            return State::Malformed;
        head_ = {std::string(method), std::string(target), std::string(version)};
        haveRequestLine_ = true;
        return version == "HTTP/1.0" || version == "HTTP/1.1" ? State::Reading : State::BadVersion;
    }
    if (line.empty()) {
        // HTTP/1.1 asks for exactly one Host field.
        if (head_.version == "HTTP/1.1" && hostFields_ != 1)
            return State::Malformed;
        return State::Complete;
    }
    // name ":" value; no blank before the colon, no folded lines.
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)) || !IsFieldValue(line.substr(colon + 1)))
        return State::Malformed;
    if (EqualsNoCase(line.substr(0, colon), "host"))
        ++hostFields_;
    return State::Reading;
}

HttpVerdict Judge(const HttpRequestReader& reader)
{
    switch (reader.Current()) {
    case HttpRequestReader::State::Complete:
        break;
    case HttpRequestReader::State::TooLarge:
        return HttpVerdict::TooLarge;
    case HttpRequestReader::State::BadVersion:
        return HttpVerdict::BadVersion;
    case HttpRequestReader::State::Reading:
        return HttpVerdict::TimedOut;
    case HttpRequestReader::State::Malformed:
        return HttpVerdict::BadRequest;
    }
    const HttpRequestHead& head = reader.Head();
    if (PathOf(head.target) != "/metrics")
        return HttpVerdict::NotFound;
    if (head.method != "GET")
        return HttpVerdict::MethodNotAllowed;
    return HttpVerdict::Metrics;
}

int HttpStatusCode(HttpVerdict verdict)
{
    switch (verdict) {
    case HttpVerdict::Metrics: return 200;
    case HttpVerdict::NotFound: return 404;
    case HttpVerdict::MethodNotAllowed: return 405;
    case HttpVerdict::BadRequest: return 400;
    case HttpVerdict::TooLarge: return 431;
    case HttpVerdict::BadVersion: return 505;
    case HttpVerdict::TimedOut: return 408;
    case HttpVerdict::Busy: return 503;
    }
    return 500;
}

std::string HttpResponse(HttpVerdict verdict, std::string_view body)
{
    std::string_view reason;
    std::string_view text;
    switch (verdict) {
    case HttpVerdict::Metrics:
        reason = "OK";
        break;
    case HttpVerdict::NotFound:
        reason = "Not Found";
        text = "Not found: the metrics are at /metrics.\n";
        break;
    case HttpVerdict::MethodNotAllowed:
        reason = "Method Not Allowed";
        text = "Only GET is served.\n";
        break;
    case HttpVerdict::BadRequest:
        reason = "Bad Request";
        text = "Not an HTTP/1.0 or HTTP/1.1 request.\n";
        break;
    case HttpVerdict::TooLarge:
        reason = "Request Header Fields Too Large";
        text = "The request is larger than 8 KiB.\n";
        break;
    case HttpVerdict::BadVersion:
        reason = "HTTP Version Not Supported";
        text = "Only HTTP/1.0 and HTTP/1.1 are served.\n";
        break;
    case HttpVerdict::TimedOut:
        reason = "Request Timeout";
        text = "The request did not arrive in time.\n";
        break;
    case HttpVerdict::Busy:
        reason = "Service Unavailable";
        text = "Too many connections at once; try again.\n";
        break;
    }
    const bool metrics = verdict == HttpVerdict::Metrics;
    if (metrics)
        text = body;
    std::string out;
    out.reserve(160 + text.size());
    out += "HTTP/1.1 " + std::to_string(HttpStatusCode(verdict)) + " ";
    out += reason;
    out += "\r\nContent-Type: ";
    out += metrics ? kMetricsContentType : std::string_view("text/plain; charset=utf-8");
    out += "\r\nContent-Length: " + std::to_string(text.size());
    if (verdict == HttpVerdict::MethodNotAllowed)
        out += "\r\nAllow: GET";
    if (verdict == HttpVerdict::Busy)
        out += "\r\nRetry-After: 1";
    out += "\r\nConnection: close\r\n\r\n";
    out += text;
    return out;
}
