// The Firefox variant of the sample extension in real headless Firefox (Debian's
// firefox-esr, driven over WebDriver BiDi by puppeteer-core), talking to the real
// QuilletHost. The add-on is installed as a temporary add-on; its page is opened at a
// fixed internal UUID given by preference. The host is found through the per-user
// manifest in the test's home, or, for the installed package, through the system-wide one.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import puppeteer from 'puppeteer-core';

import {
  BIN_DIR, FIREFOX, FIREFOX_EXTENSION_DIR, FIREFOX_EXTENSION_ID, HOST_NAME, INSTALLED, SOURCE_DIR, SYSTEM_MANIFESTS, browserEnv,
  freshDir, hostsRunningAfterWaiting, makeHome, register, sanitizerReports,
} from './lib/setup.mjs';
import { verifyWithXmlsec1 } from './lib/xmlsec.mjs';

const HOST = path.join(BIN_DIR, 'QuilletHost');
// Any fixed UUID: Firefox gives the add-on this one instead of a random one.
const UUID = '5b0f6a52-8f4e-4b63-9d0c-2b7a4e1c9f30';
const PAGE_URL = `moz-extension://${UUID}/page.html`;
const DOCUMENT = '<?xml version="1.0" encoding="UTF-8"?>\n<Документ><Сумма>100</Сумма></Документ>';
const VERSION = { content: { major: 1, minor: 2 }, success: true };
const ONE_MIB = 1024 * 1024;
// Firefox's own text for an answer over its limit.
const TOO_LARGE = /exceeds the limit of 1048576 bytes/;

let dir;
let pki;
let reports;
let browser;
let page;

before(async () => {
  dir = freshDir('firefox');
  let home;
  ({ home, pki } = makeHome(dir));
  reports = path.join(dir, 'reports');
  fs.mkdirSync(reports);
  const env = browserEnv(home, reports);
  if (!INSTALLED) register(['register', '--browser', 'firefox', '--host', HOST], env);
  // The installed package's copy, or one assembled from the source tree.
  let extension = FIREFOX_EXTENSION_DIR;
  if (extension === null) {
    extension = path.join(dir, 'extension');
    execFileSync('bash', [path.join(SOURCE_DIR, 'tools/browser/firefox-extension.sh'), extension]);
  }
  browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: FIREFOX,
    headless: true,
    userDataDir: path.join(dir, 'profile'),
    env,
    extraPrefsFirefox: { 'extensions.webextensions.uuids': JSON.stringify({ [FIREFOX_EXTENSION_ID]: UUID }) },
    // Scripts may run in the add-on's own page only with this.
    args: ['--remote-allow-system-access'],
    protocolTimeout: 120_000,
  });
  assert.equal(await browser.installExtension(extension), FIREFOX_EXTENSION_ID);
  page = await browser.newPage();
  // Firefox sends no load event for an add-on's page: the navigation is not awaited, the
  // page's own script having run is.
  page.goto(PAGE_URL).catch(() => {});
  await page.waitForFunction(() => location.protocol === 'moz-extension:' && window.quillet !== undefined,
                             { timeout: 60_000 });
});

after(async () => {
  await browser?.close();
});

// What the page shows after the last request.
function shown() {
  return page.evaluate(() => ({
    state: document.getElementById('status').dataset.state,
    text: document.getElementById('status').textContent,
    answer: document.getElementById('answer').textContent,
  }));
}

// Clicks a button of the page and waits until the page shows the outcome.
async function press(buttonId) {
  await page.click(`#${buttonId}`);
  await page.waitForFunction(() => document.getElementById('status').dataset.state !== 'pending',
                             { timeout: 120_000 });
  return shown();
}

// Sets a field as typing would (the page listens for input on the thumbprint).
function fill(id, value) {
  return page.evaluate((id, value) => {
    const field = document.getElementById(id);
    field.value = value;
    field.dispatchEvent(new Event('input', { bubbles: true }));
  }, id, value);
}

async function useTransport(transport) {
  await page.click(`input[name="transport"][value="${transport}"]`);
}

// Sends requests from the page through the sample's client; settles each.
function sendFromPage(how, requests) {
  return page.evaluate(async (how, requests) => {
    const settle = (promise) => promise.then((answer) => ({ answer }), (error) => ({ error: error.message }));
    const send = how === 'port' ? (r) => quillet.port.send(r) : (r) => quillet.sendOnce(r);
    return Promise.all(requests.map((request) => settle(send(request))));
  }, how, requests);
}

function unknownActionAnswer(code) {
  return { errorMessage: `QuilletHost: Неизвестный код операции ' ${code} '`, success: false };
}

// An "actionCode" whose error answer is exactly `size` bytes long on the wire.
function actionCodeForAnswerOf(size) {
  return 'x'.repeat(size - Buffer.byteLength(JSON.stringify(unknownActionAnswer(''))));
}

test('the host is found through the manifest this run is about', () => {
  const perUser = path.join(dir, 'home/.mozilla/native-messaging-hosts', `${HOST_NAME}.json`);
  const manifest = JSON.parse(fs.readFileSync(INSTALLED ? SYSTEM_MANIFESTS.firefox : perUser, 'utf8'));
  assert.equal(manifest.path, HOST);
  assert.deepEqual(manifest.allowed_extensions, [FIREFOX_EXTENSION_ID]);
  assert.equal(fs.existsSync(perUser), !INSTALLED);
});

