"""The per-user installer QuilletSetup-<version>.exe under Wine: a silent install, the files
and registry keys it leaves, the host answering getVersion when started the way a browser
starts it (the registry key names the manifest, the manifest's path names the program), and
a silent uninstall that leaves nothing behind.

Run by scripts/test-win.sh with QUILLET_INSTALLER naming the installer, QUILLET_WIN_BIN the
bundle it was made from and WINE the loader for the bundle's architecture, in the test
set's Wine prefix.
"""

import json
import os
import struct
import subprocess
import unittest

INSTALLER = os.environ["QUILLET_INSTALLER"]
BIN = os.environ["QUILLET_WIN_BIN"]
WINE = os.environ.get("WINE", "wine")
NAME = "tavlin.quillet"
HOST_KEYS = {
    r"HKCU\Software\Google\Chrome\NativeMessagingHosts\tavlin.quillet": "chromium",
    r"HKCU\Software\Chromium\NativeMessagingHosts\tavlin.quillet": "chromium",
    r"HKCU\Software\Microsoft\Edge\NativeMessagingHosts\tavlin.quillet": "chromium",
    r"HKCU\Software\Mozilla\NativeMessagingHosts\tavlin.quillet": "firefox",
}
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tavlin.quillet"
# Parents the installer may make; it must not leave them behind empty.
PARENT_KEYS = [r"HKCU\Software\Google", r"HKCU\Software\Chromium",
               r"HKCU\Software\Microsoft\Edge", r"HKCU\Software\Mozilla"]
VERSION_ANSWER = b'{"content":{"major":1,"minor":2},"success":true}'


def wine(*args, wait_for_all=False, timeout=300):
    """Runs a Windows program; with wait_for_all, also waits until every process it
    started has ended (the uninstaller runs on from a copy of itself)."""
    done = subprocess.run([WINE, *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=timeout, check=False)
    if wait_for_all:
        subprocess.run(["wineserver", "-w"], check=False, timeout=timeout)
    return done


def reg_values(key):
    """The values of a registry key as {name: data} (default value under ""); None when
    the key does not exist."""
    done = wine("reg", "query", key)
    if done.returncode != 0:
        return None
    values = {}
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            name = "" if parts[0] == "(Default)" else parts[0]
            values[name] = parts[2] if len(parts) == 3 else ""
    return values


def unix_path(windows_path):
    done = wine("winepath", "-u", windows_path)
    return done.stdout.decode().strip()


def local_app_data():
    done = wine("cmd", "/c", "echo %LOCALAPPDATA%")
    return done.stdout.decode().strip()


class Installer(unittest.TestCase):
    def setUp(self):
        self.install_dir = local_app_data() + r"\Programs\Quillet"
        self.unix_dir = unix_path(self.install_dir)

    def test_silent_install_register_run_and_uninstall_leaving_nothing(self):
        self.assertFalse(os.path.exists(self.unix_dir), "a fresh prefix has no Quillet")
        self.assertEqual(wine(INSTALLER, "/S", wait_for_all=True).returncode, 0)

        with self.subTest("the bundle and the manifests in the user's program folder"):
            expected = sorted(os.listdir(BIN) + [NAME + ".chromium.json", NAME + ".firefox.json",
                                                 "Uninstall.exe"])
            self.assertEqual(sorted(os.listdir(self.unix_dir)), expected)
            for name in os.listdir(BIN):
                with open(os.path.join(BIN, name), "rb") as a, \
                        open(os.path.join(self.unix_dir, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), name)

        for key, kind in HOST_KEYS.items():
            with self.subTest(key):
                values = reg_values(key)
                self.assertIsNotNone(values, key)
                manifest_path = values.get("")
                self.assertEqual(manifest_path.lower(),
                                 (self.install_dir + "\\" + NAME + "." + kind + ".json").lower())
                self.check_manifest_and_run_host(unix_path(manifest_path), kind)

        with self.subTest("uninstaller entry"):
            values = reg_values(UNINSTALL_KEY)
            self.assertIsNotNone(values)
            self.assertEqual(values["DisplayName"], "Quillet")
            self.assertEqual(values["DisplayVersion"], "1.2.0.0")
            self.assertEqual(values["UninstallString"].lower(),
                             ('"' + self.install_dir + '\\Uninstall.exe"').lower())

        uninstaller = os.path.join(self.unix_dir, "Uninstall.exe")
        self.assertEqual(wine(uninstaller, "/S", wait_for_all=True).returncode, 0)
        with self.subTest("nothing left behind"):
            self.assertFalse(os.path.exists(self.unix_dir), self.unix_dir)
            for key in list(HOST_KEYS) + [UNINSTALL_KEY] + PARENT_KEYS:
                self.assertIsNone(reg_values(key), key)

    def check_manifest_and_run_host(self, manifest_file, kind):
        with open(manifest_file, encoding="utf-8") as f:
            manifest = json.load(f)
        allowed = ("allowed_origins", ["chrome-extension://cmdddjgdannanadllimbggeplkhejbig/"]) \
            if kind == "chromium" else ("allowed_extensions", ["quillet-sample@tavlin"])
        self.assertEqual(manifest, {
            "name": NAME,
            "description": "Quillet: signs and verifies XML documents with GOST certificates",
            "path": "QuilletHost.exe", "type": "stdio", allowed[0]: allowed[1]})
        # A relative path is resolved against the manifest's folder, as the browsers do.
        host = os.path.join(os.path.dirname(manifest_file), manifest["path"])
        request = b'{"actionCode":"getVersion"}'
        done = subprocess.run([WINE, host], input=struct.pack("<I", len(request)) + request,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=180,
                              cwd="/", check=False)
        self.assertEqual((done.stdout, done.returncode),
                         (struct.pack("<I", len(VERSION_ANSWER)) + VERSION_ANSWER, 0))


if __name__ == "__main__":
    unittest.main(verbosity=2)
