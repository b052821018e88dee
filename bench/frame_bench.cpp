// Page writing and dispatch costs of the frame, through the in-memory host.
#include "frame/memory_host.h"

#include "support/temp_folder.h"

#include <benchmark/benchmark.h>

namespace excursa {
namespace {

// About 30 KB of HTML with 60 tags, 40 of them known to the page.
std::string LargeTemplate() {
    std::string html = "<html><head><title>bench</title></head><body>";
    const std::string filler(460, 'x');
    for (int i = 0; i < 60; ++i) {
        html += "<p class='row'>" + filler + "</p>";
        html += "<WC@TAG" + std::to_string(i) + ">default " + std::to_string(i) + "</WC@TAG" +
                std::to_string(i) + ">";
    }
    return html + "</body></html>";
}

struct BenchSite {
    BenchSite() {
        www.write("big.htm", LargeTemplate());
        WebItemRegistry items;
        WebItem page;
        page.name = "Big";
        page.templateFile = "big.htm";
        page.respond = [](AppObject& app) { app.host.writeTemplate("Big"); };
        page.processTag = [](AppObject& app, const std::string& name, std::string& contents) {
            if (name.size() > 6 && name[6] < '4') contents = TextOf(app.host.appGet("DISTNAME"));
        };
        page.events["Nothing"] = [](AppObject&) {};
        items.add(page);
        app = std::make_unique<WebApplication>(
            std::move(items), [](AppObject&) {}, www.path());
        app->application().set("DISTNAME", "Lakemont School District");
    }
    testing::TempFolder www;
    std::unique_ptr<WebApplication> app;
};

void BM_WriteLargeTemplate(benchmark::State& state) {
    BenchSite site;
    MemoryHost browser(*site.app);
    std::size_t bytes = 0;
    for (auto _ : state) {
        ResponseData r = browser.get("ExcursaLakemont.asp?WCI=Big&WCE&WCU");
        bytes = r.body.size();
        benchmark::DoNotOptimize(r.body.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteLargeTemplate)->Unit(benchmark::kMicrosecond);

void BM_DispatchEmptyEvent(benchmark::State& state) {
    BenchSite site;
    MemoryHost browser(*site.app);
    for (auto _ : state) {
        ResponseData r = browser.get("ExcursaLakemont.asp?WCI=Big&WCE=Nothing&WCU");
        benchmark::DoNotOptimize(r.status);
    }
}
BENCHMARK(BM_DispatchEmptyEvent)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace excursa
