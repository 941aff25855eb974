#include "BookedBefore.h"

#include <filesystem>
#include <unordered_map>

namespace stock {

namespace {

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The texts that make a line the same line, joined with a byte no cell text holds.
std::string key(const std::string& file, const std::string& sheet, const OrderLine& l) {
    std::string k;
    for (const std::string* part :
         {&file, &sheet, &l.Produkt, &l.Grade, &l.H, &l.B, &l.T, &l.Overflate, &l.Meter, &l.A, &l.Prosjekt}) {
        k += *part;
        k += '\0';
    }
    return k + std::to_string(l.Row);
}

// 2026-12-10T09:14:03+01:00 as "10.12.2026 kl. 09.14"; a time in another form as it stands.
std::string shownTime(const std::string& time) {
    auto digits = [&](std::size_t at, std::size_t n) {
        for (std::size_t i = at; i < at + n; ++i)
            if (i >= time.size() || time[i] < '0' || time[i] > '9') return false;
        return true;
    };
    if (!(digits(0, 4) && time[4] == '-' && digits(5, 2) && time[7] == '-' && digits(8, 2) &&
          time[10] == 'T' && digits(11, 2) && time[13] == ':' && digits(14, 2)))
        return time;
    return time.substr(8, 2) + "." + time.substr(5, 2) + "." + time.substr(0, 4) + " kl. " +
           time.substr(11, 2) + "." + time.substr(14, 2);
}

} // namespace

BookedBefore findBookedBefore(const std::vector<JournalEntry>& journal, const std::string& orderPath,
                              const std::string& orderSheet, const std::vector<OrderLine>& marked) {
    const std::string file = fileName(orderPath);
    // The last entry of each line that a run booked; later entries are later bookings.
    std::unordered_map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const auto& entry = journal[i];
        if (entry.line.kind == LineOutcome::Kind::NotBooked || entry.orderSheet != orderSheet ||
            fileName(entry.orderFile) != file)
            continue;
        last[key(file, entry.orderSheet, entry.line.order)] = i;
    }
    BookedBefore booked;
    for (const auto& line : marked) {
        auto it = last.find(key(file, orderSheet, line));
        booked.marked.push_back(it != last.end());
        if (it == last.end()) continue;
        ++booked.count;
        if (!booked.latest || &journal[it->second] > booked.latest) booked.latest = &journal[it->second];
    }
    return booked;
}

Question bookedBeforeQuestion(const BookedBefore& booked, const std::string& orderPath) {
    const int all = static_cast<int>(booked.marked.size());
    const int fresh = all - booked.count;
    Question q;
    q.caption = "Tulverkan";
    q.text = all == 1 ? "Den merkede linjen"
                      : std::to_string(booked.count) + " av " + std::to_string(all) + " merkede linjer";
    q.text += " i «" + fileName(orderPath) + "» er bokført i denne lagerfilen før";
    if (booked.latest) {
        q.text += ", sist " + shownTime(booked.latest->time);
        if (!booked.latest->user.empty()) q.text += " av " + booked.latest->user;
    }
    q.text += ".";
    q.yes = all == 1 ? "bokfør linjen på nytt" : "bokfør alle " + std::to_string(all) + " linjene på nytt";
    q.no = fresh == 0   ? "bokfør ingen av dem på nytt"
           : fresh == 1 ? "bokfør bare den ene nye linjen"
                        : "bokfør bare de " + std::to_string(fresh) + " nye linjene";
    q.cancel = "bokfør ingenting og lagre ingenting";
    return q;
}

} // namespace stock
