"""docs/benchmarks.md from one run's results: the machine, the versions, the date, the table
of ours against xmlsec1 with ratios and goals, the floor, and the hand-written analysis
kept in tools/bench/notes.md."""

import datetime
import os
import platform
import subprocess


def _first_line(argv, env=None):
    try:
        done = subprocess.run(argv, capture_output=True, text=True, env=env)
        return (done.stdout + done.stderr).strip().splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def _cpu():
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return platform.processor()


def _memory_gib():
    with open("/proc/meminfo") as info:
        return int(info.readline().split()[1]) / 1024 / 1024


def _machine_and_versions(top, w):
    commit = _first_line(["git", "-C", str(top), "log", "-1", "--format=%h %s"])
    gost = _first_line(["dpkg-query", "-W", "-f", "${Version}", "libengine-gost-openssl"])
    return [
        f"- Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC",
        f"- Machine: {_cpu()}, {os.cpu_count()} cores, {_memory_gib():.1f} GiB, "
        f"{platform.system()} {platform.release()} ({platform.machine()})",
        f"- Quillet: 1.2.0.0, commit {commit}, plain build (RelWithDebInfo, -O2)",
        f"- xmlsec1: {_first_line([w.xmlsec1, '--version'], w.pki.xmlsec_env())} "
        "(the bundled GOST build in build/bin, OpenSSL back end)",
        f"- libxml2: {_first_line(['xmllint', '--version'])}",
        f"- OpenSSL: {_first_line(['openssl', 'version'])}; GOST engine {gost}",
        f"- Compiler: {_first_line(['g++', '--version'])}",
    ]


def _ms(seconds):
    return f"{seconds * 1000:.2f} ms"


def _mib(kib):
    return f"{kib / 1024:.1f} MiB"


def _row(case, ours, theirs, ratio, goal, before=None):
    met = "—" if goal is None else ("yes" if ratio <= goal else "**no**")
    goal_text = "—" if goal is None else f"≤ {goal:g}×"
    cells = [case, ours, theirs, f"{ratio:.2f}×", goal_text, met]
    if before is not None:
        cells.insert(2, before)
    return "| " + " | ".join(cells) + " |"


def _main_table(r, b):
    """The P1-P5 rows; `b` is the baseline's results or None."""
    head = ["Case", "Ours", "xmlsec1", "Ratio", "Goal", "Met"]
    if b is not None:
        head.insert(2, "Ours before")
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]

    def before(key, field="seconds", show=_ms):
        if b is None or key not in b:
            return None
        return show(b[key]["ours"][field])

    def timed(key, label, goal, show=_ms):
        if key not in r:
            return
        ours, theirs = r[key]["ours"]["seconds"], r[key]["xmlsec1"]["seconds"]
        lines.append(_row(label, show(ours), show(theirs), ours / theirs, goal,
                          before(key, show=show)))

    timed("p1", "P1 sign 12 KB, fresh process per request (wall)", 0.5)
    if "p2" in r:
        timed("p2", f"P2 sign {r['p2']['documents']} × 12 KB in one request, per document "
              "(xmlsec1: all files in one process, output to a file)", 1.1)
        cpu = r["p2"]["ours"]["cpu_seconds"] / r["p2"]["xmlsec1"]["cpu_seconds"]
        lines.append(_row("P2 processor time per document (user + system)",
                          _ms(r["p2"]["ours"]["cpu_seconds"]),
                          _ms(r["p2"]["xmlsec1"]["cpu_seconds"]), cpu, None))
        if "xmlsec1_per_process" in r["p2"]:
            loop = r["p2"]["xmlsec1_per_process"]["seconds"]
            lines.append(_row("P2 for the record: one `xmlsec1 sign --output` process per "
                              "document (a shell loop)", _ms(r["p2"]["ours"]["seconds"]),
                              _ms(loop), r["p2"]["ours"]["seconds"] / loop, None))
    seconds = lambda s: f"{s:.2f} s"  # noqa: E731
    for key, label in (("p3", "P3 sign 30 MB"), ("p60", "P60 sign 60 MB (64 MiB browser limit)")):
        if key not in r:
            continue
        timed(key, f"{label}, signature only (wall)", 1.1, show=seconds)
        ours, theirs = r[key]["ours"]["peak_kib"], r[key]["xmlsec1"]["peak_kib"]
        lines.append(_row(f"{label}, peak resident memory", _mib(ours), _mib(theirs),
                          ours / theirs, 1.5, before(key, "peak_kib", _mib)))
        if "request_bytes" in r[key]:
            size = r[key]["request_bytes"]
            cells = [f"{label}, peak memory against the request's {_mib(size / 1024)}",
                     f"{ours * 1024 / size:.2f}×",
                     f"{theirs * 1024 / size:.2f}× (`xmllint --noout`: "
                     f"{r[key]['xmllint_noout']['peak_kib'] * 1024 / size:.2f}×)",
                     "—", "< 3×", "yes" if ours * 1024 < 3 * size else "**no**"]
            if b is not None:
                cells.insert(2, "—")
            lines.append("| " + " | ".join(cells) + " |")
    timed("p4", "P4 verify 12 KB, fresh process per request (wall)", 0.5)
    if "p5" in r:
        p5 = r["p5"]
        bp5 = b.get("p5") if b else None
        lines.append(_row(
            f"P5 long-lived host, {p5['requests']} requests sign/verify in turn, per request",
            _ms(p5["seconds_per_request"]), _ms(p5["xmlsec1_per_document"]) + " (batch mode)",
            p5["seconds_per_request"] / p5["xmlsec1_per_document"], None,
            _ms(bp5["seconds_per_request"]) if bp5 else (None if b is None else "—")))
        growth = p5["rss_growth_kib"]
        cells = ["P5 resident-memory growth (after request 100 to the last)",
                 f"{growth} KiB", "—", "—", "≤ 2 MiB", "yes" if growth <= 2048 else "**no**"]
        if b is not None:
            cells.insert(2, f"{bp5['rss_growth_kib']} KiB" if bp5 else "—")
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def _goal(name, case, value, goal, shown, floor=""):
    met = "yes" if value <= goal else "**no**"
    return f"| {name} | {case} | {shown} | {floor} | {goal:g} | {met} |"


