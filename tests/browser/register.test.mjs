// The registration command (tools/browser/register-host.sh) against each browser's
// documented manifest form and per-user directory, in a home of the test's own.
import assert from 'node:assert/strict';
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';

import { BIN_DIR, EXTENSION_ID, HOST_NAME, SOURCE_DIR, WORK_DIR, freshDir, register } from './lib/setup.mjs';

const HOST = path.join(BIN_DIR, 'QuilletHost');
const CHROMIUM_KEYS = ['allowed_origins', 'description', 'name', 'path', 'type'];
const FIREFOX_KEYS = ['allowed_extensions', 'description', 'name', 'path', 'type'];
// Chromium: lower-case letters, digits, underscores and dots, no dot at either end and no
// two in a row. Firefox's rule (word characters separated by dots) admits all of these.
const HOST_NAME_RULE = /^[a-z0-9_]+(\.[a-z0-9_]+)*$/;

// A home with nothing in it, and the environment that makes it the user's.
function freshHome(extra = {}) {
  const home = path.join(freshDir('register'), 'home');
  fs.mkdirSync(home);
  const env = { ...process.env, HOME: home, ...extra };
  if (!('XDG_CONFIG_HOME' in extra)) delete env.XDG_CONFIG_HOME;
  delete env.CHROME_CONFIG_HOME;
  return { home, env };
}

function readManifest(file) {
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}

// Checks a manifest against the documented form of its browser family.
function assertManifestForm(file, family, hostPath) {
  const manifest = readManifest(file);
  assert.deepEqual(Object.keys(manifest).sort(), family === 'firefox' ? FIREFOX_KEYS : CHROMIUM_KEYS);
  assert.match(manifest.name, HOST_NAME_RULE);
  assert.equal(`${manifest.name}.json`, path.basename(file), 'file name and host name agree');
  assert.equal(manifest.type, 'stdio');
  assert.ok(path.isAbsolute(manifest.path), `absolute path: ${manifest.path}`);
  assert.equal(fs.realpathSync(manifest.path), fs.realpathSync(hostPath));
  fs.accessSync(manifest.path, fs.constants.X_OK);
  if (family === 'firefox') {
    assert.ok(manifest.allowed_extensions.length > 0);
  } else {
    assert.ok(manifest.allowed_origins.length > 0);
    for (const origin of manifest.allowed_origins) assert.match(origin, /^chrome-extension:\/\/[a-p]{32}\/$/);
  }
  return manifest;
}

