#include "sheets/Place.h"

#include "sheets/Error.h"

namespace sheets {

std::string inQuotes(std::string_view text) {
    return "«" + std::string(text) + "»";
}

std::string outOfSheet(std::int64_t row, std::int64_t column, std::int64_t lastRow, std::int64_t lastColumn) {
    const bool badRow = row < 1 || row > lastRow;
    const bool badColumn = column < 1 || column > lastColumn;
    const std::string rows = "rad 1 til " + std::to_string(lastRow);
    const std::string columns = "kolonne 1 til " + std::to_string(lastColumn);
    if (badRow && badColumn)
        return "rad " + std::to_string(row) + " og kolonne " + std::to_string(column) +
               " er utenfor arket (gyldig er " + rows + " og " + columns + ")";
    if (badRow) return "rad " + std::to_string(row) + " er utenfor arket (gyldig er " + rows + ")";
    return "kolonne " + std::to_string(column) + " er utenfor arket (gyldig er " + columns + ")";
}

Place Place::withSheet(std::string name) const {
    Place place = *this;
    place.sheet = std::move(name);
    return place;
}

Place Place::withPart(std::string name) const {
    Place place = *this;
    place.part = std::move(name);
    return place;
}

std::string Place::describe() const {
    std::string where = inQuotes(file.string());
    if (!sheet.empty()) where = "arket " + inQuotes(sheet) + " i " + where;
    if (!part.empty()) where = inQuotes(part) + (sheet.empty() ? " i " : " på ") + where;
    return where;
}

std::string Place::message(std::string_view action, std::string_view cause, std::string_view cell) const {
    std::string text(action);
    text += ' ';
    text += describe();
    if (!cell.empty()) {
        text += ", celle ";
        text += cell;
    }
    text += ": ";
    text += cause;
    return text;
}

void Place::fail(std::string_view action, std::string_view cause, std::string_view cell) const {
    throw sheets::Error(message(action, cause, cell));
}

} // namespace sheets
