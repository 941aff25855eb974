#pragma once

// The update: from the chosen order workbook to the saved inventory workbook.

#include "sheets/TextFormat.h"
#include "sheets/Workbook.h"
#include "stock/OrderLine.h"
#include "stock/UserInterface.h"

#include <string>
#include <vector>

namespace stock {

class Journal;

struct UpdateOptions {
    sheets::TextFormat textFormat;
    std::string defaultDir; // the application folder, with its trailing separator (DefaultDir())
    bool dryRun = false;    // everything but the save and the journal
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

// What became of one marked order line.
struct LineOutcome {
    enum class Kind { Found, Created, CreatedInInsertedRow, NotBooked };
    OrderLine order; // the texts as read from the order, before any product's shift
    Kind kind = Kind::NotBooked;
    std::string stockSheet;     // empty when the product's sheet was not settled
    int stockRow = 0;           // 0 when no stock line was
    std::string warnings;       // the texts of this line's warnings, one after the other
    std::string quantityBefore; // the stock quantity as the booking read it (cell text)
    std::string quantityAfter;  // the quantity booked, as a cell text shows it; empty when none

    bool operator==(const LineOutcome&) const = default;
};

struct UpdateResult {
    // Declined: lines were booked before and the user chose to book nothing.
    enum class Outcome { MissingInventory, Cancelled, Declined, Done };
    Outcome outcome = Outcome::Cancelled;
    std::vector<Booking> bookings;
    std::vector<LineOutcome> lines;    // every marked line the walk took, in order
    std::vector<std::string> warnings; // the texts of the warning messages shown
    std::string orderPath;
    std::string orderSheet;
    std::string inventoryPath;
    int bookedBefore = 0; // marked lines the journal shows as booked into this inventory before
    int leftOut = 0;      // of those, the lines the user chose not to book again
    bool saved = false;
    bool journalWritten = false;
};

// Runs the whole update. Expected problems in the data are shown as messages and the run goes on;
// a failure of the workbooks ends it with nothing saved, the cursor restored, and the exception
// (sheets::Error) passed on. Before anything changes, the marked lines are looked up in the
// journal of the inventory; when some were booked before, the user is asked once whether to book
// them again. After the save, every line the walk took goes into the journal; a journal that cannot
// be read or written is a warning, never a failure.
UpdateResult runUpdate(UserInterface& ui, sheets::WorkbookOpener& opener, Journal& journal,
                       const UpdateOptions& options);

} // namespace stock
