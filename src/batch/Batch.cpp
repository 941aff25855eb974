#include "batch/Batch.h"

#include "frontend/DefaultDir.h"
#include "frontend/ErrorText.h"
#include "frontend/SystemTextFormat.h"
#include "frontend/Version.h"
#include "orders/Opener.h"
#include "stock/JournalFile.h"
#include "stock/UserInterface.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>

#include <exception>
#include <optional>
#include <ostream>
#include <utility>

namespace batch {
namespace {

constexpr const char* kUsage =
    "Bruk: tulverkan-batch [--dry-run] [--again | --new-only] LAGERFIL BESTILLINGSFIL\n"
    "      tulverkan-batch --version\n"
    "\n"
    "Bokfører de merkede linjene i bestillingsfilen i lagerfilen, lagrer lagerfilen og skriver\n"
    "linjene i loggen ved siden av den (LAGERFIL uten endelse + -logg.csv).\n"
    "\n"
    "  --dry-run   gjør alt unntatt å lagre: lagerfilen og loggen blir ikke endret\n"
    "  --again     bokfører alle merkede linjer, også dem loggen viser er bokført før\n"
    "  --new-only  bokfører bare de merkede linjene som ikke er bokført før\n"
    "  --version   viser versjonen\n"
    "  -h, --help  viser denne teksten\n"
    "\n"
    "Er noen av linjene bokført i lagerfilen før, blir ingenting bokført uten --again eller\n"
    "--new-only.\n"
    "\n"
    "Avslutningsstatus: 0 fullført (også med advarsler), 1 ikke fullført, 2 feil bruk.\n";

// What to do with lines the journal shows as booked before; the window asks, the batch tool is told.
enum class Again { Refuse, All, NewOnly };

// A message box becomes one stderr line, so line breaks inside a text must not split it.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

class TerminalInterface : public stock::UserInterface {
public:
    TerminalInterface(std::string inventory, std::string order, Again again, std::ostream& err)
        : m_inventory(std::move(inventory)), m_order(std::move(order)), m_again(again), m_err(err) {}

    std::string inventoryPath() override { return m_inventory; }
    std::optional<std::string> chooseOrderFile(const std::string&) override { return m_order; }
    void showMessage(const std::string& text, const std::string& caption, stock::MessageFlags) override {
        m_err << oneLine(caption) << ": " << oneLine(text) << std::endl;
    }
    // The question and what the option given makes of it, on one line.
    stock::Answer ask(const stock::Question& question) override {
        std::string line = question.caption + ": " + question.text + " ";
        stock::Answer answer = stock::Answer::Cancel;
        switch (m_again) {
        case Again::All:
            line += "--again: " + question.yes + ".";
            answer = stock::Answer::Yes;
            break;
        case Again::NewOnly:
            line += "--new-only: " + question.no + ".";
            answer = stock::Answer::No;
            break;
        case Again::Refuse:
            line += "Ingenting er bokført. Velg --again (" + question.yes + ") eller --new-only (" +
                    question.no + ").";
            break;
        }
        m_err << oneLine(line) << std::endl;
        return answer;
    }
    void setBusyCursor(bool) override {}
    void showWorkbooks(const std::filesystem::path&, const std::optional<std::filesystem::path>&) override {}

private:
    std::string m_inventory;
    std::string m_order;
    Again m_again;
    std::ostream& m_err;
};

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

int badUsage(std::ostream& err, const std::string& problem) {
    err << "tulverkan-batch: " << problem << "\n\n" << kUsage;
    return kBadUsage;
}

// Arguments arrive decoded; the file system wants the bytes back.
std::string pathArgument(const QString& arg) {
    return QFile::encodeName(arg).toStdString();
}

} // namespace

std::string summaryLine(const stock::UpdateResult& result, bool dryRun) {
    std::size_t created = 0;
    std::size_t inserted = 0;
    for (const auto& booking : result.bookings) {
        created += booking.created ? 1 : 0;
        inserted += booking.rowInserted ? 1 : 0;
    }
    std::string line = "Bokført " + counted(result.bookings.size(), "bestillingslinje", "bestillingslinjer") +
                       ": " + counted(created, "ny lagerlinje", "nye lagerlinjer") + ", " +
                       counted(inserted, "rad satt inn", "rader satt inn") + ", " +
                       counted(result.warnings.size(), "advarsel", "advarsler");
    if (result.leftOut > 0)
        line += ", " + counted(static_cast<std::size_t>(result.leftOut), "linje bokført før hoppet over",
                               "linjer bokført før hoppet over");
    if (dryRun) line += " (prøvekjøring: ingenting er lagret)";
    return line;
}

int runBatch(const QStringList& args, std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    const QCommandLineOption dryRunOption(QStringLiteral("dry-run"));
    const QCommandLineOption againOption(QStringLiteral("again"));
    const QCommandLineOption newOnlyOption(QStringLiteral("new-only"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOption(dryRunOption);
    parser.addOption(againOption);
    parser.addOption(newOnlyOption);
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    if (!parser.parse(args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) return badUsage(err, "ugyldige argumenter");
        const QString& name = unknown.front();
        return badUsage(err, "ukjent valg «" + std::string(name.size() == 1 ? "-" : "--") +
                                 name.toStdString() + "»");
    }
    if (parser.isSet(helpOption)) {
        out << kUsage;
        return kDone;
    }
    if (parser.isSet(versionOption)) {
        out << "tulverkan-batch " << frontend::kVersion << "\n";
        return kDone;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() < 2)
        return badUsage(err,
                        files.isEmpty() ? "mangler LAGERFIL og BESTILLINGSFIL" : "mangler BESTILLINGSFIL");
    if (files.size() > 2) return badUsage(err, "for mange argumenter");
    if (parser.isSet(againOption) && parser.isSet(newOnlyOption))
        return badUsage(err, "--again og --new-only kan ikke brukes sammen");

    stock::UpdateOptions options;
    options.dryRun = parser.isSet(dryRunOption);
    const Again again = parser.isSet(againOption)     ? Again::All
                        : parser.isSet(newOnlyOption) ? Again::NewOnly
                                                      : Again::Refuse;
    TerminalInterface ui(pathArgument(files[0]), pathArgument(files[1]), again, err);
    orders::Opener opener;
    stock::JournalFile journal;
    stock::UpdateResult result;
    try {
        options.textFormat = frontend::systemTextFormat();
        options.defaultDir = frontend::DefaultDir();
        result = stock::runUpdate(ui, opener, journal, options);
    } catch (const std::exception& e) {
        err << frontend::errorLine(e.what()) << std::endl;
        return kNotDone;
    }
    switch (result.outcome) {
    case stock::UpdateResult::Outcome::MissingInventory:
        return kNotDone; // the run has said so itself
    case stock::UpdateResult::Outcome::Cancelled:
        err << frontend::errorLine("Kjøringen ble avbrutt før noe ble bokført") << std::endl;
        return kNotDone;
    case stock::UpdateResult::Outcome::Declined:
        return kNotDone; // the refusal is said with the question
    case stock::UpdateResult::Outcome::Done:
        break;
    }
    if (!options.dryRun && !result.saved) {
        err << frontend::errorLine("Lagerfilen «" + result.inventoryPath + "» ble ikke lagret") << std::endl;
        return kNotDone;
    }
    out << summaryLine(result, options.dryRun) << std::endl;
    return kDone;
}

} // namespace batch
