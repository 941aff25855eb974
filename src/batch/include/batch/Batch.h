#pragma once

// tulverkan-batch: the update run from a terminal, for scripts, scheduled jobs and checks. It runs the
// same core (stock::runUpdate) as the window; messages go to stderr, a summary line to stdout.

#include "stock/UpdateRun.h"

#include <QStringList>

#include <iosfwd>
#include <string>

namespace batch {

// Exit statuses of runBatch.
inline constexpr int kDone = 0;    // the run completed, warnings included
inline constexpr int kNotDone = 1; // a failure, or no inventory file at the path
inline constexpr int kBadUsage = 2;

// `tulverkan-batch [--dry-run] [--again | --new-only] INVENTORY ORDER`. `args` as
// QCoreApplication::arguments() gives them, program name first. Each message of the run is one line
// `caption: text` on `err`; a failure is shown as the window's error display shows it (`Tulverkan:
// message.`). Lines the journal shows as booked before are booked again with --again, left out with
// --new-only, and without either the run books nothing (kNotDone). When the run completes, one
// summary line goes to `out`. Returns kDone, kNotDone or kBadUsage; never throws for a failed run.
int runBatch(const QStringList& args, std::ostream& out, std::ostream& err);

// The summary line of a completed run (no line break), in Norwegian, e.g.
// "Bokført 7 bestillingslinjer: 2 nye lagerlinjer, 1 rad satt inn, 1 advarsel".
std::string summaryLine(const stock::UpdateResult& result, bool dryRun);

} // namespace batch
