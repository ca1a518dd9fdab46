// The sample extension in real headless Chromium, talking to the real QuilletHost that
// the registration command registered for the test's own profile (or, for the installed
// package, that the browser finds through the system-wide manifest). The host runs with a
// home holding the current user's stores from the test PKI; signed results are checked
// by the bundled xmlsec1 tool.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { chromium } from 'playwright-core';

import {
  BIN_DIR, EXTENSION_ID, HOST_NAME, INSTALLED, SYSTEM_MANIFESTS, browserEnv, chromiumOptions, freshDir,
  hostsRunningAfterWaiting, makeHome, register, sanitizerReports,
} from './lib/setup.mjs';
import { pressWhenShown, startXvfb } from './lib/display.mjs';
import { pemOf, signWithXmlsec1, verifyWithXmlsec1 } from './lib/xmlsec.mjs';

const HOST = path.join(BIN_DIR, 'QuilletHost');
const PAGE_URL = `chrome-extension://${EXTENSION_ID}/page.html`;
const ONE_MIB = 1024 * 1024;
// Chromium's own texts for a channel that failed.
const CHANNEL_ERROR = 'Error when communicating with the native messaging host.';
const NOT_FOUND = 'Specified native messaging host not found.';
const DOCUMENT = '<?xml version="1.0" encoding="UTF-8"?>\n<Документ><Сумма>100</Сумма></Документ>';
const DSIG_NS = 'http://www.w3.org/2000/09/xmldsig#';
// The title of the host's certificate selection dialog.
const DIALOG_TITLE = 'Укажите сертификат для формирования подписи';
// Messages of the result codes these tests meet.
const MESSAGE = {
  cancelled: 'операция отменена пользователем',
  notFound: 'сертификат не найден в хранилище сертификатов',
  invalid: 'подпись не верна',
  keyRefused: [
    'не удалось выбрать ключ для подписания из сертификата',
    'не удалось установить пароль для ключа',
    'не удалось инициализировать ключ для подписания',
    'не удалось добавить сертификат',
  ],
};

let dir;
let pki;
let profile;
let reports;
let context;
let page;

before(async () => {
  dir = freshDir('extension');
  let home;
  ({ home, pki } = makeHome(dir));
  profile = path.join(dir, 'profile');
  reports = path.join(dir, 'reports');
  fs.mkdirSync(reports);
  if (!INSTALLED) register(['register', '--host', HOST, '--user-data-dir', profile]);
  context = await chromium.launchPersistentContext(profile, chromiumOptions(browserEnv(home, reports)));
  page = await context.newPage();
  await page.goto(PAGE_URL);
});

after(async () => {
  await context?.close();
});

// What the page shows after the last request: {state, text, answer}; state is "ok",
// "error" (an error answer) or "failed" (the channel failed).
async function shown() {
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
                             null, { timeout: 120_000 });
  return shown();
}

async function useTransport(transport) {
  await page.check(`input[name="transport"][value="${transport}"]`);
}

// Fills the sign form and presses Sign; returns what the page shows and the result field.
// xml null keeps the document the page holds.
async function signOnPage({ xml = DOCUMENT, thumbprint, password = '', signatureOnly = false }) {
  if (xml !== null) await page.fill('#xml', xml);
  await page.fill('#thumbprint', thumbprint);
  await page.fill('#password', password);
  await page.setChecked('#signatureOnly', signatureOnly);
  const outcome = await press('sign');
  return { ...outcome, result: await page.inputValue('#result') };
}

async function verifyOnPage(xml) {
  await page.fill('#signed', xml);
  return press('verify');
}

// Sends requests from the page's own context through the sample's client.
function sendFromPage(how, requests) {
  return page.evaluate(async ({ how, requests }) => {
    const settle = (promise) => promise.then((answer) => ({ answer }), (error) => ({ error: error.message }));
    const send = how === 'port' ? (r) => quillet.port.send(r) : (r) => quillet.sendOnce(r);
    return Promise.all(requests.map((request) => settle(send(request))));
  }, { how, requests });
}