describe('registration for the current user', () => {
  test('writes each browser its manifest in its own directory, allowing the sample extension', () => {
    const { home, env } = freshHome();
    const printed = register(['register', '--host', HOST], env).trim().split('\n');
    const expected = {
      chromium: path.join(home, '.config/chromium/NativeMessagingHosts', `${HOST_NAME}.json`),
      chrome: path.join(home, '.config/google-chrome/NativeMessagingHosts', `${HOST_NAME}.json`),
      firefox: path.join(home, '.mozilla/native-messaging-hosts', `${HOST_NAME}.json`),
    };
    assert.deepEqual(printed, Object.values(expected));
    for (const browser of ['chromium', 'chrome']) {
      const manifest = assertManifestForm(expected[browser], 'chromium', HOST);
      assert.deepEqual(manifest.allowed_origins, [`chrome-extension://${EXTENSION_ID}/`]);
    }
    const firefox = assertManifestForm(expected.firefox, 'firefox', HOST);
    assert.deepEqual(firefox.allowed_extensions, ['quillet-sample@tavlin']);
  });

  test('follows XDG_CONFIG_HOME for the Chromium family, and a profile given by --user-data-dir', () => {
    const { home, env } = freshHome({ XDG_CONFIG_HOME: 'placeholder' });
    env.XDG_CONFIG_HOME = path.join(home, 'config');
    register(['register', '--host', HOST, '--browser', 'chromium', '--browser', 'chrome'], env);
    assertManifestForm(path.join(home, 'config/chromium/NativeMessagingHosts', `${HOST_NAME}.json`), 'chromium', HOST);
    assertManifestForm(path.join(home, 'config/google-chrome/NativeMessagingHosts', `${HOST_NAME}.json`), 'chromium', HOST);

    const profile = path.join(home, 'profile');
    const printed = register(['register', '--host', HOST, '--user-data-dir', profile], env).trim();
    assert.equal(printed, path.join(profile, 'NativeMessagingHosts', `${HOST_NAME}.json`));
    assertManifestForm(printed, 'chromium', HOST);
    assert.ok(!fs.existsSync(path.join(home, '.mozilla')), 'a profile registration leaves Firefox alone');
  });

  test('allows every extension ID given, and writes a host path with quotes and backslashes as valid JSON', () => {
    const { home, env } = freshHome();
    const odd = path.join(home, 'we"ird\\dir Ω');
    fs.mkdirSync(odd);
    const host = path.join(odd, 'QuilletHost');
    fs.symlinkSync(HOST, host);
    const ids = ['a'.repeat(32), 'abcdefghijklmnopabcdefghijklmnop'];
    register(['register', '--host', host, '--extension-id', ids[0], '--extension-id', ids[1],
              '--firefox-extension-id', 'one@example', '--firefox-extension-id', '{0b6f2c1e-1d1a-4e6b-9a57-3b1f0c2d4e5f}'], env);
    const chromium = readManifest(path.join(home, '.config/chromium/NativeMessagingHosts', `${HOST_NAME}.json`));
    assert.equal(chromium.path, host);
    assert.deepEqual(chromium.allowed_origins, ids.map((id) => `chrome-extension://${id}/`));
    const firefox = readManifest(path.join(home, '.mozilla/native-messaging-hosts', `${HOST_NAME}.json`));
    assert.equal(firefox.path, host);
    assert.deepEqual(firefox.allowed_extensions, ['one@example', '{0b6f2c1e-1d1a-4e6b-9a57-3b1f0c2d4e5f}']);
  });

  test('a relative host path is registered as absolute', () => {
    const { home, env } = freshHome();
    const relative = path.relative(process.cwd(), HOST);
    register(['register', '--host', relative, '--browser', 'firefox'], env);
    assertManifestForm(path.join(home, '.mozilla/native-messaging-hosts', `${HOST_NAME}.json`), 'firefox', HOST);
  });

  test('refuses bad arguments with a message and writes nothing', () => {
    const cases = [
      [['register', '--host', HOST, '--extension-id', 'not-an-id'], /not a Chromium extension ID/],
      [['register', '--host', HOST, '--extension-id', 'q'.repeat(32)], /not a Chromium extension ID/],
      [['register', '--host', HOST, '--firefox-extension-id', 'a"b'], /not a Firefox add-on ID/],
      [['register', '--host', HOST, '--browser', 'opera'], /unknown browser/],
      [['register', '--host', '/nonexistent/QuilletHost'], /no host program/],
      [['register', '--host', HOST, '--browser', 'firefox', '--user-data-dir', '/tmp/x'], /Chromium-family/],
      [['install'], /Usage:/],
    ];
    for (const [args, message] of cases) {
      const { home, env } = freshHome();
      assert.throws(() => register(args, env), (error) => {
        assert.match(error.stderr, message, `for ${args.join(' ')}`);
        assert.notEqual(error.status, 0);
        return true;
      });
      assert.deepEqual(fs.readdirSync(home), [], `nothing written for ${args.join(' ')}`);
    }
  });

  test('--print shows the manifests and writes nothing', () => {
    const { home, env } = freshHome();
    const printed = register(['register', '--host', HOST, '--browser', 'firefox', '--print'], env);
    assert.match(printed, /"allowed_extensions": \["quillet-sample@tavlin"\]/);
    assert.deepEqual(fs.readdirSync(home), []);
  });
});

