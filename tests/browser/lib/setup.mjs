// Shared set-up of the browser tests: where things are, a home with certificate stores
// from the test PKI, the host registered for a Chromium profile, and Chromium itself
// with the sample extension loaded.
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const SOURCE_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
export const REGISTER = path.join(SOURCE_DIR, 'tools/browser/register-host.sh');
export const HOST_NAME = 'tavlin.quillet';
export const CHROMIUM = process.env.QUILLET_CHROMIUM ?? '/usr/bin/chromium';

export const FIREFOX = process.env.QUILLET_FIREFOX ?? '/usr/bin/firefox-esr';
// The Firefox variant of the sample extension's ID.
export const FIREFOX_EXTENSION_ID = 'quillet-sample@tavlin';

// QUILLET_INSTALLED=1: the suites test the installed package, whose host the browsers find
// through its system-wide manifests; nothing is registered for the test's profiles.
export const INSTALLED = process.env.QUILLET_INSTALLED === '1';
export const INSTALLED_DIR = '/usr/lib/quillet';
// The sample extension: the source tree's, or the copies the package installs.
export const EXTENSION_DIR = INSTALLED ? '/usr/share/quillet/extension' : path.join(SOURCE_DIR, 'extension');
export const FIREFOX_EXTENSION_DIR = INSTALLED ? '/usr/share/quillet/extension-firefox' : null;
// The system-wide manifest names, by browser family.
export const SYSTEM_MANIFESTS = {
  chromium: `/etc/chromium/native-messaging-hosts/${HOST_NAME}.json`,
  firefox: `/usr/lib/mozilla/native-messaging-hosts/${HOST_NAME}.json`,
};

// The build under test (CTest sets these; the defaults are the plain build, or the
// installed package).
export const BIN_DIR = process.env.QUILLET_BIN_DIR ?? (INSTALLED ? INSTALLED_DIR : path.join(SOURCE_DIR, 'build/bin'));
export const STORES_TOOL =
  process.env.QUILLET_STORES_TOOL ?? path.join(SOURCE_DIR, 'build/tests/quillet_browser_stores');
export const WORK_DIR = process.env.QUILLET_BROWSER_WORK ?? path.join(SOURCE_DIR, 'build/browser');

// The extension ID Chromium gives the extension of a manifest: the first 32 hex digits of
// the SHA-256 of the DER public key in "key", each digit 0-f written as a letter a-p.
export function extensionIdOf(manifestPath) {
  const manifest = JSON.parse(fs.readFileSync(manifestPath, 'utf8'));
  const digest = createHash('sha256').update(Buffer.from(manifest.key, 'base64')).digest('hex');
  return [...digest.slice(0, 32)].map((d) => String.fromCharCode(97 + parseInt(d, 16))).join('');
}

export const EXTENSION_ID = extensionIdOf(path.join(EXTENSION_DIR, 'manifest.json'));

// A new empty directory under the work directory.
export function freshDir(prefix) {
  fs.mkdirSync(WORK_DIR, { recursive: true });
  return fs.mkdtempSync(path.join(WORK_DIR, `${prefix}-`));
}

// Runs the registration command with the arguments and the environment; returns its
// standard output. Throws (with its standard error) when it fails.
export function register(args, env = process.env) {
  return execFileSync('bash', [REGISTER, ...args], { env, encoding: 'utf8', stdio: 'pipe' });
}

// A home directory with the current user's stores (My with two signers, Root, CA) made
// by the test PKI maker. Returns {home, pki} where pki is what the maker printed.
export function makeHome(dir) {
  const home = path.join(dir, 'home');
  fs.mkdirSync(home, { recursive: true });
  const printed = execFileSync(STORES_TOOL, [home], { encoding: 'utf8' });
  return { home, pki: JSON.parse(printed) };
}

// The environment Chromium runs with, and so the host it starts: the test's home for the
// stores and the log, no display (so that a selection dialog cannot open), and sanitizer
// reports of the host written to files the tests look at.
export function browserEnv(home, reportDir) {
  const env = { ...process.env, HOME: home, XDG_DATA_HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  env.ASAN_OPTIONS = `log_path=${path.join(reportDir, 'asan')}`;
  env.UBSAN_OPTIONS = `log_path=${path.join(reportDir, 'ubsan')}:print_stacktrace=1`;
  // Without print_suppressions=0 a clean run that met GTK's lifetime allocations (the
  // dialog) would still leave a file with the suppression statistics.
  env.LSAN_OPTIONS = `suppressions=${path.join(SOURCE_DIR, 'tests/lsan.supp')}:print_suppressions=0`;
  env.QUILLET_DEBUG_OUTPUT = path.join(reportDir, 'debug-output.txt');
  return env;
}

// Sanitizer reports the host wrote into the report directory (none for a clean run).
export function sanitizerReports(reportDir) {
  return fs.readdirSync(reportDir)
    .filter((name) => name.startsWith('asan') || name.startsWith('ubsan'))
    .map((name) => `${name}:\n${fs.readFileSync(path.join(reportDir, name), 'utf8')}`);
}

// Options for playwright's launchPersistentContext: Debian's Chromium in its new headless
// mode with only the sample extension loaded.
export function chromiumOptions(env, extensionDir = EXTENSION_DIR) {
  return {
    executablePath: CHROMIUM,
    headless: false,
    ignoreDefaultArgs: ['--disable-extensions'],
    args: [
      '--headless=new', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--load-extension=${extensionDir}`, `--disable-extensions-except=${extensionDir}`,
    ],
    env,
    viewport: { width: 1000, height: 1200 },
  };
}

// Process IDs of running programs whose executable is `program`.
export function processesOf(program) {
  const target = fs.realpathSync(program);
  const found = [];
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      if (fs.readlinkSync(`/proc/${entry}/exe`) === target) found.push(Number(entry));
    } catch {
      // gone already, or not ours to look at
    }
  }
  return found;
}

// Waits until no process of `program` runs, looking every 100 ms for at most `limitMs`.
// Resolves with the process IDs still running then (none when all have exited).
export async function hostsRunningAfterWaiting(program, limitMs) {
  for (let waited = 0; ; waited += 100) {
    const running = processesOf(program);
    if (running.length === 0 || waited >= limitMs) return running;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}