def _goals(r):
    """G1-G5 side by side: each a ratio (or a time) against its goal."""
    lines = ["| Goal | Case | Measured | Against | Goal ≤ | Met |", "|---|---|---|---|---|---|"]
    g1 = r.get("g1", {})
    whole = g1.get("whole_process")
    if whole:
        lines.append(_goal("G1", "cold getVersion, whole process", whole["ratio"], 1.3,
                           f"{whole['ratio']:.2f}× ({_ms(whole['ours']['seconds'])})",
                           f"10-line host {_ms(whole['ten_line']['seconds'])}"))
    chromium = g1.get("chromium")
    if chromium and "ratio" in chromium:
        lines.append(_goal("G1", "getVersion through Chromium's sendNativeMessage",
                           chromium["ratio"], 1.1,
                           f"{chromium['ratio']:.2f}× ({_ms(chromium['ours']['seconds'])})",
                           f"10-line host {_ms(chromium['ten_line']['seconds'])}"))
    for key, goal_name, case, limit in (("p1", "G2", "P1 cold sign 12 KB", 0.5),
                                         ("p4", "G2", "P4 cold verify 12 KB", 0.5),
                                         ("p2", "G3", "P2 batch, per document", 1.1),
                                         ("p3", "G4", "P3 30 MB signature only, time", 1.1)):
        if key in r:
            ours, theirs = r[key]["ours"]["seconds"], r[key]["xmlsec1"]["seconds"]
            lines.append(_goal(goal_name, case, ours / theirs, limit, f"{ours / theirs:.2f}×",
                               f"xmlsec1 {_ms(theirs)}"))
            cpu_ours = r[key]["ours"].get("cpu_seconds")
            cpu_theirs = r[key]["xmlsec1"].get("cpu_seconds")
            if cpu_ours and cpu_theirs:
                lines.append(_goal(goal_name, case + " (processor time)", cpu_ours / cpu_theirs,
                                   limit, f"{cpu_ours / cpu_theirs:.2f}×",
                                   f"xmlsec1 {_ms(cpu_theirs)}"))
    for key, case in (("p3", "P3 30 MB"), ("p60", "P60 60 MB")):
        if key in r:
            ours, theirs = r[key]["ours"]["peak_kib"], r[key]["xmlsec1"]["peak_kib"]
            lines.append(_goal("G4", f"{case} peak memory", ours / theirs, 1.5,
                               f"{ours / theirs:.2f}× ({_mib(ours)})", f"xmlsec1 {_mib(theirs)}"))
    if "p60" in r and "request_bytes" in r["p60"]:
        size, ours = r["p60"]["request_bytes"], r["p60"]["ours"]["peak_kib"]
        lines.append(_goal("G4", "P60 peak memory against the request size", ours * 1024 / size,
                           3, f"{ours * 1024 / size:.2f}×", f"request {_mib(size / 1024)}"))
    if "p5" in r:
        p5 = r["p5"]
        for kind in ("sign", "verify"):
            median = p5[f"{kind}_median"]
            lines.append(_goal("G5", f"long-lived host, 12 KB {kind} (median round trip, ms)",
                               median * 1000, 3, _ms(median)))
        lines.append(_goal("G5", f"memory growth over {p5['requests']} requests (KiB)",
                           p5["rss_growth_kib"], 2048, f"{p5['rss_growth_kib']} KiB"))
    return lines


