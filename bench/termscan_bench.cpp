// bench-links: termscan termclean
//
// termscan over 1 MB of generated web text (tags, scripts, styles, words), with the factory
// topic words plus 1,000 user words, and the cost of a single memchr pass over the same buffer
// for scale. A summary at the end gives each scan's MB/s and its ratio to memchr.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "termclean.h"
#include "termscan.h"
#include "termscan_automaton.h"
#include "worddict.h"

namespace {

constexpr size_t kTextSize = 1 << 20;

const char* const kVocabulary[] = {
    "the", "of", "and", "to", "in", "is", "for", "that", "with", "on", "as", "was", "by", "at", "from", "this",
    "are", "be", "or", "an", "have", "not", "which", "you", "it", "their", "has", "more", "about", "new", "one",
    "all", "will", "can", "other", "also", "when", "time", "people", "year", "years", "school", "city", "home",
    "page", "search", "news", "world", "music", "video", "games", "free", "online", "information", "service",
    "company", "family", "children", "garden", "recipe", "weather", "travel", "history", "science", "library",
    "class", "assessment", "passage", "analysis", "document", "forum", "login", "engine", "grape", "therapist",
    "cocktail", "scrapbook", "Essex", "Sussex", "begun", "alphabet", "method", "hammock", "washrooms", "bismuth",
    "Whitman", "Milford", "heroine", "dowager", "discarding", "English", "France", "Monday", "January", "report",
    "policy", "market", "health", "student", "teacher", "football", "league", "season", "museum", "review",
};

// Deterministic HTML: a page skeleton repeated with varying paragraphs, links, scripts and styles.
std::string make_web_text() {
    std::mt19937 rng(20240607);
    auto word = [&] { return std::string(kVocabulary[rng() % (sizeof(kVocabulary) / sizeof(*kVocabulary))]); };
    std::string out;
    out.reserve(kTextSize + 4096);
    while (out.size() < kTextSize) {
        switch (rng() % 6) {
        case 0:
            out += "<div class=\"content-" + word() + " col-md-" + std::to_string(rng() % 12) + "\" id=\"n" +
                   std::to_string(rng() % 100000) + "\">\n";
            break;
        case 1:
            out += "<a href=\"https://www." + word() + ".example.com/" + word() + "/" + std::to_string(rng() % 9999) +
                   "?ref=" + word() + "&amp;utm_source=" + word() + "\">" + word() + " " + word() + "</a>\n";
            break;
        case 2:
            out += "<script type=\"text/javascript\">\nvar " + word() + "Data = {id: " + std::to_string(rng()) +
                   ", name: '" + word() + "', items: [1, 2, 3]};\nfunction on" + word() +
                   "(e) { if (e && e.target) { return window.location.href.indexOf('" + word() +
                   "') >= 0; } }\n</script>\n";
            break;
        case 3:
            out += "<style>.nav-" + word() + " { margin: 0 auto; padding: " + std::to_string(rng() % 20) +
                   "px; color: #3a3a3a; }</style>\n";
            break;
        default: {
            out += "<p>";
            const int n = 20 + rng() % 60;
            for (int i = 0; i < n; ++i) {
                std::string w = word();
                if (i == 0) w[0] = static_cast<char>(toupper(w[0]));
                out += w;
                out += (rng() % 12 == 0) ? ", " : (rng() % 15 == 0 ? ". " : " ");
            }
            out += "</p>\n";
        }
        }
    }
    out.resize(kTextSize);
    return out;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> factory_topic_words() {
    const std::string idx = read_file(std::string(QF_DATA_DIR) + "/dict1/worddict.idx");
    const std::string dat = read_file(std::string(QF_DATA_DIR) + "/dict1/worddict.dat");
    std::vector<worddict::Topic> topics;
    std::vector<std::string> all, words;
    worddict::read_index(reinterpret_cast<const unsigned char*>(idx.data()), idx.size(), dat.size(), topics);
    for (const auto& t : topics)
        if (worddict::read_words(reinterpret_cast<const unsigned char*>(dat.data()), dat.size(), t, words))
            all.insert(all.end(), words.begin(), words.end());
    return all;
}

// 1,000 user words of 5 to 10 letters; every tenth has a wildcard at one end.
std::vector<std::string> user_words() {
    std::mt19937 rng(77);
    std::vector<std::string> words;
    for (int i = 0; i < 1000; ++i) {
        std::string w(5 + rng() % 6, 'a');
        for (char& c : w) c = static_cast<char>('a' + rng() % 26);
        if (i % 10 == 3) w = "*" + w;
        if (i % 10 == 7) w += "*";
        words.push_back(w);
    }
    return words;
}

struct Fixture {
    std::string text = make_web_text();
    struct Table {
        std::unique_ptr<TermSlot[]> slots;
        size_t count = 0;
        const TermSlot* data() const { return slots.get(); }
        size_t size() const { return count; }
    };
    Table topics;  // factory topic words + 1,000 user words
    Table words;   // the 1,000 user words

    Fixture() {
        auto fill = [](Table& table, const std::vector<std::string>& entries) {
            table.slots.reset(new TermSlot[entries.size()]);
            table.count = entries.size();
            for (size_t i = 0; i < entries.size(); ++i) {
                memset(table.slots[i], 0, sizeof(TermSlot));
                memcpy(table.slots[i], entries[i].data(), std::min(entries[i].size(), sizeof(TermSlot) - 1));
            }
        };
        std::vector<std::string> all = factory_topic_words();
        const std::vector<std::string> user = user_words();
        all.insert(all.end(), user.begin(), user.end());
        fill(topics, all);
        fill(words, user);
    }

    void report(benchmark::State& state) const {
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    }
};

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

void BM_memchr(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        const void* hit = memchr(f.text.data(), 0x01, f.text.size());
        benchmark::DoNotOptimize(hit);
    }
    f.report(state);
}

void BM_termscan_process_topics(benchmark::State& state) {
    const Fixture& f = fixture();
    DWORD warm = 0;
    termscan_process(f.text.data(), 1, f.topics.data(), static_cast<INT>(f.topics.size()), 80, 1, 0, &warm, '*');
    for (auto _ : state) {
        DWORD counter = 0;
        termscan_process(f.text.data(), static_cast<DWORD>(f.text.size()), f.topics.data(),
                         static_cast<INT>(f.topics.size()), 80, 1, 0, &counter, '*');
        benchmark::DoNotOptimize(counter);
    }
    state.counters["entries"] = static_cast<double>(f.topics.size());
    f.report(state);
}

void BM_termscan_process_containsword_words(benchmark::State& state) {
    const Fixture& f = fixture();
    DWORD warm = 0;
    termscan_process_containsword(f.text.data(), 1, f.words.data(), static_cast<INT>(f.words.size()), 80, &warm, '*');
    for (auto _ : state) {
        DWORD counter = 0;
        termscan_process_containsword(f.text.data(), static_cast<DWORD>(f.text.size()), f.words.data(),
                                      static_cast<INT>(f.words.size()), 80, &counter, '*');
        benchmark::DoNotOptimize(counter);
    }
    f.report(state);
}

void BM_termclean_process(benchmark::State& state) {
    const Fixture& f = fixture();
    std::string copy = f.text;
    for (auto _ : state) {
        WORD s[5] = {0, 0, 0, 0, 0};
        termclean_process(&copy[0], static_cast<DWORD>(copy.size()), f.topics.data(), static_cast<INT>(f.topics.size()),
                          f.words.data(), static_cast<INT>(f.words.size()), 80, &s[0], &s[1], &s[2], &s[3], &s[4]);
        benchmark::DoNotOptimize(copy.data());
    }
    f.report(state);
}

// Compiling the topic table (first use in a process).
void BM_compile_topic_table(benchmark::State& state) {
    const Fixture& f = fixture();
    const auto patterns =
        termscan::parse_table(f.topics.data(), static_cast<int>(f.topics.size()), '*', termscan::Mode::Content);
    size_t bytes = 0, states = 0;
    for (auto _ : state) {
        auto automaton = termscan::Automaton::compile(patterns, termscan::Mode::Content);
        bytes = 0;
        states = 0;
        for (const auto& part : automaton->parts()) {
            bytes += part->memory_bytes();
            states += part->state_count();
        }
        benchmark::DoNotOptimize(automaton.get());
    }
    state.counters["states"] = static_cast<double>(states);
    state.counters["table_KiB"] = static_cast<double>(bytes) / 1024;
}

}  // namespace

BENCHMARK(BM_memchr);
BENCHMARK(BM_termscan_process_topics);
BENCHMARK(BM_termscan_process_containsword_words);
BENCHMARK(BM_termclean_process);
BENCHMARK(BM_compile_topic_table)->Unit(benchmark::kMillisecond);
// The console report, then one line per scan: MB/s and the ratio to the memchr pass.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
                rates_[run.benchmark_name()] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto memchrRate = rates_.find("BM_memchr");
        if (memchrRate == rates_.end() || memchrRate->second <= 0) return;
        printf("\n%-42s %10s %12s\n", "scan of 1 MB of web text", "MB/s", "vs memchr");
        for (const auto& [name, rate] : rates_)
            printf("%-42s %10.0f %11.2f%%\n", name.c_str(), rate / 1e6, 100.0 * rate / memchrRate->second);
    }

private:
    std::map<std::string, double> rates_;
};

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
