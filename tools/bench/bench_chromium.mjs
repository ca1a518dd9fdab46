// One-shot getVersion through headless Chromium's chrome.runtime.sendNativeMessage, from
// the sample extension's page, to two native messaging hosts registered for one profile:
// QuilletHost and the benchmark's 10-line host. Chromium starts a fresh host process for
// every message. Alternates the two, and prints {"ours": [ms...], "ten_line": [ms...]}.
//
// Usage: node bench_chromium.mjs WORK_DIR QUILLET_HOST TEN_LINE_HOST REPETITIONS
// Uses the browser tests' set-up (tests/browser/lib) and their playwright-core.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const top = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const browserTests = path.join(top, 'tests/browser');
const { chromium } = createRequire(path.join(browserTests, 'package.json'))('playwright-core');
const { EXTENSION_ID, chromiumOptions } = await import(path.join(browserTests, 'lib/setup.mjs'));

const [workDir, quilletHost, tenLineHost, repetitions] = process.argv.slice(2);
const HOSTS = { ours: ['tavlin.quillet', quilletHost], ten_line: ['tavlin.quillet_ten_line', tenLineHost] };

const profile = path.join(workDir, 'chromium-profile');
fs.rmSync(profile, { recursive: true, force: true });
const manifests = path.join(profile, 'NativeMessagingHosts');
fs.mkdirSync(manifests, { recursive: true });
for (const [name, program] of Object.values(HOSTS)) {
  fs.writeFileSync(path.join(manifests, `${name}.json`), JSON.stringify({
    name, description: 'benchmark host', path: program, type: 'stdio',
    allowed_origins: [`chrome-extension://${EXTENSION_ID}/`],
  }));
}

// The hosts' environment: the benchmark's own home, no display, no debugger output.
const env = { ...process.env, HOME: path.join(workDir, 'home'), XDG_DATA_HOME: path.join(workDir, 'home', 'data') };
for (const name of ['DISPLAY', 'WAYLAND_DISPLAY', 'QUILLET_DEBUG_OUTPUT', 'OPENSSL_CONF']) delete env[name];

const context = await chromium.launchPersistentContext(profile, chromiumOptions(env));
try {
  const page = await context.newPage();
  await page.goto(`chrome-extension://${EXTENSION_ID}/page.html`);
  // Milliseconds of one sendNativeMessage round, and its answer.
  const ask = (name) => page.evaluate(async (host) => {
    const start = performance.now();
    const answer = await chrome.runtime.sendNativeMessage(host, { actionCode: 'getVersion' });
    return { ms: performance.now() - start, answer };
  }, name);
  const times = { ours: [], ten_line: [] };
  const expected = JSON.stringify({ content: { major: 1, minor: 2 }, success: true });
  for (const kind of Object.keys(HOSTS)) await ask(HOSTS[kind][0]);  // warm the browser side
  for (let rep = 0; rep < Number(repetitions); ++rep) {
    const order = rep % 2 === 0 ? ['ours', 'ten_line'] : ['ten_line', 'ours'];
    for (const kind of order) {
      const { ms, answer } = await ask(HOSTS[kind][0]);
      if (JSON.stringify(answer) !== expected) throw new Error(`${kind} answered ${JSON.stringify(answer)}`);
      times[kind].push(ms);
    }
  }
  console.log(JSON.stringify(times));
} finally {
  await context.close();
}
