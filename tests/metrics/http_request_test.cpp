#include "metrics/http_request.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using State = HttpRequestReader::State;

struct RequestCase {
    const char* name;
    std::string bytes;
    HttpVerdict verdict;
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

std::string Padded(std::size_t total)
{
    // A request head of exactly total bytes.
    const std::string start = "GET /metrics HTTP/1.1\r\nHost: station\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    return start + std::string(total - start.size() - end.size(), 'a') + end;
}

class Requests : public ::testing::TestWithParam<RequestCase> {};

// The same verdict whether the bytes come whole or one at a time.
TEST_P(Requests, VerdictWholeAndBytewise)
{
    const RequestCase& c = GetParam();
    HttpRequestReader whole;
    whole.Feed(c.bytes);
    EXPECT_EQ(Judge(whole), c.verdict);

    HttpRequestReader pieces;
    for (char ch : c.bytes)
        pieces.Feed(std::string_view(&ch, 1));
    EXPECT_EQ(Judge(pieces), c.verdict);
}

const RequestCase kRequests[] = {
    {"Get11", "GET /metrics HTTP/1.1\r\nHost: station:9775\r\nAccept: text/plain\r\n\r\n", HttpVerdict::Metrics},
    {"Get10WithoutHost", "GET /metrics HTTP/1.0\r\n\r\n", HttpVerdict::Metrics},
    {"BareLineFeeds", "GET /metrics HTTP/1.1\nHost: s\n\n", HttpVerdict::Metrics},
    {"BlankLinesBefore", "\r\n\r\nGET /metrics HTTP/1.0\r\n\r\n", HttpVerdict::Metrics},
    {"QueryIgnored", "GET /metrics?name[]=up HTTP/1.0\r\n\r\n", HttpVerdict::Metrics},
    {"AbsoluteForm", "GET http://station:9775/metrics HTTP/1.1\r\nHost: station\r\n\r\n", HttpVerdict::Metrics},
    {"HostCaseInsensitive", "GET /metrics HTTP/1.1\r\nhOST: s\r\n\r\n", HttpVerdict::Metrics},
    {"ValueWithTabAndLatin1", "GET /metrics HTTP/1.1\r\nHost: s\r\nX-A: \tb\xe9\r\n\r\n", HttpVerdict::Metrics},
    {"Exactly8KiB", Padded(kMaxRequestBytes), HttpVerdict::Metrics},
    {"Root", "GET / HTTP/1.0\r\n\r\n", HttpVerdict::NotFound},
    {"TrailingSlash", "GET /metrics/ HTTP/1.0\r\n\r\n", HttpVerdict::NotFound},
    {"OtherCase", "GET /Metrics HTTP/1.0\r\n\r\n", HttpVerdict::NotFound},
    {"Longer", "GET /metricsx HTTP/1.0\r\n\r\n", HttpVerdict::NotFound},
    {"PostElsewhere", "POST /api HTTP/1.0\r\n\r\n", HttpVerdict::NotFound},
    {"Post", "POST /metrics HTTP/1.1\r\nHost: s\r\nContent-Length: 3\r\n\r\nabc", HttpVerdict::MethodNotAllowed},
    {"Head", "HEAD /metrics HTTP/1.0\r\n\r\n", HttpVerdict::MethodNotAllowed},
    {"LowerCaseGet", "get /metrics HTTP/1.0\r\n\r\n", HttpVerdict::MethodNotAllowed},
    {"Http11WithoutHost", "GET /metrics HTTP/1.1\r\n\r\n", HttpVerdict::BadRequest},
    {"TwoHosts", "GET /metrics HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", HttpVerdict::BadRequest},
    {"NoVersion", "GET /metrics\r\n\r\n", HttpVerdict::BadRequest},
    {"DoubleBlank", "GET  /metrics HTTP/1.0\r\n\r\n", HttpVerdict::BadRequest},
    {"LowerCaseVersion", "GET /metrics http/1.0\r\n\r\n", HttpVerdict::BadRequest},
    {"FieldWithoutColon", "GET /metrics HTTP/1.0\r\nHost\r\n\r\n", HttpVerdict::BadRequest},
    {"BlankBeforeColon", "GET /metrics HTTP/1.0\r\nHost : s\r\n\r\n", HttpVerdict::BadRequest},
    {"FoldedField", "GET /metrics HTTP/1.0\r\nX-A: b\r\n c\r\n\r\n", HttpVerdict::BadRequest},
    {"BareCarriageReturn", "GET /metrics HTTP/1.0\r\nX-A: b\rc\r\n\r\n", HttpVerdict::BadRequest},
    {"NulInTarget", std::string("GET /met\0rics HTTP/1.0\r\n\r\n", 26), HttpVerdict::BadRequest},
    {"ControlInField", "GET /metrics HTTP/1.0\r\nX-A: \x01\r\n\r\n", HttpVerdict::BadRequest},
    {"Http2", "GET /metrics HTTP/2.0\r\n\r\n", HttpVerdict::BadVersion},
    {"Http12", "GET /metrics HTTP/1.2\r\nHost: s\r\n\r\n", HttpVerdict::BadVersion},
    {"OneByteOver8KiB", Padded(kMaxRequestBytes + 1), HttpVerdict::TooLarge},
    {"EndlessLine", std::string(20000, 'G'), HttpVerdict::TooLarge},
    {"EndlessBlankLines", std::string(9000, '\n'), HttpVerdict::TooLarge},
    {"Unfinished", "GET /metrics HTTP/1.1\r\nHost: s\r\n", HttpVerdict::TimedOut},
    {"Nothing", "", HttpVerdict::TimedOut},
};

INSTANTIATE_TEST_SUITE_P(Http, Requests, ::testing::ValuesIn(kRequests),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HttpReader, KeepsTheHeadAndIgnoresWhatFollowsIt)
{
    HttpRequestReader r;
    EXPECT_EQ(r.Feed("GET /metrics?x=1 HTTP/1.1\r\nHo"), State::Reading);
    EXPECT_EQ(r.Feed("st: s\r\n\r\nGET / HTTP/1.0\r\n\r\n"), State::Complete);
    EXPECT_EQ(r.Feed(std::string(10000, 'x')), State::Complete);
    EXPECT_EQ(r.Head().method, "GET");
    EXPECT_EQ(r.Head().target, "/metrics?x=1");
    EXPECT_EQ(r.Head().version, "HTTP/1.1");
    EXPECT_EQ(Judge(r), HttpVerdict::Metrics);
}

TEST(HttpResponse, MetricsAnswerIsExactAndClosesTheConnection)
{
    EXPECT_EQ(HttpResponse(HttpVerdict::Metrics, "up 1\n"),
              "HTTP/1.1 200 OK\r\n"
              "Content-Type: text/plain; version=0.0.4\r\n"
              "Content-Length: 5\r\n"
              "Connection: close\r\n"
              "\r\n"
              "up 1\n");
}

TEST(HttpResponse, EveryRefusalHasItsStatusALengthThatFitsAndClose)
{
    struct Refusal {
        HttpVerdict verdict;
        const char* statusLine;
    };
    const Refusal refusals[] = {
        {HttpVerdict::NotFound, "HTTP/1.1 404 Not Found\r\n"},
        {HttpVerdict::MethodNotAllowed, "HTTP/1.1 405 Method Not Allowed\r\n"},
        {HttpVerdict::BadRequest, "HTTP/1.1 400 Bad Request\r\n"},
        {HttpVerdict::TooLarge, "HTTP/1.1 431 Request Header Fields Too Large\r\n"},
        {HttpVerdict::BadVersion, "HTTP/1.1 505 HTTP Version Not Supported\r\n"},
        {HttpVerdict::TimedOut, "HTTP/1.1 408 Request Timeout\r\n"},
        {HttpVerdict::Busy, "HTTP/1.1 503 Service Unavailable\r\n"},
    };
    for (const Refusal& r : refusals) {
        // A body given for a refusal is not sent: the exposition goes only with 200.
        const std::string response = HttpResponse(r.verdict, "secret");
        SCOPED_TRACE(response);
        EXPECT_EQ(response.rfind(r.statusLine, 0), 0u);
        const auto end = response.find("\r\n\r\n");
        ASSERT_NE(end, std::string::npos);
        const std::string head = response.substr(0, end + 2);
        const std::string body = response.substr(end + 4);
        EXPECT_NE(head.find("\r\nConnection: close\r\n"), std::string::npos);
        EXPECT_NE(head.find("\r\nContent-Type: text/plain; charset=utf-8\r\n"), std::string::npos);
        EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
        EXPECT_EQ(body.find("secret"), std::string::npos);
        EXPECT_FALSE(body.empty());
        EXPECT_EQ(head.find("Allow: GET") != std::string::npos, r.verdict == HttpVerdict::MethodNotAllowed);
    }
}

} // namespace
