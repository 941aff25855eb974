// Booking benchmark: the whole update run (stock::runUpdate) through the engine on a fresh copy of an
// inventory, with the time to open the workbooks, walk the order and save, and the peak memory.
//
// usage: stock_bench INVENTORY.xlsx ORDER.xlsx [RUNS]   (make them with bench/make_stock_workloads.py)
// Run one workload per process: the peak memory is the process's. The engine parses a sheet when it
// is first used, so "open" is the package alone and the walk includes parsing the sheets it visits.

#include "BenchClock.h"
#include "sheets/Workbook.h"
#include "stock/JournalFile.h"
#include "stock/UpdateRun.h"
#include "stock/UserInterface.h"
#include "xlsx/XlsxWorkbook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::cpuSeconds;
using bench::since;

long peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

struct Times {
    double openOrder = 0;
    double openInventory = 0;
    double save = 0;
    double openSaveCpu = 0; // CPU time of the opens and the save, to tell the walk's own
    long long cellReads = 0;
};

// The engine's sheet with its cell reads counted: the walk's cost is reads times the cost of one.
class CountedWorksheet : public sheets::Worksheet {
public:
    CountedWorksheet(sheets::Worksheet& inner, Times& times) : m_inner(inner), m_times(times) {}
    const std::string& name() const override { return m_inner.name(); }
    sheets::CellValue cell(int row, int column) const override {
        ++m_times.cellReads;
        return m_inner.cell(row, column);
    }
    bool rowHasContent(int row) const override { return m_inner.rowHasContent(row); }
    void setText(int row, int column, std::string_view text) override { m_inner.setText(row, column, text); }
    void setNumber(int row, int column, double value) override { m_inner.setNumber(row, column, value); }
    void insertRow(int row, sheets::CopyOrigin origin) override { m_inner.insertRow(row, origin); }

private:
    sheets::Worksheet& m_inner;
    Times& m_times;
};

// The engine's workbook with its save timed and its sheets counted.
class TimedWorkbook : public sheets::Workbook {
public:
    TimedWorkbook(std::unique_ptr<sheets::Workbook> inner, Times& times)
        : m_inner(std::move(inner)), m_times(times) {}
    const fs::path& path() const override { return m_inner->path(); }
    int sheetCount() const override { return m_inner->sheetCount(); }
    sheets::Worksheet& sheet(int index) override { return counted(m_inner->sheet(index)); }
    sheets::Worksheet& activeSheet() override { return counted(m_inner->activeSheet()); }
    void save() override {
        auto start = Clock::now();
        const double cpu = cpuSeconds();
        m_inner->save();
        m_times.save += since(start);
        m_times.openSaveCpu += cpuSeconds() - cpu;
    }

private:
    sheets::Worksheet& counted(sheets::Worksheet& inner) {
        auto& wrapper = m_sheets[&inner];
        if (!wrapper) wrapper = std::make_unique<CountedWorksheet>(inner, m_times);
        return *wrapper;
    }

    std::unique_ptr<sheets::Workbook> m_inner;
    Times& m_times;
    std::map<const sheets::Worksheet*, std::unique_ptr<CountedWorksheet>> m_sheets;
};

class TimedOpener : public sheets::WorkbookOpener {
public:
    explicit TimedOpener(Times& times) : m_times(times) {}
    std::unique_ptr<sheets::Workbook> open(const fs::path& path, sheets::OpenMode mode) override {
        auto start = Clock::now();
        const double cpu = cpuSeconds();
        auto workbook = m_engine.open(path, mode);
        (mode == sheets::OpenMode::ReadOnly ? m_times.openOrder : m_times.openInventory) += since(start);
        m_times.openSaveCpu += cpuSeconds() - cpu;
        return std::make_unique<TimedWorkbook>(std::move(workbook), m_times);
    }

private:
    xlsx::Opener m_engine;
    Times& m_times;
};

class QuietInterface : public stock::UserInterface {
public:
    QuietInterface(std::string inventory, std::string order)
        : m_inventory(std::move(inventory)), m_order(std::move(order)) {}
    std::string inventoryPath() override { return m_inventory; }
    std::optional<std::string> chooseOrderFile(const std::string&) override { return m_order; }
    void showMessage(const std::string& text, const std::string& caption, stock::MessageFlags) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    stock::Answer ask(const stock::Question&) override { return stock::Answer::Yes; }
    void setBusyCursor(bool) override {}
    void showWorkbooks(const fs::path&, const std::optional<fs::path>&) override {}

private:
    std::string m_inventory;
    std::string m_order;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: stock_bench INVENTORY.xlsx ORDER.xlsx [RUNS]\n");
        return 2;
    }
    const fs::path inventory = argv[1];
    const fs::path order = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const fs::path work = fs::temp_directory_path() / ("stock-bench-" + std::to_string(getpid()));
    fs::create_directories(work);
    const fs::path copy = work / inventory.filename();
    int status = 0;
    try {
        std::printf("%-4s %9s %9s %9s %9s %9s %9s %9s %12s  %s\n", "run", "open ord", "open inv", "walk",
                    "save", "total", "cpu", "walk cpu", "cell reads", "booked/new/inserted");
        double best = 1e9;
        for (int run = 1; run <= runs; ++run) {
            fs::copy_file(inventory, copy, fs::copy_options::overwrite_existing);
            fs::remove(stock::JournalFile::pathFor(copy)); // each run books the order for the first time
            Times times;
            TimedOpener opener(times);
            QuietInterface ui(copy.string(), order.string());
            auto start = Clock::now();
            const double cpuStart = cpuSeconds();
            stock::JournalFile journal;
            auto result = stock::runUpdate(ui, opener, journal, stock::UpdateOptions{});
            double total = since(start);
            double cpu = cpuSeconds() - cpuStart;
            int created = 0, inserted = 0;
            for (const auto& booking : result.bookings)
                created += booking.created, inserted += booking.rowInserted;
            double walk = total - times.openOrder - times.openInventory - times.save;
            std::printf("%-4d %8.3fs %8.3fs %8.3fs %8.3fs %8.3fs %8.3fs %8.3fs %12lld  %zu/%d/%d%s\n", run,
                        times.openOrder, times.openInventory, walk, times.save, total, cpu,
                        cpu - times.openSaveCpu, times.cellReads, result.bookings.size(), created, inserted,
                        result.saved ? "" : " (not saved)");
            best = std::min(best, total);
        }
        std::printf("best %.3f s, peak memory %ld MiB\n", best, peakMiB());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stock_bench: %s\n", e.what());
        status = 1;
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return status;
}
