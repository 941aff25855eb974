#pragma once

// The guard against booking an order twice: which marked lines of the order the journal shows as
// booked into this inventory by a saved run, and the question put to the user about them.

#include "stock/Journal.h"
#include "stock/OrderLine.h"
#include "stock/UserInterface.h"

#include <string>
#include <vector>

namespace stock {

struct BookedBefore {
    std::vector<bool> marked;             // per marked line, in order: booked before
    int count = 0;                        // how many were
    const JournalEntry* latest = nullptr; // the last journal entry that booked one of them
};

// A line was booked before when a journal entry that booked it (found or created, not "not booked")
// has the same order file name (the folder left out), the same sheet, the same order row and the
// same nine texts.
BookedBefore findBookedBefore(const std::vector<JournalEntry>& journal, const std::string& orderPath,
                              const std::string& orderSheet, const std::vector<OrderLine>& marked);

// "3 av 7 merkede linjer i «Bestilling.xlsx» er bokført i denne lagerfilen før, sist 10.12.2026 kl.
// 09.14 av lager1.", with what Ja, Nei and Avbryt do. Only for a `booked` with count > 0.
Question bookedBeforeQuestion(const BookedBefore& booked, const std::string& orderPath);

} // namespace stock