def _p5_details(p5):
    engine = p5["engine"]
    overhead = engine["verify"] - engine["getVersion"]
    samples = ", ".join(f"{n}: {_mib(kib)}" for n, kib in p5["rss_samples"])
    return [
        f"- Median per request inside the long-lived host: sign {_ms(p5['sign_median'])}, "
        f"verify {_ms(p5['verify_median'])}.",
        f"- Engine construction, library initialisation and shutdown per request: "
        f"{_ms(overhead)} (a verify of a one-byte document, {_ms(engine['verify'])}, "
        f"against getVersion, which builds no engine, {_ms(engine['getVersion'])}).",
        f"- Resident memory after request n: {samples}.",
    ]


def _floor(f):
    rate = f["c14n30m_bytes"] / f["digest30m_seconds"] / 1024 / 1024
    return [
        "| Floor | Time | Peak memory |", "|---|---|---|",
        f"| `xmllint --noout` of the 12 KB document (process included) | "
        f"{_ms(f['parse12k']['seconds'])} | {_mib(f['parse12k']['peak_kib'])} |",
        f"| `xmllint --noout` of the 30 MB document | {f['parse30m']['seconds']:.2f} s | "
        f"{_mib(f['parse30m']['peak_kib'])} |",
        f"| Streebog-256 of the 30 MB document's canonical bytes ({_mib(f['c14n30m_bytes'] / 1024)}), "
        f"`openssl dgst` less its run on an empty file | {f['digest30m_seconds']:.3f} s "
        f"({rate:.0f} MiB/s) | — |",
        f"| QuilletHost start and exit with no request | {_ms(f['host_start']['seconds'])} | "
        f"{_mib(f['host_start']['peak_kib'])} |",
        f"| `xmlsec1 --version` (start, library load, exit) | "
        f"{_ms(f['xmlsec1_start']['seconds'])} | {_mib(f['xmlsec1_start']['peak_kib'])} |",
    ]


def write_report(top, w, r, baseline):
    lines = ["# Benchmarks against xmlsec1", "",
             "Made by `python3 tools/bench/bench.py` (run on demand, never by the tests); the "
             "analysis at the end is kept in tools/bench/notes.md.", ""]
    lines += _machine_and_versions(top, w)
    lines += [f"- Load average before and after: {r['load_before'][0]:.2f}, "
              f"{r['load_after'][0]:.2f} (2 cores shared with other work: figures are noisy)",
              ""]
    lines += ["## The goals side by side", "",
              "Each row is one measurement of this run against its goal; the tables below "
              "give the cases whole, and the profiles at the end say where the time goes "
              "and why a goal is not met.", ""]
    lines += _goals(r)
    lines += ["", "## Ours against xmlsec1", ""]
    lines += ["Medians of repeated runs, ours and xmlsec1's alternating in one run (P1, P4 "
              "and the small floor rows 21 runs each, the rest 5), unless the run was "
              "`--quick`. Ours is the real QuilletHost in build/bin with the signer "
              "in its store, its CRL beside the root, no log directory and no debugger "
              "output; xmlsec1 is `xmlsec1 sign --privkey-pem key,cert` of the document "
              "with our template appended and `xmlsec1 verify --trusted-pem` (it has no CRL option; ours also checks the CRL). A "
              "ratio is ours divided by xmlsec1's.", ""]
    lines += _main_table(r, baseline)
    if "p5" in r:
        lines += ["", "### The long-lived host (P5)", ""] + _p5_details(r["p5"])
    if "floor" in r:
        lines += ["", "## The floor", ""] + _floor(r["floor"])
    notes = top / "tools" / "bench" / "notes.md"
    if notes.exists():
        lines += ["", notes.read_text().rstrip()]
    profiles = sorted((top / "tools" / "bench" / "profiles").glob("*.md"))
    if profiles:
        lines += ["", "# Profiles of each case", "",
                  "Kept in tools/bench/profiles/ and copied here: how each case was profiled, "
                  "what each change bought, and the next step where a goal is not met."]
        for profile in profiles:
            text = profile.read_text().rstrip()
            lines += [""] + [("#" + line) if line.startswith("#") else line
                             for line in text.splitlines()]
    (top / "docs" / "benchmarks.md").write_text("\n".join(lines) + "\n")
