// The sample page: each button builds one request, sends it over the chosen connection
// and shows the answer or the error. Everything that talks to the host is in quillet.js.
import {
  HostPort,
  getVersionRequest,
  promptCertificateRequest,
  sendOnce,
  signRequest,
  verifyRequest,
} from './quillet.js';

const $ = (id) => document.getElementById(id);
const port = new HostPort();
// The thumbprint exactly as the prompt returned it (a textarea would turn its CR LF line
// breaks into LF); forgotten as soon as the user edits the field.
let chosenThumbprint = null;
// Long texts (documents of several MiB) are shown cut, so the page stays responsive.
const SHOWN_CHARACTERS = 4000;

// Sends a request over the connection picked on the page.
function send(request) {
  const transport = document.querySelector('input[name="transport"]:checked').value;
  if (transport === 'once') {
    port.close();
    return sendOnce(request);
  }
  return port.send(request);
}

function shown(value) {
  const text = JSON.stringify(value, null, 2) ?? '';
  return text.length > SHOWN_CHARACTERS
    ? `${text.slice(0, SHOWN_CHARACTERS)}\n… (${text.length} characters in all)`
    : text;
}

function setStatus(state, text) {
  $('status').dataset.state = state;
  $('status').textContent = text;
}

// Sends the request and shows what came back. Resolves with the answer's content on
// success and with undefined on an error answer or a failed channel.
async function run(request, describeSuccess) {
  setStatus('pending', `${request.actionCode}: waiting for the host…`);
  // The PIN is never shown.
  $('request').textContent = shown(request.password ? { ...request, password: '…' } : request);
  $('answer').textContent = '';
  let answer;
  try {
    answer = await send(request);
  } catch (error) {
    // The channel failed: no answer from the host reached the page.
    setStatus('failed', `Browser: ${error.message}`);
    return undefined;
  }
  $('answer').textContent = shown(answer);
  if (answer?.success !== true) {
    setStatus('error', answer?.errorMessage ?? 'The answer has no errorMessage.');
    return undefined;
  }
  setStatus('ok', describeSuccess(answer.content));
  return answer.content ?? null;
}

$('getVersion').addEventListener('click', () =>
  run(getVersionRequest(), (v) => `Host version ${v.major}.${v.minor}`));

$('promptCertificate').addEventListener('click', async () => {
  const chosen = await run(promptCertificateRequest($('storeName').value),
                           (c) => `Certificate of ${c.owner}`);
  if (!chosen) return;
  // The thumbprint goes back to the host exactly as it came, line breaks included.
  chosenThumbprint = chosen.thumbprint;
  $('thumbprint').value = chosen.thumbprint;
  $('owner').textContent = chosen.owner;
});

$('thumbprint').addEventListener('input', () => {
  chosenThumbprint = null;
  $('owner').textContent = '—';
});

$('xmlFile').addEventListener('change', async () => {
  const file = $('xmlFile').files[0];
  if (file) $('xml').value = await file.text();
});

$('sign').addEventListener('click', async () => {
  const signatureOnly = $('signatureOnly').checked;
  const request = signRequest({
    xmls: [$('xml').value],
    thumbprint: chosenThumbprint ?? $('thumbprint').value.trim(),
    storeName: $('storeName').value,
    password: $('password').value,
    signatureOnly,
  });
  const signed = await run(request, (content) =>
    `Signed: ${content[0].length} characters${signatureOnly ? ' (signature only)' : ''}`);
  if (!signed) return;
  $('result').value = signed[0];
  // A whole signed document can be verified as it is; a signature alone cannot.
  if (!signatureOnly) $('signed').value = signed[0];
});

$('verify').addEventListener('click', () =>
  run(verifyRequest($('signed').value, $('certificateBody').value.trim()),
      () => 'The signature is valid'));

// For trying requests by hand in the page's console: await quillet.send({...}).
window.quillet = { send, sendOnce, port };
