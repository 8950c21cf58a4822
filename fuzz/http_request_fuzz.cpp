// The metrics endpoint's request reader over arbitrary bytes cut into reads
// at positions taken from the input: the verdict and the head are the same
// whichever way the bytes were cut, a verdict is reached within the size
// bound, a complete head is a GET-able HTTP/1.x request line, and every
// answer states its own length.
//
// Input layout: byte 0 holds the number of cut bytes (low 4 bits) and, in
// bit 7, whether the text is repeated until it passes the size bound; the cut
// bytes follow, each one the length of a read (used in turn; none: one byte
// per read); the rest is the text.
#include "fuzz_support.h"
#include "metrics/http_request.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool Visible(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t cutCount = std::min<std::size_t>(data[0] & 0x0F, size - 1);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < cutCount; ++i)
        cuts.push_back(static_cast<std::size_t>(data[1 + i]) + 1);  // 1 .. 256 bytes per read
    std::string text(reinterpret_cast<const char*>(data + 1 + cutCount), size - 1 - cutCount);
    if ((data[0] & 0x80) != 0 && !text.empty()) {
        const std::string once = text;
        while (text.size() <= kMaxRequestBytes + 512)
            text += once;
    }

    HttpRequestReader whole;
    whole.Feed(text);

    HttpRequestReader cut;
    std::size_t at = 0;
    for (std::size_t i = 0; at < text.size(); ++i) {
        const std::size_t n = cuts.empty() ? 1 : cuts[i % cuts.size()];
        cut.Feed(std::string_view(text).substr(at, n));
        at += n;
    }

    FUZZ_CHECK(whole.Current() == cut.Current());
    FUZZ_CHECK(Judge(whole) == Judge(cut));
    if (text.size() > kMaxRequestBytes)
        FUZZ_CHECK(whole.Current() != HttpRequestReader::State::Reading);
    if (whole.Current() == HttpRequestReader::State::Complete) {
        const HttpRequestHead& a = whole.Head();
        const HttpRequestHead& b = cut.Head();
        FUZZ_CHECK(a.method == b.method && a.target == b.target && a.version == b.version);
        FUZZ_CHECK(a.version == "HTTP/1.0" || a.version == "HTTP/1.1");
        FUZZ_CHECK(Visible(a.method) && Visible(a.target));
    }

    const std::string body = text.substr(0, 64);
    const std::string response = HttpResponse(Judge(whole), body);
    const std::size_t end = response.find("\r\n\r\n");
    FUZZ_CHECK(response.rfind("HTTP/1.1 ", 0) == 0 && end != std::string::npos);
    const std::string length = "\r\nContent-Length: " + std::to_string(response.size() - end - 4) + "\r\n";
    FUZZ_CHECK(response.find(length) != std::string::npos && response.find(length) < end);
    return 0;
}
