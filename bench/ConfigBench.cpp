// What one setting costs through the exported store: a write (CfgSetDw, one committed
// transaction in WAL mode with synchronous=NORMAL) and a read (CfgQueryDw, one indexed lookup),
// each on a temporary database that already holds a program's worth of values. Reported as the
// median of repeated runs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "kq/config.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRepetitions = 9;
constexpr int kOtherValues = 500;

// A store on a database in a new temporary folder, with one section open; all removed again.
class TemporaryStore {
  public:
    TemporaryStore() {
        std::string pattern = (fs::temp_directory_path() / "kq-config-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        setenv("KQ_CONFIG_HOME", folder_.c_str(), 1);
        if (CfgInit("kq-bench") != 0) return;
        section_ = CfgOpen("Main");
        for (int i = 0; i < kOtherValues; ++i) {
            CfgSetDw(section_, ("Other" + std::to_string(i)).c_str(), static_cast<uint32_t>(i));
        }
    }
    TemporaryStore(const TemporaryStore&) = delete;
    TemporaryStore& operator=(const TemporaryStore&) = delete;
    ~TemporaryStore() {
        CfgClose(section_);
        CfgShutdown();
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }

    CfgSection section() const { return section_; }

  private:
    fs::path folder_;
    CfgSection section_ = 0;
};

void BM_CfgSetDw(benchmark::State& state) {
    TemporaryStore store;
    if (store.section() == 0) {
        state.SkipWithError("the store did not open");
        return;
    }
    uint32_t value = 0;
    for (auto _ : state) {
        if (CfgSetDw(store.section(), "Width", value++) != 0) {
            state.SkipWithError("CfgSetDw failed");
            break;
        }
    }
}
BENCHMARK(BM_CfgSetDw)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

void BM_CfgQueryDw(benchmark::State& state) {
    TemporaryStore store;
    if (store.section() == 0 || CfgSetDw(store.section(), "Width", 80) != 0) {
        state.SkipWithError("the store did not open");
        return;
    }
    uint32_t value = 0;
    for (auto _ : state) {
        if (CfgQueryDw(store.section(), "Width", &value) != 0) {
            state.SkipWithError("CfgQueryDw failed");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_CfgQueryDw)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

}  // namespace
