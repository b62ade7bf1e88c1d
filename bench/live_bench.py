#!/usr/bin/env python3
"""Real programs through the filter against the same programs without the preload library, in
one run, on loopback:

  - 200 MB downloaded with curl from a non-web port (gopher: a selector line, then raw bytes)
    and as a web page of clean text (HTTP); MB/s each way and the ratio filtered/direct;
  - a 200 KB clean page fetched 200 times with curl, a new process each time: the median time
    per page each way and the ratio;
  - the policy load in a new process: the time from a python3 client's first connect to its
    first byte received, filtered minus direct (median of 20);
  - the peak memory (maximum resident set) of curl and of python3 fetching the 200 KB page,
    filtered minus direct.

Usage: bench/live_bench.py [--build DIR] (default build/release, which scripts/test.sh builds);
needs /usr/bin/time (Debian package time) for the memory figures."""
import argparse
import http.server
import os
import socket
import socketserver
import statistics
import subprocess
import sys
import tempfile
import threading
import time

BIG = 200 * 1024 * 1024
PAGE = 200 * 1024
CHUNK = 1024 * 1024


def clean_text(size):
    line = b"<p>The weather is fine today, and the garden is in bloom; homework is done.</p>\n"
    text = line * (size // len(line) + 1)
    return text[:size]


BIG_CHUNK = clean_text(CHUNK)
PAGE_BODY = clean_text(PAGE)


class RawHandler(socketserver.BaseRequestHandler):
    """Reads the selector line and sends BIG bytes of clean text, then closes."""

    def handle(self):
        line = b""
        while not line.endswith(b"\n"):  # the client may send it in pieces
            piece = self.request.recv(1024)
            if not piece:
                return
            line += piece
        left = BIG
        while left > 0:
            n = min(left, CHUNK)
            self.request.sendall(BIG_CHUNK[:n])
            left -= n


class WebHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def do_GET(self):
        big = self.path.startswith("/big")
        size = BIG if big else PAGE
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        if not big:
            self.wfile.write(PAGE_BODY)
            return
        left = size
        while left > 0:
            n = min(left, CHUNK)
            self.wfile.write(BIG_CHUNK[:n])
            left -= n

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def start(handler):
    server = Server(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, server.server_address[1]


def run(argv, env=None):
    """Runs argv; its wall time in seconds."""
    start_time = time.perf_counter()
    process = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status = os.waitpid(process.pid, 0)
    elapsed = time.perf_counter() - start_time
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit("%s failed (%d): %s" % (" ".join(argv), process.returncode, process.stderr.read().decode()))
    return elapsed


FIRST_BYTE = r"""
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
t0 = time.perf_counter()
s.connect(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"GET /page HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
s.recv(1)
print(time.perf_counter() - t0)
"""


def peak_memory_kb(argv):
    """The peak resident set of argv in KB, as /usr/bin/time reports it: a child of this script
    would start with this script's own peak, which Linux keeps across exec."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         text=True)
    if out.returncode != 0:
        sys.exit("%s failed: %s" % (" ".join(argv), out.stderr))
    return int(out.stderr.strip().splitlines()[-1])


def first_byte(argv_prefix, port):
    out = subprocess.run(argv_prefix + [sys.executable, "-c", FIRST_BYTE, str(port)], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit("first-byte client failed: " + out.stderr)
    return float(out.stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    args = parser.parse_args()
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    with tempfile.TemporaryDirectory(prefix="qf-live-bench-") as root:
        subprocess.run([bin_dir + "/quillfence-machine", "init", "--root", root], check=True, stdout=subprocess.DEVNULL)
        password = "bench-pw\n"
        subprocess.run([bin_dir + "/quillfence", "passwd", "--password-stdin", "--root", root], check=True,
                       input=password * 2, text=True, stdout=subprocess.DEVNULL)
        subprocess.run([bin_dir + "/quillfence", "enable", "--password-stdin", "--root", root], check=True,
                       input=password, text=True, stdout=subprocess.DEVNULL)
        filtered = [bin_dir + "/quillfence-run", "--root", root, "--"]
        raw, raw_port = start(RawHandler)
        web, web_port = start(WebHandler)
        try:
            print("%-44s %10s %10s %7s" % ("", "direct", "filtered", "ratio"))
            for label, url in (("200 MB, non-web port (MB/s)", "gopher://127.0.0.1:%d/0big" % raw_port),
                               ("200 MB, web page of clean text (MB/s)", "http://127.0.0.1:%d/big" % web_port)):
                curl = ["curl", "-sS", "-o", "/dev/null", url]
                direct = min(run(curl) for _ in range(2))
                through = min(run(filtered + curl) for _ in range(2))
                mb = BIG / 1e6
                print("%-44s %10.0f %10.0f %7.2f" % (label, mb / direct, mb / through, direct / through))

            curl = ["curl", "-sS", "-o", "/dev/null", "http://127.0.0.1:%d/page" % web_port]
            direct_runs = [run(curl) for _ in range(200)]
            filtered_runs = [run(filtered + curl) for _ in range(200)]
            direct = statistics.median(direct_runs)
            through = statistics.median(filtered_runs)
            print("%-44s %10.1f %10.1f %7.2f" % ("200 KB page x 200, median ms per page", direct * 1e3,
                                                  through * 1e3, through / direct))

            direct = statistics.median(first_byte([], web_port) for _ in range(20))
            through = statistics.median(first_byte(filtered, web_port) for _ in range(20))
            print("%-44s %10.1f %10.1f %+7.1f" % ("first connect to first byte, ms (difference)", direct * 1e3,
                                                   through * 1e3, (through - direct) * 1e3))

            python_fetch = [sys.executable, "-c",
                            "import urllib.request, sys; urllib.request.urlopen(sys.argv[1]).read()",
                            "http://127.0.0.1:%d/page" % web_port]
            for label, argv in (("curl", curl), ("python3", python_fetch)):
                direct = max(peak_memory_kb(argv) for _ in range(3))
                through = max(peak_memory_kb(filtered + argv) for _ in range(3))
                print("%-44s %10.1f %10.1f %+7.1f" % ("peak memory of %s, MB (difference)" % label, direct / 1024,
                                                       through / 1024, (through - direct) / 1024))
        finally:
            raw.shutdown()
            web.shutdown()


if __name__ == "__main__":
    main()
