#!/usr/bin/env python3
"""Load figures of the ranking server, measured with wrk on this machine.

For each database (SQLite always, PostgreSQL with --postgres) it starts the
real zankoruc-ranking on a free port over a database seeded with 100,000
scores, then measures, each run repeated and reported as the median:
  - the ranking page at 64 connections: requests/s and 99th percentile;
  - registrations at 64 connections (the rate limit off): requests/s, p99;
  - the page's answer time while 1,000 idle connections are held open;
  - the server's peak resident memory (VmHWM) after all of that.

  bench/ranking/ranking_load.py BUILD_DIR [--postgres] [--runs N] [--seconds S]
"""
import argparse
import http.client
import os
import re
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SEED_COUNT = 100_000

# wrk sends every registration with a name, area and score of its own, so
# the server's ranking and page cache see a real stream of writes.
REGISTER_LUA = r"""
counter = 0
request = function()
  counter = counter + 1
  local hits = counter % 40
  local level = 1 + counter % 3
  local path = "/game/zankoru/GameSet.asp?aria=Japan&name=Load%20" .. counter ..
               "&mode=0&level=" .. level .. "&score=" .. hits
  return wrk.format("GET", path)
end
"""


def start_server(build, database, workdir):
    log = open(os.path.join(workdir, "server.log"), "wb")
    server = subprocess.Popen(
        [os.path.join(build, "zankoruc-ranking"), "--listen", "127.0.0.1:0",
         "--database", database, "--max-per-minute", "0"],
        stdout=subprocess.PIPE, stderr=log)
    line = server.stdout.readline().decode()
    match = re.search(r"listening on .*:(\d+)", line)
    if not match:
        server.kill()
        sys.exit("the server did not start: %r (log in %s)" % (line, workdir))
    return server, int(match.group(1))


def wrk(url, seconds, lua=None, workdir="."):
    command = ["wrk", "-t2", "-c64", "-d%ds" % seconds, "--latency"]
    if lua:
        script = os.path.join(workdir, "register.lua")
        with open(script, "w") as f:
            f.write(lua)
        command += ["-s", script]
    output = subprocess.run(command + [url], capture_output=True, text=True, check=True).stdout
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", output).group(1))
    p99 = re.search(r"99%\s+([\d.]+)(us|ms|s)\b", output)
    scale = {"us": 0.001, "ms": 1.0, "s": 1000.0}[p99.group(2)]
    errors = re.search(r"Non-2xx or 3xx responses: (\d+)", output)
    return rate, float(p99.group(1)) * scale, int(errors.group(1)) if errors else 0


def page_time_ms(port):
    started = time.perf_counter()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request("GET", "/game/zankoru/GameResult.asp")
    response = connection.getresponse()
    response.read()
    connection.close()
    if response.status != 200:
        raise RuntimeError("page status %d" % response.status)
    return (time.perf_counter() - started) * 1000


def idle_connections_page_ms(port, count=1000):
    idle = []
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", port))
        idle.append(s)
    time.sleep(0.5)
    times = [page_time_ms(port) for _ in range(20)]
    for s in idle:
        s.close()
    return statistics.median(times), max(times)


def peak_resident_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def measure(build, database, label, runs, seconds):
    workdir = tempfile.mkdtemp(prefix="zk-load-")
    try:
        subprocess.run([os.path.join(build, "bench", "ranking", "seed_scores"), database,
                        str(SEED_COUNT)], check=True)
        server, port = start_server(build, database, workdir)
        base = "http://127.0.0.1:%d" % port
        try:
            page = [wrk(base + "/game/zankoru/GameResult.asp", seconds) for _ in range(runs)]
            register = [wrk(base + "/", seconds, REGISTER_LUA, workdir) for _ in range(runs)]
            idle = [idle_connections_page_ms(port) for _ in range(runs)]
            memory = peak_resident_mb(server.pid)
        finally:
            server.terminate()
            server.wait(timeout=30)
        median = statistics.median
        print("%s (%d runs of %d s, %d seeded scores)" % (label, runs, seconds, SEED_COUNT))
        print("  page:          %7.0f requests/s  p99 %6.2f ms  (non-2xx %d)" % (
            median(r[0] for r in page), median(r[1] for r in page), sum(r[2] for r in page)))
        print("  registrations: %7.0f requests/s  p99 %6.2f ms  (non-2xx %d)" % (
            median(r[0] for r in register), median(r[1] for r in register),
            sum(r[2] for r in register)))
        print("  page with 1,000 idle connections: median %.1f ms, worst %.1f ms" % (
            median(r[0] for r in idle), median(r[1] for r in idle)))
        print("  server peak resident memory: %.1f MB" % memory)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--postgres", action="store_true")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=int, default=10)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, min(hard, 8192)), hard))

    sqlite_dir = tempfile.mkdtemp(prefix="zk-sqlite-")
    try:
        measure(build, "sqlite:" + os.path.join(sqlite_dir, "ranking.sqlite3"), "SQLite",
                args.runs, args.seconds)
    finally:
        shutil.rmtree(sqlite_dir, ignore_errors=True)

    if args.postgres:
        cluster = tempfile.mkdtemp(prefix="zk-pg-")
        try:
            uri = subprocess.run([os.path.join(ROOT, "tools", "pg-throwaway.sh"), "start", cluster],
                                 capture_output=True, text=True, check=True).stdout.strip()
            measure(build, uri, "PostgreSQL", args.runs, args.seconds)
        finally:
            subprocess.run([os.path.join(ROOT, "tools", "pg-throwaway.sh"), "stop", cluster])
            shutil.rmtree(cluster, ignore_errors=True)


if __name__ == "__main__":
    main()
