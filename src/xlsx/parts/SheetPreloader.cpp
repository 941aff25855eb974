#include "parts/SheetPreloader.h"

#include <algorithm>
#include <utility>

namespace xlsx {

SheetPreloader::SheetPreloader(const std::vector<std::size_t>& sheets, Parse parse)
    : m_parse(std::move(parse)), m_order(sheets) {
    if (sheets.empty()) return;
    m_slots.resize(*std::max_element(sheets.begin(), sheets.end()) + 1);
    for (std::size_t sheet : sheets)
        m_slots[sheet].state = State::Waiting;
    m_worker = std::jthread([this](std::stop_token stop) { run(stop); });
}

SheetPreloader::~SheetPreloader() = default;

void SheetPreloader::run(const std::stop_token& stop) {
    for (std::size_t sheet : m_order) {
        if (stop.stop_requested()) return;
        {
            std::lock_guard lock(m_lock);
            if (m_slots[sheet].state != State::Waiting) continue; // the owner claimed it
            m_slots[sheet].state = State::Parsing;
        }
        std::unique_ptr<WorksheetPart> part;
        std::exception_ptr failure;
        try {
            part = m_parse(sheet);
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(m_lock);
            auto& slot = m_slots[sheet];
            slot.part = std::move(part);
            slot.failure = std::move(failure);
            slot.state = State::Done;
        }
        m_done.notify_all();
    }
}

std::unique_ptr<WorksheetPart> SheetPreloader::take(std::size_t sheet) {
    std::unique_lock lock(m_lock);
    if (sheet >= m_slots.size()) return nullptr;
    auto& slot = m_slots[sheet];
    if (slot.state == State::Waiting || slot.state == State::Taken) {
        slot.state = State::Taken;
        return nullptr;
    }
    m_done.wait(lock, [&] { return slot.state == State::Done; });
    slot.state = State::Taken;
    if (slot.failure) std::rethrow_exception(std::exchange(slot.failure, nullptr));
    return std::move(slot.part);
}

} // namespace xlsx
