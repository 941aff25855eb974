#!/usr/bin/python3
"""Where a tulverkan-batch run spends its time, by phase, from perf's CPU-clock samples.

usage: profile_phases.py [--build DIR] [--frequency HZ] WORKLOAD_DIR
  Books WORKLOAD_DIR's Bestilling.xlsx into a fresh copy of its Tulverkan.xlsx under
  `perf record -e cpu-clock --call-graph dwarf` (linux-perf; works where hardware counters do not)
  and sorts every sample into one phase by the frames on its stack: the first rule in PHASES that
  names a frame wins, so a page fault taken while parsing counts as parsing. Prints CPU milliseconds
  per phase and per thread kind (the main thread, the deflate workers).
"""
import argparse
import collections
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# (phase, substrings of a frame's symbol), tried in order against the whole stack.
PHASES = [
    ("deflate", ["deflate"]),
    ("write (zip, file)", ["Package::save", "AtomicFile"]),
    ("inflate (read)", ["Package::read", "inflate"]),
    ("parse", ["readWorksheet", "WorksheetPart::WorksheetPart", "SharedStrings::SharedStrings",
               "Styles::Styles"]),
    ("serialise", ["WorksheetPart::serialize", "Book::shiftWorkbookParts", "Book::shiftPartsOf",
                   "Book::dropCalcChain", "SharedStrings::serialize", "WorkbookPart::serialize"]),
    ("formula computation", ["Book::computeResults", "Book::compute", "Evaluator::value"]),
    ("recalc planning", ["Book::planner", "RecalcPlanner"]),
    ("open (other)", ["Book::Book", "Opener::open", "Package::Package"]),
    ("exit (teardown)", ["__run_exit_handlers", "_dl_fini", "do_exit", "exit_mmap", "~Book",
                         "~WorksheetPart", "~unique_ptr<sheets::Workbook"]),
    ("walk", ["walkOrderLines", "mergeStockLine", "selectStockSheet", "StockLines", "runUpdate"]),
    ("start-up", ["_dl_start", "_dl_init", "_dl_relocate", "QCoreApplication", "systemTextFormat",
                  "_dl_map", "dl_main", "_start"]),
]


def phase_of(frames):
    for name, keys in PHASES:
        for frame in frames:
            if any(key in frame for key in keys):
                return name
    return "other"


def samples(script_output):
    """Yields (thread name, [symbols, innermost first]) for each sample."""
    thread, frames = None, []
    for line in script_output.splitlines():
        if not line.strip():
            if thread is not None:
                yield thread, frames
            thread, frames = None, []
        elif not line.startswith((" ", "\t")):
            thread = line.split()[0]
        else:
            parts = line.split(None, 1)
            frames.append(parts[1] if len(parts) > 1 else "")
    if thread is not None:
        yield thread, frames


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("workload")
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    parser.add_argument("--frequency", type=int, default=4000)
    args = parser.parse_args()
    batch = os.path.join(args.build, "src", "batch", "tulverkan-batch")
    with tempfile.TemporaryDirectory(prefix="profile-phases-") as work:
        copy = os.path.join(work, "Tulverkan.xlsx")
        shutil.copyfile(os.path.join(args.workload, "Tulverkan.xlsx"), copy)
        data = os.path.join(work, "perf.data")
        record = subprocess.run(["perf", "record", "-q", "-F", str(args.frequency), "-e", "cpu-clock",
                                 "--call-graph", "dwarf,16384", "-o", data, "--", batch, copy,
                                 os.path.join(args.workload, "Bestilling.xlsx")],
                                capture_output=True, text=True)
        if record.returncode != 0:
            sys.exit("perf record failed: " + record.stderr.strip())
        script = subprocess.run(["perf", "script", "-i", data, "-F", "comm,tid,ip,sym", "--demangle"],
                                capture_output=True, text=True)
    per_phase = collections.Counter()
    per_thread = collections.Counter()
    total = 0
    for thread, frames in samples(script.stdout):
        per_phase[phase_of(frames)] += 1
        per_thread[thread] += 1
        total += 1
    ms = 1000.0 / args.frequency
    print("%-24s %9s %6s" % ("phase", "cpu ms", "share"))
    for name, _ in PHASES + [("other", None)]:
        if per_phase[name]:
            print("%-24s %9.0f %5.1f%%" % (name, per_phase[name] * ms, 100.0 * per_phase[name] / total))
    print("%-24s %9.0f" % ("total", total * ms))
    print("threads: " + ", ".join("%s %.0f ms" % (t, n * ms) for t, n in per_thread.most_common()))


if __name__ == "__main__":
    main()
