"""G1: a cold one-shot getVersion, as a browser makes it (a fresh host per message), against
a 10-line C++ program that answers the same bytes, which the benchmark compiles itself with
g++ -O2. Measured whole process (fork to reap, input and output in files) and through
headless Chromium's chrome.runtime.sendNativeMessage (tools/bench/bench_chromium.mjs)."""

import json
import pathlib
import shutil
import statistics
import subprocess

from bench_runner import frame, run_process

HERE = pathlib.Path(__file__).resolve().parent
ANSWER = b'{"content":{"major":1,"minor":2},"success":true}'

# The floor: reads one frame, writes the answer QuilletHost gives to getVersion.
TEN_LINE_HOST = r"""#include <cstdio>
int main() {
  unsigned char head[4];
  if (fread(head, 1, 4, stdin) != 4) return 1;
  unsigned long length = head[0] | head[1] << 8 | head[2] << 16 | (unsigned long)head[3] << 24;
  static char body[1 << 16];
  if (length > sizeof body || fread(body, 1, length, stdin) != length) return 1;
  static const char answer[] = "0\0\0\0{\"content\":{\"major\":1,\"minor\":2},\"success\":true}";
  fwrite(answer, 1, sizeof answer - 1, stdout);
  return 0;
}
"""


def ten_line_host(directory):
    """Compiles the 10-line host into the directory; returns its path."""
    source = directory / "ten_line_host.cpp"
    program = directory / "ten_line_host"
    source.write_text(TEN_LINE_HOST)
    subprocess.run(["g++", "-O2", "-o", str(program), str(source)], check=True)
    return str(program)


def _whole_process(w, ten_line, reps):
    request = w.dir / "get_version.bin"
    request.write_bytes(frame({"actionCode": "getVersion"}))
    for program in (w.host, ten_line):
        out = w.dir / "get_version.out"
        run_process([program], w.host_env, request, out)
        if out.read_bytes() != len(ANSWER).to_bytes(4, "little") + ANSWER:
            raise RuntimeError(f"{program} answered {out.read_bytes()!r}")
    ours, theirs = [], []
    for rep in range(reps):
        pair = [(ours, w.host), (theirs, ten_line)]
        for times, program in pair if rep % 2 == 0 else reversed(pair):
            run = run_process([program], w.host_env, request)
            if run.status != 0:
                raise RuntimeError(f"{program} exited with {run.status}")
            times.append(run.seconds)
    return _pair(ours, theirs)


def _through_chromium(w, ten_line, reps):
    if shutil.which("node") is None or not (HERE.parents[1] / "tests/browser/node_modules").is_dir():
        return {"skipped": "node or tests/browser/node_modules (scripts/install-deps.sh) missing"}
    printed = subprocess.run(
        ["node", str(HERE / "bench_chromium.mjs"), str(w.dir), w.host, ten_line, str(reps)],
        check=True, capture_output=True, text=True).stdout
    times = json.loads(printed.strip().splitlines()[-1])
    return _pair([t / 1000 for t in times["ours"]], [t / 1000 for t in times["ten_line"]])


def _pair(ours, theirs):
    mine, floor = statistics.median(ours), statistics.median(theirs)
    return {"ours": {"seconds": mine, "runs": len(ours)},
            "ten_line": {"seconds": floor, "runs": len(theirs)}, "ratio": mine / floor}


def g1(w, reps):
    """The G1 row: whole process and through Chromium, medians of `reps` each."""
    ten_line = ten_line_host(w.dir)
    return {"whole_process": _whole_process(w, ten_line, reps),
            "chromium": _through_chromium(w, ten_line, reps)}


if __name__ == "__main__":
    # Alone: python3 tools/bench/bench_startup.py [REPETITIONS] [BIN_DIR] after the plain build.
    import sys
    from bench import TOP, Workspace

    workspace = Workspace(TOP)
    if len(sys.argv) > 2:
        workspace.host = str(pathlib.Path(sys.argv[2]).resolve() / "QuilletHost")
    workspace.dir.mkdir(parents=True, exist_ok=True)
    print(json.dumps(g1(workspace, int(sys.argv[1]) if len(sys.argv) > 1 else 31), indent=1))