// The error answer of an unknown "actionCode" as the host writes it.
function unknownActionAnswer(code) {
  return { errorMessage: `QuilletHost: Неизвестный код операции ' ${code} '`, success: false };
}

// An "actionCode" whose error answer is exactly `size` bytes long on the wire.
function actionCodeForAnswerOf(size) {
  const overhead = Buffer.byteLength(JSON.stringify(unknownActionAnswer('')));
  return 'x'.repeat(size - overhead);
}

function wrapAsError(message) {
  return `QuilletHost: ${message}`;
}

describe('getVersion', () => {
  for (const transport of ['once', 'port']) {
    test(`answered and shown (${transport === 'once' ? 'sendNativeMessage' : 'connectNative'})`, async () => {
      await useTransport(transport);
      const outcome = await press('getVersion');
      assert.equal(outcome.state, 'ok');
      assert.equal(outcome.text, 'Host version 1.2');
      assert.deepEqual(JSON.parse(outcome.answer), { content: { major: 1, minor: 2 }, success: true });
      assert.equal(await page.evaluate(() => quillet.port.connected), transport === 'port');
    });
  }
});

describe('one long-lived port', () => {
  test('answers several requests sent at once in order', async () => {
    const codes = ['первый', 'second', 'третий'];
    const answers = await sendFromPage('port', [
      { actionCode: codes[0] }, { actionCode: 'getVersion' }, { actionCode: codes[1] }, { actionCode: codes[2] },
    ]);
    assert.deepEqual(answers, [
      { answer: unknownActionAnswer(codes[0]) },
      { answer: { content: { major: 1, minor: 2 }, success: true } },
      { answer: unknownActionAnswer(codes[1]) },
      { answer: unknownActionAnswer(codes[2]) },
    ]);
  });

  test('an error answer\'s Russian text reaches the extension intact on both connections', async () => {
    const code = 'подпись «ГОСТ» ёЁ';
    for (const how of ['once', 'port']) {
      const [{ answer }] = await sendFromPage(how, [{ actionCode: code }]);
      assert.deepEqual(answer, unknownActionAnswer(code), how);
    }
  });
});

describe('message size limits', () => {
  test('an answer of exactly 1 MiB arrives; one byte more fails the one-shot request', async () => {
    const [fits, tooLarge] = await sendFromPage('once', [
      { actionCode: actionCodeForAnswerOf(ONE_MIB) },
      { actionCode: actionCodeForAnswerOf(ONE_MIB + 1) },
    ]);
    assert.equal(fits.answer?.success, false);
    assert.equal(Buffer.byteLength(JSON.stringify(fits.answer)), ONE_MIB);
    assert.deepEqual(tooLarge, { error: CHANNEL_ERROR });
  });

  test('an answer over 1 MiB drops the port with its waiting requests; the next request starts a new host', async () => {
    const answers = await sendFromPage('port', [
      { actionCode: 'getVersion' },
      { actionCode: actionCodeForAnswerOf(ONE_MIB + 1) },
      { actionCode: 'getVersion' },
    ]);
    assert.deepEqual(answers[0], { answer: { content: { major: 1, minor: 2 }, success: true } });
    assert.deepEqual(answers.slice(1), [{ error: CHANNEL_ERROR }, { error: CHANNEL_ERROR }]);
    assert.equal(await page.evaluate(() => quillet.port.connected), false);
    const [again] = await sendFromPage('port', [{ actionCode: 'getVersion' }]);
    assert.equal(again.answer?.success, true);
  });

  test('a request of several MiB reaches the host; one over 64 MiB is refused by the browser', async () => {
    const [large] = await sendFromPage('once', [{ actionCode: 'getVersion', padding: 'y'.repeat(3 * ONE_MIB) }]);
    assert.equal(large.answer?.success, true);
    const refused = await page.evaluate(async (size) => {
      try {
        await quillet.sendOnce({ actionCode: 'getVersion', padding: 'z'.repeat(size) });
        return 'sent';
      } catch (error) {
        return error.message;
      }
    }, 64 * ONE_MIB + 1);
    assert.match(refused, /exceeded maximum allowed size of 64MiB/);
  });
});

