#!/usr/bin/env python3
"""Benchmarks of QuilletHost against the bundled xmlsec1 command-line tool (the same GOST
xmlsec1 library underneath), on the same key, certificate and documents.

Run on demand from the repository's top after the plain build:
    python3 tools/bench/bench.py [--quick] [--baseline FILE] [--save FILE]
Everything it makes lives under build/bench/ (its own HOME and XDG_DATA_HOME: the user's
stores are never touched). It writes docs/benchmarks.md and build/bench/results.json.
"""

import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

from bench_cases import Cases  # noqa: E402
from bench_documents import make_document, template_from_signature, with_template  # noqa: E402
from bench_pki import make_pki  # noqa: E402
from bench_report import write_report  # noqa: E402
from bench_runner import frame, run_process, unframe_all  # noqa: E402
from bench_startup import g1  # noqa: E402

TOP = pathlib.Path(__file__).resolve().parents[2]
BATCH = 500


class Workspace:
    """The benchmark's files under build/bench/."""

    def __init__(self, top, bin_dir=None):
        self.dir = top / "build" / "bench"
        self.bin = pathlib.Path(bin_dir).resolve() if bin_dir else top / "build" / "bin"
        self.host = str(self.bin / "QuilletHost")
        self.xmlsec1 = str(self.bin / "xmlsec1")
        home = self.dir / "home"
        self.host_env = {k: v for k, v in os.environ.items() if k != "OPENSSL_CONF"}
        self.host_env.update(HOME=str(home), XDG_DATA_HOME=str(home / "data"))
        self.host_env.pop("QUILLET_DEBUG_OUTPUT", None)
        for name in ("doc12k", "tmpl12k", "signed12k", "doc30m", "tmpl30m", "c14n30m",
                     "tmpl60m", "empty"):
            setattr(self, name, self.dir / f"{name}.xml")
        for name in ("sign12k_req", "sign_batch_req", "sign30m_req", "sign60m_req",
                     "verify12k_req"):
            setattr(self, name, self.dir / f"{name}.bin")
        self.batch_templates = [self.dir / "batch" / f"tmpl{i:03d}.xml" for i in range(BATCH)]
        self.batch_signed = [self.dir / "batch" / f"signed{i:03d}.xml" for i in range(BATCH)]


def _write_request(path, request):
    path.write_bytes(frame(request))


def _sign_once(w, documents, signature_only):
    """Signs the documents with our host; returns the answer's content."""
    request = w.dir / "once.bin"
    _write_request(request, {"actionCode": "sign", "xmls": documents,
                             "thumbprint": w.thumbprint, "returnSignatureOnly": signature_only})
    out = w.dir / "once.out"
    run_process([w.host], w.host_env, request, out)
    answer = unframe_all(out.read_bytes())[0]
    if not answer.get("success"):
        raise RuntimeError("signing for the benchmark's set-up failed: " + json.dumps(
            answer, ensure_ascii=False))
    return answer["content"]


def attach_pki(w):
    """Makes the key material and stores once and names them in the workspace."""
    w.dir.mkdir(parents=True, exist_ok=True)
    w.pki = make_pki(w.dir / "pki", w.bin, w.host_env)
    w.thumbprint = w.pki.thumbprint()


def prepare(w):
    """Makes the documents, templates and requests."""
    attach_pki(w)
    (w.dir / "batch").mkdir(exist_ok=True)
    doc12k = make_document(12 * 1024)
    doc30m = make_document(30 * 1024 * 1024)
    batch = [make_document(12 * 1024, first=1 + 1000 * i) for i in range(BATCH)]
    w.doc12k.write_text(doc12k)
    w.doc30m.write_text(doc30m)
    w.empty.write_text("")

    template = template_from_signature(_sign_once(w, [doc12k], "1")[0])
    w.tmpl12k.write_text(with_template(doc12k, template))
    w.tmpl30m.write_text(with_template(doc30m, template))
    # 60 MiB of document: its request stays under the browser's limit of 64 MiB a message.
    doc60m = make_document(60 * 1024 * 1024)
    w.tmpl60m.write_text(with_template(doc60m, template))
    for path, document in zip(w.batch_templates, batch):
        path.write_text(with_template(document, template))
    for path, signed in zip(w.batch_signed, _sign_once(w, batch, "")):
        path.write_text(signed)
    signed12k = _sign_once(w, [doc12k], "")[0]
    w.signed12k.write_text(signed12k)
    with open(w.c14n30m, "wb") as out:
        subprocess.run(["xmllint", "--c14n", str(w.doc30m)], check=True, stdout=out)

    sign = {"actionCode": "sign", "thumbprint": w.thumbprint}
    _write_request(w.sign12k_req, dict(sign, xmls=[doc12k]))
    _write_request(w.sign_batch_req, dict(sign, xmls=batch))
    _write_request(w.sign30m_req, dict(sign, xmls=[doc30m], returnSignatureOnly="1"))
    _write_request(w.sign60m_req, dict(sign, xmls=[doc60m], returnSignatureOnly="1"))
    del doc60m
    _write_request(w.verify12k_req, {"actionCode": "verify", "xml": signed12k})


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="few repetitions (a trial run)")
    parser.add_argument("--baseline", help="results.json of an earlier run, shown beside")
    parser.add_argument("--save", help="also copy this run's results.json here")
    parser.add_argument("--only", help="comma-separated cases to run (p1,p2,p3,p60,p4,p5,floor,g1)")
    parser.add_argument("--no-report", action="store_true", help="do not write the document")
    parser.add_argument("--bin", help="the runtime directory to measure (default build/bin), "
                        "for example a copy of an earlier build")
    parser.add_argument("--prepare-only", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--report-only", action="store_true",
                        help="write the document from the last run's results.json")
    args = parser.parse_args()

    w = Workspace(TOP, args.bin)
    if args.report_only:
        attach_pki(w)
        baseline = json.loads(pathlib.Path(args.baseline).read_text()) if args.baseline else None
        write_report(TOP, w, json.loads((w.dir / "results.json").read_text()), baseline)
        return
    if shutil.which("xmllint") is None:
        sys.exit("xmllint is needed for the floor measurements")
    if args.prepare_only:
        prepare(w)
        return
    # The documents are made by a process of their own: a child's peak resident memory
    # counts the memory of the process it was started from, so the measuring one stays small.
    subprocess.run([sys.executable, __file__, "--prepare-only"] +
                   (["--bin", args.bin] if args.bin else []), check=True)
    attach_pki(w)
    cases = Cases(w, reps_small=5 if args.quick else 21, reps_large=2 if args.quick else 5)
    for request, count in ((w.sign12k_req, 1), (w.verify12k_req, 1)):
        cases.expect_success(request, count)
    selected = (args.only.split(",") if args.only
                else ["p1", "p2", "p3", "p60", "p4", "p5", "floor", "g1"])
    results = {"load_before": os.getloadavg()}
    for name in selected:
        print("running", name, flush=True)
        if name == "g1":
            results[name] = g1(w, 5 if args.quick else 31)
            continue
        results[name] = cases.p5(1000 if args.quick else 10000) if name == "p5" \
            else getattr(cases, name)()
    results["load_after"] = os.getloadavg()
    (w.dir / "results.json").write_text(json.dumps(results, indent=1))
    if args.save:
        shutil.copy(w.dir / "results.json", args.save)
    if not args.no_report:
        baseline = json.loads(pathlib.Path(args.baseline).read_text()) if args.baseline else None
        write_report(TOP, w, results, baseline)
    print(json.dumps(results, indent=1))


if __name__ == "__main__":
    main()
