#include "xml/Place.h"

#include "sheets/Error.h"

namespace xlsx {

std::string inQuotes(std::string_view text) {
    return "«" + std::string(text) + "»";
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

} // namespace xlsx
