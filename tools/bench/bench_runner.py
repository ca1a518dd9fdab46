"""Running the programs under measurement: one process with its input and output in files
(wall time and peak resident memory from wait4), and a long-lived host driven request by
request over pipes."""

import json
import os
import struct
import subprocess
import time


class Run:
    """One finished process: wall seconds, peak resident KiB, exit status, and the processor
    seconds it used (user and system), which a loaded machine inflates less than wall time."""

    def __init__(self, seconds, peak_kib, status, cpu_seconds=0.0):
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.status = status
        self.cpu_seconds = cpu_seconds


def frame(request):
    """One native-messaging frame: 4-byte little-endian length and compact UTF-8 JSON."""
    body = json.dumps(request, ensure_ascii=False, separators=(",", ":")).encode()
    return struct.pack("<I", len(body)) + body


def unframe_all(data):
    """The JSON answers of a host's output, in order."""
    answers = []
    at = 0
    while at + 4 <= len(data):
        (length,) = struct.unpack_from("<I", data, at)
        answers.append(json.loads(data[at + 4:at + 4 + length]))
        at += 4 + length
    return answers


def run_process(argv, env, stdin_path=None, stdout_path=os.devnull):
    """Runs argv to its end with stdin and stdout in files; times it from just before the
    fork to the moment it is reaped."""
    with open(stdin_path or os.devnull, "rb") as stdin, open(stdout_path, "wb") as stdout:
        start = time.perf_counter()
        child = subprocess.Popen(argv, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL,
                                 env=env)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
    return Run(seconds, usage.ru_maxrss, child.returncode, usage.ru_utime + usage.ru_stime)


def resident_kib(pid):
    """The current resident set of a running process, in KiB."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


class LongLivedHost:
    """A host process that serves one request after another until it is closed."""

    def __init__(self, argv, env):
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, env=env, bufsize=0)

    def ask_framed(self, framed):
        """Sends one framed request and returns the answer's raw JSON bytes."""
        self.process.stdin.write(framed)
        self.process.stdin.flush()
        (length,) = struct.unpack("<I", self._read(4))
        return self._read(length)

    def resident_kib(self):
        return resident_kib(self.process.pid)

    def close(self):
        self.process.stdin.close()
        return self.process.wait()

    def _read(self, size):
        data = b""
        while len(data) < size:
            chunk = self.process.stdout.read(size - len(data))
            if not chunk:
                raise RuntimeError("the host ended before answering")
            data += chunk
        return data
