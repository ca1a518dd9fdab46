// The part of the sample an extension copies: talking to the Quillet host.
//
// Every request is a JSON object whose "actionCode" names the operation; every answer
// is {"success": true, "content": ...} or {"success": false, "errorMessage": "QuilletHost: ..."}.
// A failure of the channel itself (host not registered, host crashed, answer over
// Chromium's 1 MiB limit) is not an answer: it rejects with the browser's own message.

// The host's registered name (the name of its native messaging manifest).
export const HOST_NAME = 'tavlin.quillet';

// Sends one request on a new host process (started for it, stopped after it).
// Resolves with the host's answer; rejects with an Error carrying the browser's message
// when the host cannot be reached or its answer cannot be delivered.
export function sendOnce(request) {
  return chrome.runtime.sendNativeMessage(HOST_NAME, request);
}

// A long-lived connection to one host process. The host answers requests strictly in
// the order they were sent, so answers are matched to requests first in, first out.
// The process is started by the first send and stops when close() is called or the
// connection drops; the next send then starts a new one.
export class HostPort {
  #port = null;
  #pending = [];

  // Sends a request on the connection (starting the host when needed). Resolves with
  // its answer; rejects with the browser's message when the connection drops before it.
  send(request) {
    const port = this.#port ?? this.#connect();
    return new Promise((resolve, reject) => {
      this.#pending.push({ resolve, reject });
      port.postMessage(request);
    });
  }

  // True while a host process is connected.
  get connected() {
    return this.#port !== null;
  }

  // Closes the connection; the host sees the end of its input and exits. Requests still
  // waiting are rejected.
  close() {
    if (this.#port === null) return;
    this.#port.disconnect();
    this.#dropped('The connection was closed.');
  }

  #connect() {
    const port = chrome.runtime.connectNative(HOST_NAME);
    port.onMessage.addListener((answer) => this.#pending.shift()?.resolve(answer));
    port.onDisconnect.addListener(() => {
      // Firefox gives the reason as port.error; Chromium as lastError, and reading it
      // here is what tells Chromium the failure was handled.
      const reason = port.error?.message ?? chrome.runtime.lastError?.message ??
        'The host closed the connection.';
      this.#dropped(reason);
    });
    this.#port = port;
    return port;
  }

  #dropped(reason) {
    this.#port = null;
    for (const { reject } of this.#pending.splice(0)) reject(new Error(reason));
  }
}

// Requests, one builder per operation, with exactly the members the host reads.

// {"actionCode": "getVersion"}; the answer's content is {"major": 1, "minor": 2}.
export function getVersionRequest() {
  return { actionCode: 'getVersion' };
}

// Lets the user pick a certificate in the host's selection dialog. An empty store name
// means the personal store "My". The answer's content is {"thumbprint", "owner"}.
export function promptCertificateRequest(storeName = '') {
  return { actionCode: 'promptCertificate', storeName };
}

// Signs documents (complete XML texts) with the certificate of the thumbprint (as the
// prompt returned it; empty: the host lets the user choose). signatureOnly asks for the
// Signature element alone instead of the whole signed document: use it for large
// documents, whose whole signed text may exceed the 1 MiB an answer may have.
// The answer's content is an array of strings, one per document, in order.
export function signRequest({ xmls, thumbprint = '', storeName = '', password = '', signatureOnly = false }) {
  const request = { actionCode: 'sign', xmls, storeName, thumbprint, password };
  if (signatureOnly) request.returnSignatureOnly = '1';
  return request;
}

// Verifies the enveloped signature of one signed document. certificateBody (optional)
// is a DER certificate as Base64 text that the host may use as an extra key.
// A success answer has no content.
export function verifyRequest(xml, certificateBody = '') {
  const request = { actionCode: 'verify', xml };
  if (certificateBody) request.certificateBody = certificateBody;
  return request;
}
