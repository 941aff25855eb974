#pragma once

// Parses worksheets ahead on a thread of its own, for a workbook that will need every one of them.
// The owner takes each part when it needs it: ready, waited for while the worker is on it, or left to
// the owner when the worker has not started it, so that no sheet is parsed twice. What a parse throws
// is kept for the owner to meet when it takes that sheet, and only then: a sheet never taken fails
// nothing.

#include "parts/WorksheetPart.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace xlsx {

class SheetPreloader {
public:
    // Runs on the worker: it must read nothing the owner changes meanwhile.
    using Parse = std::function<std::unique_ptr<WorksheetPart>(std::size_t sheet)>;

    // Starts parsing `sheets` (the owner's indices) in that order. Throws std::system_error when no
    // thread can be started.
    SheetPreloader(const std::vector<std::size_t>& sheets, Parse parse);
    // Waits for the sheet the worker is on and lets it go no further.
    ~SheetPreloader();
    SheetPreloader(const SheetPreloader&) = delete;
    SheetPreloader& operator=(const SheetPreloader&) = delete;

    // The worker's part for `sheet`, waited for while it parses it; what the parse threw is rethrown.
    // nullptr when the worker had not started it (and now never will), for a sheet not given to it
    // and for one taken before: the caller parses it.
    std::unique_ptr<WorksheetPart> take(std::size_t sheet);

private:
    enum class State { Waiting, Parsing, Done, Taken };
    struct Slot {
        State state = State::Taken;
        std::unique_ptr<WorksheetPart> part;
        std::exception_ptr failure;
    };
    void run(const std::stop_token& stop);

    Parse m_parse;
    std::vector<std::size_t> m_order;
    std::mutex m_lock;
    std::condition_variable m_done;
    std::vector<Slot> m_slots; // by sheet index, under m_lock
    std::jthread m_worker;     // last: stopped and joined before the rest goes
};

} // namespace xlsx
