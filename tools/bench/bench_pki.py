"""The benchmark's certificates: a GOST R 34.10-2012 (256) root CA with an empty CRL and a
signer issued by it, made once with OpenSSL's GOST engine and put into the benchmark home's
stores with quillet-store, so that our host and xmlsec1 use the same key and certificate."""

import os
import pathlib
import subprocess

GOST_CONFIG = """openssl_conf = openssl_init
[openssl_init]
engines = engines
[engines]
gost = gost
[gost]
engine_id = gost
default_algorithms = ALL
"""

CA_CONFIG = """[ca]
default_ca = bench
[bench]
database = {dir}/index.txt
crlnumber = {dir}/crlnumber
default_md = md_gost12_256
default_crl_days = 3650
"""


class Pki:
    """Paths of the benchmark's key material under `dir`."""

    def __init__(self, dir):
        self.dir = pathlib.Path(dir)
        self.openssl_conf = self.dir / "gost-openssl.cnf"
        self.root = self.dir / "root.pem"
        self.root_key = self.dir / "root.key"
        self.crl = self.dir / "root.crl"
        self.signer = self.dir / "signer.pem"
        self.signer_key = self.dir / "signer.key"

    def xmlsec_env(self):
        """The environment for xmlsec1 and openssl: the GOST engine through a config file."""
        env = dict(os.environ)
        env["OPENSSL_CONF"] = str(self.openssl_conf)
        return env

    def thumbprint(self):
        """The signer's SHA-1 thumbprint as bare upper-case hex."""
        out = subprocess.run(["openssl", "x509", "-in", self.signer, "-noout", "-fingerprint",
                              "-sha1"], check=True, capture_output=True, text=True).stdout
        return out.strip().split("=", 1)[1].replace(":", "")


def _openssl(pki, *args):
    subprocess.run(["openssl", *map(str, args)], check=True, env=pki.xmlsec_env(),
                   capture_output=True)


def _make_root(pki):
    _openssl(pki, "genpkey", "-algorithm", "gost2012_256", "-pkeyopt", "paramset:A",
             "-out", pki.root_key)
    _openssl(pki, "req", "-new", "-x509", "-key", pki.root_key, "-days", "3650", "-utf8",
             "-subj", "/CN=Quillet Bench Root CA/O=Quillet Bench",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", "-out", pki.root)


def _make_crl(pki):
    (pki.dir / "index.txt").write_text("")
    (pki.dir / "crlnumber").write_text("01\n")
    ca_conf = pki.dir / "ca.cnf"
    ca_conf.write_text(CA_CONFIG.format(dir=pki.dir))
    _openssl(pki, "ca", "-config", ca_conf, "-gencrl", "-keyfile", pki.root_key, "-cert",
             pki.root, "-out", pki.crl)


def _make_signer(pki):
    csr = pki.dir / "signer.csr"
    ext = pki.dir / "signer.ext"
    _openssl(pki, "genpkey", "-algorithm", "gost2012_256", "-pkeyopt", "paramset:A",
             "-out", pki.signer_key)
    _openssl(pki, "req", "-new", "-key", pki.signer_key, "-utf8",
             "-subj", "/CN=Тестовый подписант/O=Quillet Bench", "-out", csr)
    ext.write_text("keyUsage=critical,digitalSignature,nonRepudiation\n")
    _openssl(pki, "x509", "-req", "-in", csr, "-CA", pki.root, "-CAkey", pki.root_key,
             "-CAcreateserial", "-days", "365", "-extfile", ext, "-out", pki.signer)


def _fill_stores(pki, bin_dir, host_env):
    store_tool = str(pathlib.Path(bin_dir) / "quillet-store")
    run = lambda *args: subprocess.run([store_tool, *map(str, args)], check=True, env=host_env,
                                       capture_output=True)
    run("import", "Root", pki.root)
    run("import", "My", pki.signer, "--key", pki.signer_key)
    stores = pathlib.Path(host_env["XDG_DATA_HOME"]) / "tavlin.quillet" / "stores" / "Root"
    (stores / "bench-root.crl").write_bytes(pki.crl.read_bytes())


def make_pki(dir, bin_dir, host_env):
    """Makes the key material in `dir` and the stores of `host_env`'s home, once."""
    pki = Pki(dir)
    if pki.signer.exists():
        return pki
    pki.dir.mkdir(parents=True, exist_ok=True)
    pki.openssl_conf.write_text(GOST_CONFIG)
    _make_root(pki)
    _make_crl(pki)
    _make_signer(pki)
    _fill_stores(pki, bin_dir, host_env)
    return pki