describe('unregistration', () => {
  test('removes our manifests and nothing else, and succeeds when nothing is registered', () => {
    const { home, env } = freshHome();
    const written = register(['register', '--host', HOST], env).trim().split('\n');
    const neighbour = path.join(path.dirname(written[0]), 'other.host.json');
    fs.writeFileSync(neighbour, '{}');
    const removed = register(['unregister'], env).trim().split('\n');
    assert.deepEqual(removed, written);
    for (const file of written) assert.ok(!fs.existsSync(file), `${file} removed`);
    assert.ok(fs.existsSync(neighbour), 'another host\'s manifest stays');
    assert.equal(register(['unregister'], env), '');
  });

  test('removes only the browsers and the profile named', () => {
    const { home, env } = freshHome();
    const profile = path.join(home, 'profile');
    const [inProfile] = register(['register', '--host', HOST, '--user-data-dir', profile], env).trim().split('\n');
    const [chrome, firefox] = register(['register', '--host', HOST, '--browser', 'chrome', '--browser', 'firefox'], env)
      .trim().split('\n');
    assert.equal(register(['unregister', '--browser', 'chrome'], env).trim(), chrome);
    assert.ok(fs.existsSync(firefox) && fs.existsSync(inProfile));
    assert.equal(register(['unregister', '--user-data-dir', profile], env).trim(), inProfile);
    assert.ok(fs.existsSync(firefox));
  });
});