describe('host registration as the browser sees it', () => {
  test('an unregistered host is reported by the page; registering again restores it',
       { skip: INSTALLED && 'the installed package is registered system-wide' }, async () => {
    await useTransport('once');
    register(['unregister', '--user-data-dir', profile]);
    try {
      const outcome = await press('getVersion');
      assert.equal(outcome.state, 'failed');
      assert.equal(outcome.text, `Browser: ${NOT_FOUND}`);
    } finally {
      register(['register', '--host', HOST, '--user-data-dir', profile]);
    }
    assert.equal((await press('getVersion')).state, 'ok');
  });

  test('the manifest the browser read names the host by absolute path', () => {
    const inProfile = path.join(profile, 'NativeMessagingHosts', `${HOST_NAME}.json`);
    assert.equal(fs.existsSync(inProfile), !INSTALLED, 'a manifest in the profile only for the build tree');
    const manifest = JSON.parse(fs.readFileSync(INSTALLED ? SYSTEM_MANIFESTS.chromium : inProfile, 'utf8'));
    assert.equal(manifest.path, HOST);
    assert.deepEqual(manifest.allowed_origins, [`chrome-extension://${EXTENSION_ID}/`]);
  });
});

describe('promptCertificate', () => {
  test('with no display the selection dialog cannot open: the page shows the cancellation', async () => {
    await useTransport('once');
    const outcome = await press('promptCertificate');
    assert.equal(outcome.state, 'error');
    assert.equal(outcome.text, wrapAsError(MESSAGE.cancelled));
    assert.equal(await page.textContent('#owner'), '—');
  });
});

describe('promptCertificate with a display', () => {
  // A second browser whose hosts can open the selection dialog on a virtual display.
  let xvfb;
  let withDisplay;
  let promptPage;

  before(async () => {
    xvfb = await startXvfb();
    const env = { ...browserEnv(path.join(dir, 'home'), reports), DISPLAY: xvfb.display };
    if (!INSTALLED) register(['register', '--host', HOST, '--user-data-dir', path.join(dir, 'profile-display')]);
    withDisplay = await chromium.launchPersistentContext(path.join(dir, 'profile-display'), chromiumOptions(env));
    promptPage = await withDisplay.newPage();
    await promptPage.goto(PAGE_URL);
    await promptPage.fill('#storeName', 'Single');
  });

  after(async () => {
    await withDisplay?.close();
    xvfb?.stop();
  });

  // Presses "Choose certificate…", then the key in the dialog; returns what the page shows.
  async function chooseWith(key) {
    await promptPage.click('#promptCertificate');
    const answered = async () =>
      (await promptPage.getAttribute('#status', 'data-state')) !== 'pending';
    await pressWhenShown(xvfb.display, DIALOG_TITLE, key, answered);
    await promptPage.waitForFunction(() => document.getElementById('status').dataset.state !== 'pending',
                                     null, { timeout: 120_000 });
    return promptPage.evaluate(() => ({
      state: document.getElementById('status').dataset.state,
      text: document.getElementById('status').textContent,
      answer: document.getElementById('answer').textContent,
      owner: document.getElementById('owner').textContent,
    }));
  }

  test('Escape in the dialog: the page shows the cancellation', async () => {
    const outcome = await chooseWith('Escape');
    assert.equal(outcome.state, 'error');
    assert.equal(outcome.text, wrapAsError(MESSAGE.cancelled));
  });

  test('the chosen certificate\'s owner is shown, and its thumbprint text signs as it came', async () => {
    const signer = pki.signers.plain;
    const chosen = await chooseWith('Return');
    assert.equal(chosen.state, 'ok', chosen.text);
    assert.equal(chosen.owner, signer.owner);
    const { content } = JSON.parse(chosen.answer);
    assert.equal(content.thumbprint.replace(/[^0-9a-f]/gi, '').toLowerCase(), signer.thumbprint);

    await promptPage.click('#sign');
    await promptPage.waitForFunction(() => document.getElementById('status').dataset.state !== 'pending',
                                     null, { timeout: 120_000 });
    const sent = JSON.parse(await promptPage.textContent('#request'));
    assert.equal(sent.thumbprint, content.thumbprint, 'the thumbprint goes back unchanged');
    assert.equal(sent.storeName, 'Single');
    assert.equal(await promptPage.getAttribute('#status', 'data-state'), 'ok',
                 await promptPage.textContent('#status'));
    const check = verifyWithXmlsec1(await promptPage.inputValue('#result'), pki, dir);
    assert.ok(check.ok, check.report);
  });
});

