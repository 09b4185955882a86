// The score submission's reading of hostile answers: the whole path from a
// received body (16 MiB at most, what the HTTP client keeps) to the text of
// the message box - the line splitting and the answer reader - for the
// patterns that cost most; and the time from the player's Cancel, coming
// 20 ms into that reading, until the submission gives up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "FakeServices.h"
#include "ranking/SendScore.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pattern {
    const char* name;
    std::string unit;  // repeated to fill the body after the start marker
};

const Pattern kPatterns[] = {
    {"never-closed references", "&#<"},
    {"unfinished decimal references", "&#1"},
    {"nested ampersands", "&&#x&a"},
    {"paragraph marks", "<P>"},
    {"start markers on every line", "xDATA_START\n"},
    {"empty lines", "\n"},
    {"one line of letters", "a"},
    {"bytes that are not text", "\xFF\x80"},
    {"Shift-JIS", "\x83\x89\x83\x93\x83\x4e "},
    {"control characters", "\x01\x1B\x7F"},
    {"almost markers, one line", "<DATA_STAR"},
};

std::string Body(const Pattern& pattern, size_t size) {
    std::string body = "xDATA_START\n";
    while (body.size() + pattern.unit.size() <= size) {
        body += pattern.unit;
    }
    return body;
}

// state.range(0): the pattern; state.range(1): the body's size in KiB;
// state.range(2): 0, or the milliseconds after the body's arrival at which
// Cancel comes; the time measured is then from the Cancel to the end.
void BM_ReadAnswer(benchmark::State& state) {
    const Pattern& pattern = kPatterns[state.range(0)];
    FakeServices fakes;
    fakes.http.response.received = true;
    fakes.http.response.body = Body(pattern, static_cast<size_t>(state.range(1)) * 1024);
    std::atomic<bool> cancelled{false};
    Clock::time_point arrived, cancelledAt;
    fakes.http.onSend = [&arrived](const platform::HttpRequest&) { arrived = Clock::now(); };
    state.SetLabel(pattern.name);
    for (auto _ : state) {
        cancelled = false;
        std::thread player;
        if (state.range(2) != 0) {
            player = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(state.range(2)));
                cancelledAt = Clock::now();
                cancelled = true;
            });
        }
        Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(
            SendScore(fakes.http, fakes.dialogs, "Japan", "A", 1, 0, &cancelled));
        Clock::time_point end = Clock::now();
        if (player.joinable()) {
            player.join();
            // A reading that ended before the Cancel came had nothing to give up.
            start = std::min(end, std::max(cancelledAt, arrived));
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(fakes.http.response.body.size()));
}

void Arguments(benchmark::internal::Benchmark* benchmark) {
    for (int64_t pattern = 0; pattern < static_cast<int64_t>(std::size(kPatterns)); ++pattern) {
        for (int64_t kib : {1024, 16384}) {
            benchmark->Args({pattern, kib, 0});
        }
        benchmark->Args({pattern, 16384, 20});
    }
}

BENCHMARK(BM_ReadAnswer)->Apply(Arguments)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
