// CleanText throughput on the article texts of the sample feeds, against a
// plain memcpy of the same bytes in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../tests/feed_texts.h"
#include "feedpane/clean_text.h"

namespace {

struct Corpus {
  std::string joined;                // every text, each with its terminator
  std::vector<std::size_t> starts;   // offset of each text in `joined`
};

const Corpus& Texts() {
  static Corpus corpus = [] {
    Corpus c;
    int files = 0;
    for (const std::string& text : feedpane::testing::FeedTexts(std::string(TIDELARK_SHARED_DATA) + "/feeds", &files)) {
      c.starts.push_back(c.joined.size());
      c.joined.append(text.c_str());
      c.joined.push_back('\0');
    }
    return c;
  }();
  return corpus;
}

void CleanAll(const Corpus& corpus, std::vector<char>* work) {
  std::memcpy(work->data(), corpus.joined.data(), corpus.joined.size());
  for (std::size_t start : corpus.starts) feedpane::CleanText(work->data() + start);
}

void BM_CleanText(benchmark::State& state) {
  const Corpus& corpus = Texts();
  std::vector<char> work(corpus.joined.size());
  for (auto _ : state) {
    CleanAll(corpus, &work);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.joined.size()));
}
BENCHMARK(BM_CleanText);

void BM_Memcpy(benchmark::State& state) {
  const Corpus& corpus = Texts();
  std::vector<char> work(corpus.joined.size());
  for (auto _ : state) {
    std::memcpy(work.data(), corpus.joined.data(), corpus.joined.size());
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * corpus.joined.size()));
}
BENCHMARK(BM_Memcpy);

// Best of several passes; CleanAll includes the restoring copy, which the
// peer side measures on its own, so that copy is subtracted.
template <typename F>
double BestSeconds(F f, int passes) {
  double best = 1e30;
  for (int i = 0; i < passes; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (s < best) best = s;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const Corpus& corpus = Texts();
  std::vector<char> work(corpus.joined.size());
  double copy = BestSeconds([&] {
    std::memcpy(work.data(), corpus.joined.data(), corpus.joined.size());
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }, 200);
  double clean = BestSeconds([&] {
    CleanAll(corpus, &work);
    benchmark::DoNotOptimize(work.data());
  }, 50) - copy;
  double mb = static_cast<double>(corpus.joined.size()) / 1e6;
  std::printf("cleantext: %zu texts, %.2f MB; CleanText %.1f MB/s, memcpy %.1f MB/s\n", corpus.starts.size(), mb,
              mb / clean, mb / copy);
  std::printf("BENCH cleantext/feed-articles ours=%.6f peer=%.6f ratio=%.2f\n", clean, copy, clean / copy);

  // A hostile text: "<" over and over with no ">" anywhere after it.
  std::string hostile;
  for (int i = 0; i < 200000; ++i) hostile += "<b ";
  std::vector<char> hwork(hostile.size() + 1);
  double hcopy = BestSeconds([&] {
    std::memcpy(hwork.data(), hostile.c_str(), hostile.size() + 1);
    benchmark::DoNotOptimize(hwork.data());
    benchmark::ClobberMemory();
  }, 50);
  double hclean = BestSeconds([&] {
    std::memcpy(hwork.data(), hostile.c_str(), hostile.size() + 1);
    feedpane::CleanText(hwork.data());
    benchmark::DoNotOptimize(hwork.data());
  }, 10) - hcopy;
  std::printf("BENCH cleantext/lt-without-gt ours=%.6f peer=%.6f ratio=%.2f\n", hclean, hcopy, hclean / hcopy);
  return 0;
}
