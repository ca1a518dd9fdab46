// The bundled xmlsec1 command-line tool (the GOST-enabled build in the runtime directory)
// as an independent signer and verifier. It gets the GOST engine from an OpenSSL
// configuration file of its own; the host never needs one.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { BIN_DIR } from './setup.mjs';

const GOST_CONFIG = `openssl_conf = openssl_init
[openssl_init]
engines = engines
[engines]
gost = gost
[gost]
engine_id = gost
default_algorithms = ALL
`;

function xmlsec1(args, workDir) {
  const config = path.join(workDir, 'xmlsec1-openssl.cnf');
  fs.writeFileSync(config, GOST_CONFIG);
  const result = spawnSync(path.join(BIN_DIR, 'xmlsec1'), args, {
    env: { ...process.env, OPENSSL_CONF: config },
    encoding: 'utf8',
  });
  return { status: result.status, report: `${result.stdout}${result.stderr}`, stderr: result.stderr };
}

// PEM text of a certificate given as Base64 DER.
export function pemOf(base64) {
  return `-----BEGIN CERTIFICATE-----\n${base64.match(/.{1,64}/g).join('\n')}\n-----END CERTIFICATE-----\n`;
}

// Verifies a signed document, trusting the root and taking the intermediate as untrusted;
// the signer's certificate comes from the document's KeyInfo. Returns {ok, report}.
export function verifyWithXmlsec1(signedXml, { root, intermediate }, workDir) {
  const file = path.join(workDir, 'verify.xml');
  fs.writeFileSync(file, signedXml);
  const { status, report, stderr } = xmlsec1(
    ['verify', '--enabled-key-data', 'x509', '--trusted-pem', root, '--untrusted-pem', intermediate, file],
    workDir);
  return { ok: status === 0 && /^OK$/m.test(stderr), report };
}

// Signs a template (a document holding an empty Signature element) with the key and
// certificate files. Returns the signed document; throws with xmlsec1's report on failure.
export function signWithXmlsec1(templateXml, keyPath, certPath, workDir) {
  const file = path.join(workDir, 'template.xml');
  const output = path.join(workDir, 'signed-by-xmlsec1.xml');
  fs.writeFileSync(file, templateXml);
  const { status, report } = xmlsec1(
    ['sign', '--privkey-pem', `${keyPath},${certPath}`, '--output', output, file], workDir);
  if (status !== 0) throw new Error(`xmlsec1 sign failed:\n${report}`);
  return fs.readFileSync(output, 'utf8');
}
