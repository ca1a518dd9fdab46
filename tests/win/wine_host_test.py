"""The Windows bundle's QuilletHost.exe under Wine, driven over its standard streams.

Run by scripts/test-win.sh with QUILLET_WIN_BIN set to a bundle directory
(build-win/<arch>/bin) and WINE naming the loader for its architecture. Wine has no GOST
provider, no CertSelectCertificateW and cannot parse CRYPT_STRING_HEX_ANY, so signing, the
prompt and thumbprint parsing are covered by the Linux test set only; what runs here is
what the Windows side of the code does by itself: framing, answers, exit codes, the log
in C:\\tavlin.quillet, the version resource, the dependency probes and the binding.
"""

import json
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

BIN = os.environ["QUILLET_WIN_BIN"]
WINE = os.environ.get("WINE", "wine")
PREFIX = os.environ["WINEPREFIX"]
LOG_DIR = os.path.join(PREFIX, "drive_c", "tavlin.quillet")

VERSION_ANSWER = b'{"content":{"major":1,"minor":2},"success":true}'


def frame(body):
    if isinstance(body, str):
        body = body.encode()
    return struct.pack("<I", len(body)) + body


def request(**fields):
    return frame(json.dumps(fields, ensure_ascii=False))


def error_answer(text):
    body = {"errorMessage": "QuilletHost: " + text, "success": False}
    return frame(json.dumps(body, ensure_ascii=False, separators=(",", ":")))


def run_host(data, bin_dir=BIN):
    """Runs the host in its bundle directory; returns (output bytes, exit code)."""
    done = subprocess.run([WINE, os.path.join(bin_dir, "QuilletHost.exe")], input=data,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=bin_dir,
                          timeout=180, check=False)
    return done.stdout, done.returncode


def log_lines():
    lines = []
    for name in sorted(os.listdir(LOG_DIR)):
        with open(os.path.join(LOG_DIR, name), encoding="utf-8", errors="replace") as log:
            lines += log.read().splitlines()
    return lines


class Framing(unittest.TestCase):
    def test_answers_or_ends_exactly_as_the_input_demands(self):
        get_version = '{"actionCode":"getVersion"}'
        unknown = error_answer("Неизвестный код операции ' GetVersion '")
        cases = [
            ("getVersion, the exact bytes", b"\x1b\0\0\0" + get_version.encode(),
             b"\x30\0\0\0" + VERSION_ANSWER, 0),
            ("three requests back to back",
             frame(get_version) + frame('{"actionCode":"GetVersion"}') + frame("[]"),
             frame(VERSION_ANSWER) + unknown + error_answer("Неизвестный код операции '  '"), 0),
            ("a NUL after the object", frame(get_version.encode() + b"\0 ignored"),
             frame(VERSION_ANSWER), 0),
            ("empty input", b"", b"", 0),
            ("input cut inside a length", frame(get_version) + b"\x1b\0", frame(VERSION_ANSWER), 0),
            ("input cut inside a body", struct.pack("<I", 27) + b'{"actionCode":', b"", 0),
            ("answers before a fatal request, none after",
             frame(get_version) + frame("abc") + frame(get_version), frame(VERSION_ANSWER), 1),
            ("actionCode 5", frame('{"actionCode":5}'), b"", 1),
        ]
        for name, data, output, code in cases:
            with self.subTest(name):
                self.assertEqual(run_host(data), (output, code))


def padded_to(body, length, filler):
    """body (bytes) followed by filler bytes up to exactly length bytes."""
    rest = length - len(body)
    return body + (filler * rest)[:rest]


def unknown_action(length):
    """A request whose answer (the unknown action error) is exactly length bytes long."""
    base = len(error_answer("Неизвестный код операции '  '")) - 4
    code = "x" * (length - base)
    answer = error_answer("Неизвестный код операции ' %s '" % code)
    assert len(answer) - 4 == length
    return request(actionCode=code), answer


class BinaryFraming(unittest.TestCase):
    """Standard input and output carry raw bytes: a C runtime in text mode would turn CR LF
    into LF on input, LF into CR LF on output, and end the input at 0x1A."""

    def test_lengths_and_bodies_holding_line_ends_and_eof_bytes_pass_unchanged(self):
        get_version = b'{"actionCode":"getVersion"}'
        # Lengths 0x0D0A and 0x1A1A, bodies with CR LF as JSON white space and 0x1A after
        # the terminating NUL.
        crlf = padded_to(get_version, 0x0D0A, b"\r\n")
        eof = padded_to(get_version + b"\0", 0x1A1A, b"\x1a\r\n")
        lone_cr = padded_to(get_version, 0x0A1A, b"\r")
        # Answers whose lengths hold LF, CR and 0x1A bytes.
        ask_0a0d, answer_0a0d = unknown_action(0x0A0D)
        ask_1a0a, answer_1a0a = unknown_action(0x1A0A)
        cases = [
            ("CR LF in the body, length 0x0D0A", frame(crlf), frame(VERSION_ANSWER)),
            ("0x1A in the body and the length", frame(eof), frame(VERSION_ANSWER)),
            ("lone CRs, length 0x0A1A", frame(lone_cr), frame(VERSION_ANSWER)),
            ("answer of length 0x0A0D", ask_0a0d, answer_0a0d),
            ("answer of length 0x1A0A", ask_1a0a, answer_1a0a),
        ]
        for name, data, output in cases:
            with self.subTest(name):
                self.assertEqual(run_host(data), (output, 0))
        with self.subTest("all of them back to back"):
            self.assertEqual(run_host(b"".join(c[1] for c in cases)),
                             (b"".join(c[2] for c in cases), 0))


