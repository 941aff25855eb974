#pragma once

// The update: from the chosen order workbook to the saved inventory workbook.

#include "sheets/TextFormat.h"
#include "sheets/Workbook.h"
#include "stock/UserInterface.h"

#include <string>
#include <vector>

namespace stock {

struct UpdateOptions {
    sheets::TextFormat textFormat;
    std::string defaultDir; // the application folder, with its trailing separator (DefaultDir())
    bool dryRun = false;    // everything but the save
};

// What a run did, for the front ends to present and tests to check.
struct Booking {
    int orderRow = 0;
    std::string sheet;
    int stockRow = 0;         // the row booked, in the numbering when it was booked
    bool created = false;     // a new stock line
    bool rowInserted = false; // a sheet row was inserted for it
    double quantity = 0;      // the stock quantity after the booking
};

struct UpdateResult {
    enum class Outcome { MissingInventory, Cancelled, Done };
    Outcome outcome = Outcome::Cancelled;
    std::vector<Booking> bookings;
    std::vector<std::string> warnings; // the texts of the warning messages shown
    std::string orderPath;
    std::string inventoryPath;
    bool saved = false;
};

// Runs the whole update. Expected problems in the data are shown as messages and the run goes on;
// a failure of the workbooks ends it with nothing saved, the cursor restored, and the exception
// (sheets::Error) passed on.
UpdateResult runUpdate(UserInterface& ui, sheets::WorkbookOpener& opener, const UpdateOptions& options);

} // namespace stock