describe('system-wide manifests of an installed copy', () => {
  const UPDATE = path.join(SOURCE_DIR, 'tools/browser/update-manifests.sh');
  // Runs the update command on a list; returns {status, stdout, stderr}.
  function update(dir, list) {
    const config = path.join(dir, 'allowed-extensions');
    fs.writeFileSync(config, list);
    return spawnSync('bash', [UPDATE, '--config', config, '--manifest-dir', path.join(dir, 'manifests'), '--host', HOST],
                     { encoding: 'utf8' });
  }
  const chromiumFile = (dir) => path.join(dir, 'manifests', `${HOST_NAME}.chromium.json`);
  const firefoxFile = (dir) => path.join(dir, 'manifests', `${HOST_NAME}.firefox.json`);

  test('--manifest-dir writes one manifest per browser family under its family\'s name', () => {
    const { home, env } = freshHome();
    const dir = path.join(home, 'lib');
    const printed = register(['register', '--host', HOST, '--manifest-dir', dir], env).trim().split('\n');
    const chromium = path.join(dir, `${HOST_NAME}.chromium.json`);
    const firefox = path.join(dir, `${HOST_NAME}.firefox.json`);
    assert.deepEqual(printed, [chromium, chromium, firefox]);
    assert.deepEqual(fs.readdirSync(home), ['lib'], 'nothing in the user\'s browser directories');
    assert.deepEqual(readManifest(chromium).allowed_origins, [`chrome-extension://${EXTENSION_ID}/`]);
    assert.deepEqual(readManifest(firefox).allowed_extensions, ['quillet-sample@tavlin']);
    assert.throws(() => register(['register', '--host', HOST, '--manifest-dir', dir, '--user-data-dir', dir], env),
                  /exclude each other/);
  });

  test('an installed copy registers the host beside it by default', () => {
    const { home, env } = freshHome();
    const installed = path.join(home, 'usr/lib/quillet');
    fs.mkdirSync(installed, { recursive: true });
    fs.copyFileSync(path.join(SOURCE_DIR, 'tools/browser/register-host.sh'), path.join(installed, 'register-host.sh'));
    fs.symlinkSync(HOST, path.join(installed, 'QuilletHost'));
    execFileSync('bash', [path.join(installed, 'register-host.sh'), 'register', '--browser', 'firefox'], { env });
    const manifest = readManifest(path.join(home, '.mozilla/native-messaging-hosts', `${HOST_NAME}.json`));
    assert.equal(manifest.path, path.join(installed, 'QuilletHost'));
  });

  test('the list of allowed extensions decides each family\'s manifest', () => {
    const dir = freshDir('update');
    const other = 'abcdefghijklmnopabcdefghijklmnop';
    const written = update(dir, `# comment\n\nchromium ${EXTENSION_ID}\n  chromium ${other}  \nfirefox quillet-sample@tavlin\nfirefox {0b6f2c1e-1d1a-4e6b-9a57-3b1f0c2d4e5f}`);
    assert.equal(written.status, 0, written.stderr);
    assert.deepEqual(written.stdout.trim().split('\n'), [chromiumFile(dir), firefoxFile(dir)]);
    const chromium = readManifest(chromiumFile(dir));
    assert.equal(chromium.path, HOST);
    assert.deepEqual(chromium.allowed_origins, [EXTENSION_ID, other].map((id) => `chrome-extension://${id}/`));
    assert.deepEqual(readManifest(firefoxFile(dir)).allowed_extensions,
                     ['quillet-sample@tavlin', '{0b6f2c1e-1d1a-4e6b-9a57-3b1f0c2d4e5f}']);
    assert.equal(fs.statSync(chromiumFile(dir)).mode & 0o777, 0o644, 'browsers of every user read it');
    assert.deepEqual(fs.readdirSync(path.join(dir, 'manifests')).sort(),
                     [`${HOST_NAME}.chromium.json`, `${HOST_NAME}.firefox.json`], 'no staging left');

    // A family with no extension left loses its manifest, rather than falling back to the sample.
    const firefoxOnly = update(dir, 'firefox quillet-sample@tavlin\n');
    assert.equal(firefoxOnly.status, 0, firefoxOnly.stderr);
    assert.ok(!fs.existsSync(chromiumFile(dir)));
    assert.ok(fs.existsSync(firefoxFile(dir)));
  });

  test('a bad line refuses the whole list and leaves the manifests as they were', () => {
    const dir = freshDir('update');
    assert.equal(update(dir, `chromium ${EXTENSION_ID}\nfirefox quillet-sample@tavlin\n`).status, 0);
    const before = [fs.readFileSync(chromiumFile(dir), 'utf8'), fs.readFileSync(firefoxFile(dir), 'utf8')];
    const cases = [
      [`chromium ${'a'.repeat(32)}\nfirefox bad"id\n`, /not a Firefox add-on ID/],
      [`firefox one@example\nchromium ${'z'.repeat(32)}\n`, /not a Chromium extension ID/],
      ['opera abc\n', /:1: unknown browser family 'opera'/],
      [`firefox one@example\nchromium\n`, /:2: expected 'chromium ID'/],
      [`chromium ${'a'.repeat(32)} ${'b'.repeat(32)}\n`, /:1: expected/],
    ];
    for (const [list, message] of cases) {
      const refused = update(dir, list);
      assert.equal(refused.status, 1, list);
      assert.match(refused.stderr, message, list);
      assert.deepEqual([fs.readFileSync(chromiumFile(dir), 'utf8'), fs.readFileSync(firefoxFile(dir), 'utf8')], before, list);
    }
    assert.deepEqual(fs.readdirSync(path.join(dir, 'manifests')).length, 2, 'no staging left');
  });
});

test('extension-id.sh computes the ID Chromium gives the sample extension', () => {
  const printed = execFileSync('bash', [path.join(SOURCE_DIR, 'tools/browser/extension-id.sh')], { encoding: 'utf8' });
  assert.equal(printed.trim(), EXTENSION_ID);
});

// The Windows command needs a Windows command interpreter: Wine's, when it is installed.
function findWine() {
  for (const candidate of ['/usr/lib/wine/wine64', '/usr/bin/wine64', '/usr/bin/wine']) {
    if (fs.existsSync(candidate)) return candidate;
  }
  return null;
}

