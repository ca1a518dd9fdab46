"""The measured cases. Every case runs ours and xmlsec1's side by side, alternating which
goes first, and keeps medians. Times are seconds, memory KiB."""

import json
import statistics
import time

from bench_runner import LongLivedHost, frame, run_process, unframe_all

# How many documents of P2 are also signed one `xmlsec1` process each.
PER_PROCESS = 25


def _check(run, what):
    if run.status != 0:
        raise RuntimeError(f"{what} exited with {run.status}")
    return run


def _alternate(reps, ours, theirs):
    """Runs the two callables `reps` times each, alternating the order; returns both lists."""
    mine, other = [], []
    for rep in range(reps):
        if rep % 2 == 0:
            mine.append(ours())
            other.append(theirs())
        else:
            other.append(theirs())
            mine.append(ours())
    return mine, other


def _summary(runs, divide=1):
    return {"seconds": statistics.median(r.seconds for r in runs) / divide,
            "cpu_seconds": statistics.median(r.cpu_seconds for r in runs) / divide,
            "peak_kib": statistics.median(r.peak_kib for r in runs),
            "runs": len(runs)}


def _host_answers(path):
    with open(path, "rb") as data:
        return unframe_all(data.read())


class Cases:
    """The cases over one prepared workspace `w` (see bench.Workspace)."""

    def __init__(self, w, reps_small, reps_large):
        self.w = w
        self.reps_small = reps_small
        self.reps_large = reps_large

    def _host(self, request_path, out_path="/dev/null"):
        return _check(run_process([self.w.host], self.w.host_env, request_path, out_path),
                      "QuilletHost")

    def _xmlsec1(self, *args, out_path="/dev/null"):
        return _check(run_process([self.w.xmlsec1, *map(str, args)], self.w.pki.xmlsec_env(),
                                  None, out_path), "xmlsec1 " + str(args[0]))

    def _sign_args(self):
        return ["sign", "--privkey-pem", f"{self.w.pki.signer_key},{self.w.pki.signer}"]

    def _verify_args(self):
        # This xmlsec1 has no option for a CRL: it checks the chain, ours the CRL as well.
        return ["verify", "--enabled-key-data", "x509", "--trusted-pem", self.w.pki.root]

    def expect_success(self, request_path, count):
        """Runs the request once and fails unless it was answered with success."""
        out = self.w.dir / "check.out"
        self._host(request_path, out)
        answers = _host_answers(out)
        if len(answers) != count or not all(a.get("success") for a in answers):
            raise RuntimeError(f"{request_path}: {json.dumps(answers, ensure_ascii=False)[:400]}")

    def p1(self):
        w = self.w
        ours, theirs = _alternate(
            self.reps_small, lambda: self._host(w.sign12k_req),
            lambda: self._xmlsec1(*self._sign_args(), "--output", w.dir / "x1.xml", w.tmpl12k))
        return {"ours": _summary(ours), "xmlsec1": _summary(theirs)}

    def p2(self):
        """500 documents in one request against xmlsec1's own way of signing many files in
        one process (key loaded once, each signed document written to its standard output,
        here a file as a user's redirection makes it):
            xmlsec1 sign --privkey-pem key,cert tmpl000.xml ... tmpl499.xml > x2.xml
        Both write their output to a file. Beside it, for the record, one `xmlsec1 sign
        --output` process per document, as a shell loop over the files runs it (measured on
        the first PER_PROCESS documents)."""
        w = self.w
        count = len(w.batch_templates)
        ours, theirs = _alternate(
            self.reps_large, lambda: self._host(w.sign_batch_req, w.dir / "ours2.out"),
            lambda: self._xmlsec1(*self._sign_args(), *w.batch_templates,
                                  out_path=w.dir / "x2.xml"))
        loops = [self._xmlsec1_per_process(w.batch_templates[:PER_PROCESS])
                 for _ in range(self.reps_large)]
        return {"ours": _summary(ours, count), "xmlsec1": _summary(theirs, count),
                "xmlsec1_per_process": _summary(loops, PER_PROCESS), "documents": count}

    def _xmlsec1_per_process(self, templates):
        """One `xmlsec1 sign --output` process for each template, one after the other."""
        runs = [self._xmlsec1(*self._sign_args(), "--output", self.w.dir / "x2one.xml", t)
                for t in templates]
        return type(runs[0])(sum(r.seconds for r in runs), max(r.peak_kib for r in runs), 0,
                             sum(r.cpu_seconds for r in runs))

    def p3(self):
        return self._large(self.w.sign30m_req, self.w.tmpl30m)

    def p60(self):
        """The largest request a browser passes (64 MiB): a 60 MB document, signature only."""
        result = self._large(self.w.sign60m_req, self.w.tmpl60m)
        result["request_bytes"] = self.w.sign60m_req.stat().st_size
        return result

    def _large(self, request, template):
        w = self.w
        ours, theirs = _alternate(
            self.reps_large, lambda: self._host(request),
            lambda: self._xmlsec1(*self._sign_args(), "--output", w.dir / "x3.xml", template))
        floor = [self._xmllint(template) for _ in range(self.reps_large)]
        return {"ours": _summary(ours), "xmlsec1": _summary(theirs),
                "xmllint_noout": _summary(floor)}

    def p4(self):
        w = self.w
        ours, theirs = _alternate(
            self.reps_small, lambda: self._host(w.verify12k_req),
            lambda: self._xmlsec1(*self._verify_args(), w.signed12k))
        return {"ours": _summary(ours), "xmlsec1": _summary(theirs)}

    def p5(self, requests):
        """One host serving `requests` requests, sign and verify in turn; resident memory
        sampled after the first 100 and every 1000 after."""
        w = self.w
        sign, verify = w.sign12k_req.read_bytes(), w.verify12k_req.read_bytes()
        host = LongLivedHost([w.host], w.host_env)
        per_kind = {"sign": [], "verify": []}
        samples = []
        start = time.perf_counter()
        for i in range(requests):
            kind, framed = ("sign", sign) if i % 2 == 0 else ("verify", verify)
            t0 = time.perf_counter()
            answer = host.ask_framed(framed)
            per_kind[kind].append(time.perf_counter() - t0)
            if b'"success":true' not in answer:
                raise RuntimeError(f"request {i}: {answer[:300]!r}")
            if i + 1 == 100 or (i + 1) % 1000 == 0:
                samples.append((i + 1, host.resident_kib()))
        total = time.perf_counter() - start
        host.close()
        theirs = self._xmlsec1_batch_mix()
        return {"requests": requests, "seconds_per_request": total / requests,
                "sign_median": statistics.median(per_kind["sign"]),
                "verify_median": statistics.median(per_kind["verify"]),
                "rss_samples": samples, "rss_growth_kib": samples[-1][1] - samples[0][1],
                "xmlsec1_per_document": theirs, "engine": self._engine_overhead()}

    def _xmlsec1_batch_mix(self):
        """xmlsec1's per-document cost of the same mix: half signed, half verified, in its
        batch mode (one process for many files)."""
        w = self.w
        count = len(w.batch_templates)
        signs, verifies = _alternate(
            self.reps_large, lambda: self._xmlsec1(*self._sign_args(), *w.batch_templates),
            lambda: self._xmlsec1(*self._verify_args(), *w.batch_signed))
        return (statistics.median(r.seconds for r in signs) +
                statistics.median(r.seconds for r in verifies)) / (2 * count)

    def _engine_overhead(self, rounds=400):
        """Per request in one host: getVersion (no engine) against a verify of a one-byte
        document, which builds the engine, initialises and shuts down the libraries and fails
        at the parse."""
        host = LongLivedHost([self.w.host], self.w.host_env)
        version = frame({"actionCode": "getVersion"})
        bare = frame({"actionCode": "verify", "xml": "<"})
        times = {"getVersion": [], "verify": []}
        for _ in range(rounds):
            for kind, framed in (("getVersion", version), ("verify", bare)):
                t0 = time.perf_counter()
                host.ask_framed(framed)
                times[kind].append(time.perf_counter() - t0)
        host.close()
        return {kind: statistics.median(values) for kind, values in times.items()}

    def floor(self):
        w = self.w
        parse12k = [self._xmllint(w.doc12k) for _ in range(self.reps_small)]
        parse30m = [self._xmllint(w.doc30m) for _ in range(self.reps_large)]
        digest, empty = _alternate(
            self.reps_large, lambda: self._streebog(w.c14n30m), lambda: self._streebog(w.empty))
        digest_seconds = (statistics.median(r.seconds for r in digest) -
                          statistics.median(r.seconds for r in empty))
        host_start, cli_start = _alternate(
            self.reps_small, lambda: self._host(w.empty),
            lambda: self._xmlsec1("--version"))
        return {"parse12k": _summary(parse12k), "parse30m": _summary(parse30m),
                "c14n30m_bytes": w.c14n30m.stat().st_size, "digest30m_seconds": digest_seconds,
                "host_start": _summary(host_start), "xmlsec1_start": _summary(cli_start)}

    def _xmllint(self, path):
        return _check(run_process(["xmllint", "--noout", str(path)], self.w.host_env),
                      "xmllint")

    def _streebog(self, path):
        return _check(run_process(["openssl", "dgst", "-streebog256", str(path)],
                                  self.w.pki.xmlsec_env()), "openssl dgst")
