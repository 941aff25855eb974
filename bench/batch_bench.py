#!/usr/bin/python3
"""Times the whole tulverkan-batch process against the zlib floor of the same workbook.

usage: batch_bench.py [--runs N] [--libreoffice] [--build DIR] WORKLOAD_DIR...
  Each WORKLOAD_DIR holds Tulverkan.xlsx and Bestilling.xlsx (make them with
  bench/make_batch_workloads.py). For every run the inventory is copied afresh and booked for real;
  the floor (zlib_floor: every sheet part inflated and deflated again at level 1, one core) runs
  right before it, so that both see the machine alike. Printed per workload: the medians of both,
  their ratio (and the median of the run-by-run ratios), both CPU times (user and system, all cores; on a
  busy machine closer to the work done than wall time) and their ratio, the peak memory of the batch
  process against the sheet XML, and with --libreoffice the time LibreOffice takes to merely load the
  inventory and save it as .xlsx again (slow; a few runs after one warm-up).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def sheet_xml_bytes(path):
    with zipfile.ZipFile(path) as book:
        return sum(info.file_size for info in book.infolist()
                   if info.filename.startswith("xl/worksheets/") and info.filename.endswith(".xml")
                   and "/" not in info.filename[len("xl/worksheets/"):])


def timed(command, **kwargs):
    start = time.perf_counter()
    done = subprocess.run(command, capture_output=True, text=True, **kwargs)
    return time.perf_counter() - start, done


def run_batch(batch, inventory, order, work):
    copy = os.path.join(work, "Tulverkan.xlsx")
    shutil.copyfile(inventory, copy)
    # Each run is a first booking: the previous run's journal would make the guard refuse the order.
    journal = os.path.join(work, "Tulverkan-logg.csv")
    if os.path.exists(journal):
        os.remove(journal)
    seconds, done = timed(["/usr/bin/time", "-f", "rusage %M %U %S", batch, copy, order])
    if done.returncode != 0:
        sys.exit("tulverkan-batch failed (%d): %s" % (done.returncode, done.stderr.strip()))
    _, peak_kib, user, system = done.stderr.strip().splitlines()[-1].split()
    return seconds, int(peak_kib), float(user) + float(system), done.stdout.strip()


def run_floor(floor, inventory):
    seconds, done = timed(["/usr/bin/time", "-f", "rusage %U %S", floor, inventory])
    if done.returncode != 0:
        sys.exit("zlib_floor failed: %s" % done.stderr.strip())
    _, user, system = done.stderr.strip().splitlines()[-1].split()
    return seconds, float(user) + float(system)


def run_libreoffice(inventory, work, runs):
    profile = os.path.join(work, "lo-profile")
    out = os.path.join(work, "lo-out")
    command = ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", "xlsx",
               "--outdir", out, inventory]
    times = []
    for run in range(runs + 1):
        seconds, done = timed(command)
        if done.returncode != 0 or not os.listdir(out):
            sys.exit("LibreOffice failed: %s" % done.stderr.strip())
        shutil.rmtree(out)
        if run > 0:  # the first run makes the profile
            times.append(seconds)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("workloads", nargs="+")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--libreoffice", action="store_true")
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    args = parser.parse_args()
    batch = os.path.join(args.build, "src", "batch", "tulverkan-batch")
    floor = os.path.join(args.build, "bench", "zlib_floor")

    rows = []
    for folder in args.workloads:
        inventory = os.path.abspath(os.path.join(folder, "Tulverkan.xlsx"))
        order = os.path.abspath(os.path.join(folder, "Bestilling.xlsx"))
        xml = sheet_xml_bytes(inventory)
        ours, cpus, floors, floor_cpus, ratios, peaks = [], [], [], [], [], []
        summary = ""
        with tempfile.TemporaryDirectory(prefix="batch-bench-") as work:
            run_batch(batch, inventory, order, work)  # warm-up: page cache and libraries
            for _ in range(args.runs):
                f, f_cpu = run_floor(floor, inventory)
                seconds, peak, cpu, summary = run_batch(batch, inventory, order, work)
                floors.append(f)
                ours.append(seconds)
                cpus.append(cpu)
                floor_cpus.append(f_cpu)
                ratios.append(seconds / f)
                peaks.append(peak)
            office = run_libreoffice(inventory, work, 2) if args.libreoffice else None
        rows.append((os.path.basename(os.path.normpath(folder)), xml, statistics.median(ours),
                     statistics.median(cpus), statistics.median(floors), statistics.median(floor_cpus), statistics.median(ratios), office, max(peaks), summary))

    print("%-8s %10s %9s %9s %9s %9s %7s %7s %9s %12s %8s %9s %8s" %
          ("workload", "sheet XML", "ours", "floor", "ours cpu", "floor cpu", "ratio", "(pairs)",
           "cpu ratio", "LibreOffice", "LO/ours", "peak", "peak/XML"))
    for name, xml, ours, cpu, floor_s, floor_cpu, pair, office, peak, summary in rows:
        office_text = "%11.2fs %7.1fx" % (office, office / ours) if office else "%12s %8s" % ("-", "-")
        print("%-8s %8.1fMB %8.3fs %8.3fs %8.3fs %8.3fs %6.2fx %6.2fx %8.2fx %s %6.0fMiB %8.2fx" %
              (name, xml / 1e6, ours, floor_s, cpu, floor_cpu, ours / floor_s, pair, cpu / floor_cpu,
               office_text, peak / 1024,
               peak * 1024 / xml))
    print("medians of %d runs; load average %s" % (args.runs, " ".join(
        "%.2f" % x for x in os.getloadavg())))
    for name, *_, summary in rows:
        print("%s: %s" % (name, summary))


if __name__ == "__main__":
    main()