describe('Windows registration (register-host.cmd under Wine)', () => {
  const wine = findWine();
  const keys = ['Chromium', 'Google\\Chrome', 'Mozilla'].map((browser) =>
    `HKCU\\Software\\${browser}\\NativeMessagingHosts\\${HOST_NAME}`);
  let env;
  let prefix;
  const run = (args) => spawnSync(wine, args, { env, encoding: 'utf8', cwd: path.dirname(prefix), timeout: 120_000 });
  // The manifest path a registry key names, or null when the key does not exist.
  const keyValue = (key) => {
    const match = run(['reg', 'query', key]).stdout.match(/REG_SZ\s+(.+?)\r?$/m);
    return match ? match[1] : null;
  };
  // The Unix path of a C: path inside the prefix.
  const unixPath = (windowsPath) =>
    path.join(prefix, 'drive_c', ...windowsPath.replace(/^C:\\/i, '').split('\\'));

  test('registers the three browsers\' keys with their manifests and removes them again',
       { skip: wine === null && 'Wine is not installed' }, (t) => {
    // One prefix per build, kept between runs: making one takes most of a minute.
    prefix = path.join(WORK_DIR, 'wine-prefix');
    fs.mkdirSync(WORK_DIR, { recursive: true });
    env = { ...process.env, WINEPREFIX: prefix, WINEDEBUG: '-all', WINEDLLOVERRIDES: 'mscoree,mshtml=' };
    // A wine server that stays up for the whole test: one started by each call would keep
    // that call's output pipes open for seconds after it ends.
    const server = ['wineserver64', 'wineserver'].map((name) => path.join(path.dirname(wine), name))
      .find((candidate) => fs.existsSync(candidate));
    if (server) {
      spawn(server, ['-f', '-p'], { env, stdio: 'ignore', detached: true }).unref();
      t.after(() => spawnSync(server, ['-k'], { env, stdio: 'ignore' }));
    }
    // The first call starts Wine's own background processes, which live as long as the
    // server: started here, they hold none of the later calls' output pipes.
    spawnSync(wine, ['reg', 'query', 'HKCU\\Software'], { env, stdio: 'ignore', timeout: 300_000 });
    for (const key of keys) run(['reg', 'delete', key, '/f']);
    assert.deepEqual(keys.map(keyValue), [null, null, null], 'a clean registry to start from');
    const script = `Z:${path.join(SOURCE_DIR, 'tools/browser/register-host.cmd').replaceAll('/', '\\')}`;
    const registered = run(['cmd', '/c', script, 'register', '--host', 'C:\\windows\\system32\\cmd.exe',
                            '--extension-id', 'a'.repeat(32), '--extension-id', 'b'.repeat(32)]);
    assert.equal(registered.status, 0, registered.stdout + registered.stderr);

    const manifests = keys.map(keyValue);
    assert.ok(manifests.every((value) => value !== null), `keys set: ${manifests}`);
    assert.equal(manifests[0], manifests[1], 'Chromium and Chrome share one manifest');
    const chromium = readManifest(unixPath(manifests[0]));
    const firefox = readManifest(unixPath(manifests[2]));
    assert.deepEqual(Object.keys(chromium).sort(), CHROMIUM_KEYS);
    assert.deepEqual(Object.keys(firefox).sort(), FIREFOX_KEYS);
    for (const manifest of [chromium, firefox]) {
      assert.equal(manifest.name, HOST_NAME);
      assert.equal(manifest.path, 'C:\\windows\\system32\\cmd.exe');
      assert.equal(manifest.type, 'stdio');
    }
    assert.deepEqual(chromium.allowed_origins, ['a', 'b'].map((l) => `chrome-extension://${l.repeat(32)}/`));
    assert.deepEqual(firefox.allowed_extensions, ['quillet-sample@tavlin']);

    const unregistered = run(['cmd', '/c', script, 'unregister']);
    assert.equal(unregistered.status, 0, unregistered.stdout + unregistered.stderr);
    assert.deepEqual(keys.map(keyValue), [null, null, null]);
    assert.ok(!fs.existsSync(unixPath(manifests[0])) && !fs.existsSync(unixPath(manifests[2])));

    const missingHost = run(['cmd', '/c', script, 'register', '--host', 'C:\\nothing\\QuilletHost.exe']);
    assert.equal(missingHost.status, 1);
    assert.match(missingHost.stderr, /no host program/);
    assert.deepEqual(keys.map(keyValue), [null, null, null]);
  });
});