describe('getVersion', () => {
  for (const transport of ['once', 'port']) {
    test(`answered and shown (${transport === 'once' ? 'sendNativeMessage' : 'connectNative'})`, async () => {
      await useTransport(transport);
      const outcome = await press('getVersion');
      assert.equal(outcome.state, 'ok', outcome.text);
      assert.equal(outcome.text, 'Host version 1.2');
      assert.deepEqual(JSON.parse(outcome.answer), VERSION);
      assert.equal(await page.evaluate(() => quillet.port.connected), transport === 'port');
    });
  }
});

describe('sign and verify', () => {
  test('a document signed with a thumbprint verifies with xmlsec1 and on the page', async () => {
    for (const transport of ['once', 'port']) {
      await useTransport(transport);
      const signer = pki.signers.plain;
      await fill('xml', DOCUMENT);
      await fill('thumbprint', signer.thumbprint);
      const signed = await press('sign');
      assert.equal(signed.state, 'ok', `${transport}: ${signed.text}`);
      const result = await page.evaluate(() => document.getElementById('result').value);
      assert.ok(result.includes('<Сумма>100</Сумма>'));
      const check = verifyWithXmlsec1(result, pki, dir);
      assert.ok(check.ok, check.report);

      // The page puts the signed document into the verify field itself.
      const verified = await press('verify');
      assert.equal(verified.state, 'ok', `${transport}: ${verified.text}`);
      assert.deepEqual(JSON.parse(verified.answer), { success: true });

      await fill('signed', result.replace('<Сумма>100</Сумма>', '<Сумма>900</Сумма>'));
      const tampered = await press('verify');
      assert.equal(tampered.state, 'error');
      assert.equal(tampered.text, 'QuilletHost: подпись не верна');
    }
  });

  test('an unknown thumbprint is shown as the host\'s error, in Russian', async () => {
    await useTransport('once');
    await fill('thumbprint', '00'.repeat(20));
    const outcome = await press('sign');
    assert.equal(outcome.state, 'error');
    assert.equal(outcome.text, 'QuilletHost: сертификат не найден в хранилище сертификатов');
  });
});

describe('one long-lived port', () => {
  test('answers several requests sent at once in order, on one host process', async () => {
    const codes = ['первый', 'second', 'подпись «ГОСТ» ёЁ'];
    const answers = await sendFromPage('port', [
      { actionCode: codes[0] }, { actionCode: 'getVersion' }, { actionCode: codes[1] }, { actionCode: codes[2] },
    ]);
    assert.deepEqual(answers, [
      { answer: unknownActionAnswer(codes[0]) },
      { answer: VERSION },
      { answer: unknownActionAnswer(codes[1]) },
      { answer: unknownActionAnswer(codes[2]) },
    ]);
    const [one] = await sendFromPage('once', [{ actionCode: codes[2] }]);
    assert.deepEqual(one, { answer: unknownActionAnswer(codes[2]) });
  });

  test('closing the port ends the connection; the next request opens a new one', async () => {
    assert.deepEqual(await sendFromPage('port', [{ actionCode: 'getVersion' }]), [{ answer: VERSION }]);
    await page.evaluate(() => quillet.port.close());
    assert.equal(await page.evaluate(() => quillet.port.connected), false);
    assert.deepEqual(await sendFromPage('port', [{ actionCode: 'getVersion' }]), [{ answer: VERSION }]);
    assert.equal(await page.evaluate(() => quillet.port.connected), true);
  });
});

describe('the 1 MiB limit on answers', () => {
  test('an answer of exactly 1 MiB arrives; one byte more fails with Firefox\'s reason', async () => {
    const [fits, tooLarge] = await sendFromPage('once', [
      { actionCode: actionCodeForAnswerOf(ONE_MIB) },
      { actionCode: actionCodeForAnswerOf(ONE_MIB + 1) },
    ]);
    assert.equal(Buffer.byteLength(JSON.stringify(fits.answer)), ONE_MIB);
    assert.match(tooLarge.error, TOO_LARGE);
  });

  test('on a port it drops the connection with the waiting requests, and gives the reason', async () => {
    const answers = await sendFromPage('port', [
      { actionCode: 'getVersion' },
      { actionCode: actionCodeForAnswerOf(ONE_MIB + 1) },
      { actionCode: 'getVersion' },
    ]);
    assert.deepEqual(answers[0], { answer: VERSION });
    for (const dropped of answers.slice(1)) assert.match(dropped.error ?? '', TOO_LARGE);
    assert.equal(await page.evaluate(() => quillet.port.connected), false);
    assert.deepEqual(await sendFromPage('port', [{ actionCode: 'getVersion' }]), [{ answer: VERSION }]);
  });
});

describe('shutdown', () => {
  test('every host exits with the browser and leaves no sanitizer report', async () => {
    await browser.close();
    browser = undefined;
    const stillRunning = await hostsRunningAfterWaiting(HOST, 60_000);
    assert.deepEqual(stillRunning, [], 'hosts still running a minute after the browser closed');
    assert.deepEqual(sanitizerReports(reports), []);
  });
});