class LogAndBinding(unittest.TestCase):
    def setUp(self):
        shutil.rmtree(LOG_DIR, ignore_errors=True)
        os.makedirs(LOG_DIR)
        self.addCleanup(shutil.rmtree, LOG_DIR, True)
        self.bundle = tempfile.mkdtemp(prefix="quillet-bundle-")
        self.addCleanup(shutil.rmtree, self.bundle, True)
        shutil.copytree(BIN, self.bundle, dirs_exist_ok=True)

    def verify_twice(self):
        return run_host(request(actionCode="verify", xml="<a/>") * 2, self.bundle)

    def test_each_request_binds_and_initialises_again(self):
        output, code = self.verify_twice()
        answer = error_answer("в xml документе отсутствует подпись")
        self.assertEqual((output, code), (answer * 2, 0))
        lines = log_lines()
        self.assertEqual(sum("Plugin version (NM): 1.2.0.0" in line for line in lines), 2, lines)
        # Every line carries its local time (Windows' C runtime writes nothing for %F %T).
        stamped = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: ")
        for line in lines:
            if "Plugin version" in line or "Initialization: " in line:
                self.assertTrue(stamped.match(line), line)
        headers = [line for line in lines if " VektQuilletLog " in line]
        self.assertTrue(headers, lines)
        for line in headers:
            self.assertRegex(line, r" VektQuilletLog \d{4}-\d\d-\d\d \d\d:\d\d:\d\d >")
        self.assertEqual(sum("Initialization: 0 (" in line for line in lines), 2, lines)
        # InitXmlSec with the CryptoAPI back end succeeded both times.
        self.assertFalse(any("Initialization failed" in line for line in lines), lines)

    def binding_lines(self):
        lines = log_lines()
        return lines, [line for line in lines if "Initialization: " in line]

    def test_a_dependency_missing_from_the_bundle_but_found_on_the_path(self):
        # The probe loads by full path in the host's directory; the proxy's own imports
        # go through the search order, where another copy lets it load and bind.
        elsewhere = tempfile.mkdtemp(prefix="quillet-path-")
        self.addCleanup(shutil.rmtree, elsewhere, True)
        shutil.move(os.path.join(self.bundle, "zlib1.dll"), elsewhere)
        os.environ["WINEPATH"] = elsewhere
        self.addCleanup(os.environ.pop, "WINEPATH")
        message = error_answer("не удалось загрузить необходимые библиотеки")
        self.assertEqual(self.verify_twice(), (message * 2, 0))
        lines, binding = self.binding_lines()
        probes = [line for line in lines if "probe" in line]
        self.assertEqual(len(probes), 2 * 4, lines)  # three probes and the failure
        self.assertIn("ERROR=102 (1st probe failed ", probes[3])
        self.assertTrue(probes[3].endswith("zlib1.dll)"), probes[3])
        self.assertEqual(len(binding), 2, lines)
        for line in binding:
            self.assertIn("Initialization: 107 (", line)
            self.assertNotIn("(0000000000000000,", line)  # the proxy is loaded and bound
            self.assertNotIn(" 00000000]", line)
        self.assertFalse(any("Initialization: 0 (" in line for line in lines), lines)

    def test_the_proxy_or_its_imports_missing(self):
        # Without a DLL the proxy imports, the proxy's failure replaces the probe's code.
        message = error_answer("не удалось загрузить прокси-библиотеку")
        for name in ("QuilletProxy.dll", "libxslt-1.dll"):
            with self.subTest(name):
                shutil.copytree(BIN, self.bundle, dirs_exist_ok=True)
                os.remove(os.path.join(self.bundle, name))
                self.assertEqual(self.verify_twice(), (message * 2, 0))
                lines, binding = self.binding_lines()
                self.assertEqual(len(binding), 2, lines)
                for line in binding:
                    self.assertIn("Initialization: 105 (00000000", line)
                shutil.rmtree(LOG_DIR)
                os.makedirs(LOG_DIR)


if __name__ == "__main__":
    unittest.main(verbosity=2)
