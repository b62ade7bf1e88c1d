// bench-links: vtpicsrsac
// The rating checks run on every received chunk of a web page: a 16 KB page with a label in its
// head, and one without any label.
#include "vtpicsrsac.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string page(bool labelled) {
    std::string html = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nServer: test\r\n\r\n<html><head><title>t</title>";
    if (labelled) {
        html += "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\" l gen true "
                "comment \"RSACi North America Server\" for \"http://www.example.com\" r (n 0 s 0 v 0 l 0))'>";
    }
    html += "</head><body>";
    while (html.size() < 16384) html += "<p class=\"x\">Some <b>text</b> of the page, <a href=\"/a\">a link</a>.</p>\n";
    return html + "</body></html>";
}

void BM_RsacValidatePage(benchmark::State& state) {
    const std::string data = page(state.range(0) != 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vtpics_rsac_validate(data.data(), static_cast<DWORD>(data.size()), 2, 2, 2, 2));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_RsacValidatePage)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