describe('sign and verify', () => {
  test('a document signed with a thumbprint verifies with xmlsec1 and on the page', async () => {
    await useTransport('once');
    const signer = pki.signers.plain;
    const outcome = await signOnPage({ thumbprint: signer.thumbprint });
    assert.equal(outcome.state, 'ok', outcome.text);
    const signed = outcome.result;
    assert.match(signed, /^<\?xml version="1.0" encoding="UTF-8"\?>/);
    assert.ok(signed.includes('<Сумма>100</Сумма>'));
    assert.ok(signed.includes(signer.certificateBody.slice(0, 40)), 'KeyInfo carries the signer\'s certificate');
    const check = verifyWithXmlsec1(signed, pki, dir);
    assert.ok(check.ok, check.report);

    const verified = await verifyOnPage(signed);
    assert.equal(verified.state, 'ok', verified.text);
    assert.deepEqual(JSON.parse(verified.answer), { success: true });
  });

  test('signature only returns the Signature element alone', async () => {
    await useTransport('port');
    const outcome = await signOnPage({ thumbprint: pki.signers.plain.thumbprint, signatureOnly: true });
    assert.equal(outcome.state, 'ok', outcome.text);
    assert.match(outcome.result, new RegExp(`^<Signature xmlns="${DSIG_NS}">`));
    assert.match(outcome.result, /<\/Signature>$/);
    assert.ok(!outcome.result.includes('Документ'));
    const request = JSON.parse(await page.textContent('#request'));
    assert.equal(request.returnSignatureOnly, '1');
  });

  test('a PIN-protected key signs with its PIN and is refused with a wrong one', async () => {
    await useTransport('once');
    const signer = pki.signers.pin;
    const good = await signOnPage({ thumbprint: signer.thumbprint, password: signer.pin });
    assert.equal(good.state, 'ok', good.text);
    assert.ok(!(await page.textContent('#request')).includes(signer.pin), 'the page never shows the PIN');
    const check = verifyWithXmlsec1(good.result, pki, dir);
    assert.ok(check.ok, check.report);

    const wrong = await signOnPage({ thumbprint: signer.thumbprint, password: `${signer.pin}0` });
    assert.equal(wrong.state, 'error');
    assert.ok(MESSAGE.keyRefused.map(wrapAsError).includes(wrong.text), wrong.text);
  });

  test('an unknown thumbprint is shown as the host\'s error', async () => {
    const outcome = await signOnPage({ thumbprint: '00'.repeat(20) });
    assert.equal(outcome.state, 'error');
    assert.equal(outcome.text, wrapAsError(MESSAGE.notFound));
  });

  test('a document signed by xmlsec1 verifies; changed after signing it is "подпись не верна"', async () => {
    const signer = pki.signers.plain;
    const certPath = path.join(dir, 'plain-signer.pem');
    fs.writeFileSync(certPath, pemOf(signer.certificateBody));
    const keyPath = path.join(dir, 'home/tavlin.quillet/stores/My', `${signer.thumbprint}.key`);
    const template = DOCUMENT.replace('</Документ>',
      `<Signature xmlns="${DSIG_NS}"><SignedInfo>` +
      '<CanonicalizationMethod Algorithm="http://www.w3.org/TR/2001/REC-xml-c14n-20010315"/>' +
      '<SignatureMethod Algorithm="urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34102012-gostr34112012-256"/>' +
      '<Reference URI=""><Transforms><Transform Algorithm="http://www.w3.org/2000/09/xmldsig#enveloped-signature"/></Transforms>' +
      '<DigestMethod Algorithm="urn:ietf:params:xml:ns:cpxmlsec:algorithms:gostr34112012-256"/><DigestValue/></Reference>' +
      '</SignedInfo><SignatureValue/><KeyInfo><X509Data/></KeyInfo></Signature></Документ>');
    const signed = signWithXmlsec1(template, keyPath, certPath, dir);

    for (const transport of ['once', 'port']) {
      await useTransport(transport);
      const good = await verifyOnPage(signed);
      assert.equal(good.state, 'ok', `${transport}: ${good.text}`);
      const tampered = await verifyOnPage(signed.replace('<Сумма>100</Сумма>', '<Сумма>900</Сумма>'));
      assert.equal(tampered.state, 'error');
      assert.equal(tampered.text, wrapAsError(MESSAGE.invalid));
    }
  });

  test('a large document: the whole signed text fails over 1 MiB, signature only succeeds', async () => {
    const rows = Array.from({ length: 30_000 }, (_, i) => `<Строка n="${i}">значение ${i}</Строка>`).join('');
    const large = `<?xml version="1.0" encoding="UTF-8"?>\n<Документ>${rows}</Документ>`;
    assert.ok(Buffer.byteLength(large) > ONE_MIB);
    // Loaded through the page's file field, as a user would.
    await page.setInputFiles('#xmlFile', { name: 'large.xml', mimeType: 'text/xml', buffer: Buffer.from(large) });
    await page.waitForFunction((length) => document.getElementById('xml').value.length === length, large.length);
    const thumbprint = pki.signers.plain.thumbprint;
    for (const transport of ['once', 'port']) {
      await useTransport(transport);
      const whole = await signOnPage({ xml: null, thumbprint });
      assert.equal(whole.state, 'failed', `${transport}: ${whole.text}`);
      assert.equal(whole.text, `Browser: ${CHANNEL_ERROR}`);
      const signatureOnly = await signOnPage({ xml: null, thumbprint, signatureOnly: true });
      assert.equal(signatureOnly.state, 'ok', `${transport}: ${signatureOnly.text}`);
      assert.ok(signatureOnly.result.length < 8192);
    }
  });
});

describe('the page for the README', () => {
  // Taken only of a page that shows no error: a document signed and then verified.
  test('screenshot after signing and verifying a document', async () => {
    await page.reload();
    const signed = await signOnPage({ thumbprint: pki.signers.plain.thumbprint });
    assert.equal(signed.state, 'ok', signed.text);
    const verified = await press('verify');
    assert.equal(verified.state, 'ok', verified.text);
    assert.equal(verified.text, 'The signature is valid');
    await page.screenshot({ path: path.join(path.dirname(dir), 'sample-extension.png'), fullPage: true });
  });
});

describe('shutdown', () => {
  test('every host exits with the browser and leaves no sanitizer report', async () => {
    await context.close();
    context = undefined;
    // Closing the browser closes the hosts' input; each must see it and exit by itself.
    const stillRunning = await hostsRunningAfterWaiting(HOST, 60_000);
    assert.deepEqual(stillRunning, [], 'hosts still running a minute after the browser closed');
    assert.deepEqual(sanitizerReports(reports), []);
  });
});
