// Timings of each phase of a search on a generated archive of about 100 MB: load, count,
// string search, a second search on the loaded file, and one page of headers.
// The archive is made on first use (deterministic seed) under bench/data/.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bench/archive_generator.h"
#include "bench/loaded_archive.h"
#include "decode/cp932.h"
#include "engine/search_controller.h"

namespace tarsel {
namespace {

std::filesystem::path ArchivePath() {
    if (const char* path = std::getenv("TARSEL_BENCH_ARCHIVE")) {
        return path;
    }
    const std::filesystem::path path = "bench/data/archive-100mb.mbox";
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(path.parent_path());
        ArchiveOptions options;
        options.seed = 1;
        options.targetBytes = 100000000;
        const std::string archive = GenerateArchive(options);
        std::ofstream(path, std::ios::binary)
            .write(archive.data(), std::streamsize(archive.size()));
    }
    return path;
}

const std::string& Kensaku() {
    static const std::string search = Utf8ToCp932("検索");
    return search;
}

void DriveToEnd(CSearchController& controller) {
    while (controller.IsPhaseRunning()) {
        controller.WaitAndAdvance();
    }
}

// Each phase on its own: start it, wait for its units, end it without going on.
void BM_Load(benchmark::State& state) {
    CSearchController controller;
    controller.m_strFilePath = ArchivePath();
    for (auto _ : state) {
        controller.StartLoading();
        bench::WaitForUnits(controller.State());
        controller.CancelAndWait();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * controller.State().LoadedSize());
}

void BM_Count(benchmark::State& state) {
    CSearchController controller;
    controller.m_strFilePath = ArchivePath();
    controller.StartLoading();
    bench::WaitForUnits(controller.State());
    controller.CancelAndWait();
    for (auto _ : state) {
        controller.StartMailCount();
        bench::WaitForUnits(controller.State());
        controller.CancelAndWait();
    }
    state.counters["mails"] = controller.State().m_mailCount.load();
    state.SetBytesProcessed(std::int64_t(state.iterations()) * controller.State().LoadedSize());
}

// A whole search once, then the phases that a user repeats on the loaded file.
class LoadedArchive : public benchmark::Fixture {
  public:
    void SetUp(const benchmark::State&) override {
        owner = std::make_unique<CSearchController>();
        owner->m_strFilePath = ArchivePath();
        owner->StartSearch("archive", Kensaku());
        DriveToEnd(*owner);
    }
    void TearDown(const benchmark::State&) override { owner.reset(); }

    // Made in SetUp, so that an unused fixture holds no search state.
    std::unique_ptr<CSearchController> owner;
};

BENCHMARK_F(LoadedArchive, StringSearch)(benchmark::State& state) {
    for (auto _ : state) {
        owner->StartStringSearch();
        bench::WaitForUnits(owner->State());
        owner->CancelAndWait();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * owner->State().LoadedSize());
}

BENCHMARK_F(LoadedArchive, SecondSearch)(benchmark::State& state) {
    for (auto _ : state) {
        owner->m_bLoaded = 1;
        owner->StartSearch("archive", Kensaku());
        DriveToEnd(*owner);
    }
    state.counters["matching"] = owner->State().m_hitCount.load();
}

BENCHMARK_F(LoadedArchive, HeaderPage)(benchmark::State& state) {
    owner->m_bLoaded = 1;
    owner->StartSearch("archive", Kensaku());
    DriveToEnd(*owner);
    for (auto _ : state) {
        owner->StepPage(0);
        DriveToEnd(*owner);
    }
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Count)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_REGISTER_F(LoadedArchive, StringSearch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_REGISTER_F(LoadedArchive, SecondSearch)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_REGISTER_F(LoadedArchive, HeaderPage)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace tarsel

BENCHMARK_MAIN();
