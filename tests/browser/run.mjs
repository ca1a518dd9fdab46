// Runs one browser test suite with node's test runner: "register" (the registration
// command; needs no browser), "extension" (the sample extension in real Chromium) or
// "firefox" (its Firefox variant in real Firefox).
// Exits 77, which CTest reports as skipped, only when Chromium cannot start here at all,
// or Firefox is not installed; a missing playwright-core or puppeteer-core is a failure
// (scripts/install-deps.sh installs them).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const SKIP = 77;
const here = path.dirname(fileURLToPath(import.meta.url));
const suite = process.argv[2];
if (!['register', 'extension', 'firefox'].includes(suite)) {
  console.error('usage: node run.mjs register|extension|firefox');
  process.exit(2);
}

// Starts Chromium once with nothing loaded. Resolves with the reason it cannot start,
// or null when it can.
async function chromiumCannotStart() {
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch (error) {
    console.error(`playwright-core is not installed in ${here} (run scripts/install-deps.sh): ${error.message}`);
    process.exit(1);
  }
  const { CHROMIUM } = await import('./lib/setup.mjs');
  if (!fs.existsSync(CHROMIUM)) return `${CHROMIUM} does not exist`;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quillet-chromium-probe-'));
  try {
    const context = await chromium.launchPersistentContext(profile, {
      executablePath: CHROMIUM,
      args: ['--headless=new', '--disable-gpu', '--no-first-run'],
      timeout: 60_000,
    });
    await context.close();
    return null;
  } catch (error) {
    return error.message.split('\n')[0];
  } finally {
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

if (suite === 'extension') {
  const reason = await chromiumCannotStart();
  if (reason !== null) {
    console.log(`SKIPPED: Chromium cannot start: ${reason}`);
    process.exit(SKIP);
  }
}
if (suite === 'firefox') {
  try {
    await import('puppeteer-core');
  } catch (error) {
    console.error(`puppeteer-core is not installed in ${here} (run scripts/install-deps.sh): ${error.message}`);
    process.exit(1);
  }
  const { FIREFOX } = await import('./lib/setup.mjs');
  if (!fs.existsSync(FIREFOX)) {
    console.log(`SKIPPED: ${FIREFOX} does not exist`);
    process.exit(SKIP);
  }
}
const result = spawnSync(process.execPath,
  ['--test', '--test-concurrency=1', path.join(here, `${suite}.test.mjs`)],
  { stdio: 'inherit' });
process.exit(result.status ?? 1);
