// A virtual X display (Xvfb) for the host's certificate selection dialog, and xdotool
// to find the dialog and press its keys as a user would.
import { spawn, spawnSync } from 'node:child_process';

// Starts Xvfb on a display number it picks itself. Resolves with {display, stop}.
export function startXvfb() {
  const server = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                       { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
  // Never outlives the tests, however they end.
  process.on('exit', () => server.kill());
  return new Promise((resolve, reject) => {
    let number = '';
    let errors = '';
    server.stderr.on('data', (chunk) => { errors += chunk; });
    server.stdio[3].on('data', (chunk) => {
      number += chunk;
      if (!number.includes('\n')) return;
      resolve({ display: `:${number.trim()}`, stop: () => server.kill() });
    });
    server.on('error', reject);
    server.on('exit', (code) => reject(new Error(`Xvfb ended (${code}): ${errors}`)));
  });
}

function xdotool(display, args) {
  const result = spawnSync('xdotool', args, {
    env: { ...process.env, DISPLAY: display }, encoding: 'utf8', timeout: 60_000,
  });
  if (result.status !== 0) {
    throw new Error(`xdotool ${args.join(' ')} failed: ${result.error?.message ?? result.stderr}`);
  }
  return result.stdout.trim();
}

// Looks every 100 ms, for at most a minute, for a visible window with exactly this title;
// when it shows, focuses it and presses the key (an X key name such as Return or Escape)
// and resolves true. Resolves false as soon as `stopLooking` resolves true first (the
// answer came without a dialog).
export async function pressWhenShown(display, title, key, stopLooking) {
  const quoted = title.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  for (let waited = 0; waited < 60_000; waited += 100) {
    const found = spawnSync('xdotool', ['search', '--onlyvisible', '--name', `^${quoted}$`], {
      env: { ...process.env, DISPLAY: display }, encoding: 'utf8', timeout: 60_000,
    });
    const [id] = found.status === 0 ? found.stdout.trim().split('\n') : [];
    if (id) {
      xdotool(display, ['windowfocus', '--sync', id]);
      xdotool(display, ['key', '--clearmodifiers', key]);
      return true;
    }
    if (await stopLooking()) return false;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error(`no window "${title}" within a minute`);
}
