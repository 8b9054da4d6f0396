// node --test examples/node: the client against the simulated helper
// (ORLIMBO_DICTATION_SIM), against stand-ins that break the rules, and against
// the real helper (ORLIMBO_DICTATION_HELPER) where an audio server answers.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { DictationSession, LineSplitter, status, version } = require('./dictation-client');

const sim = process.env.ORLIMBO_DICTATION_SIM;
const helper = process.env.ORLIMBO_DICTATION_HELPER;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orlimbo-node-'));
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));

let files = 0;
function scratchFile(text, mode) {
  const file = path.join(scratch, `f${files++}`);
  fs.writeFileSync(file, text, { mode });
  return file;
}

function simSession(scenario, options = {}) {
  const env = { ...process.env };
  if (scenario) env.ORLIMBO_DICTATION_SCENARIO = scratchFile(JSON.stringify(scenario));
  return record(new DictationSession(sim, { env, ...options }));
}

// A stand-in helper: a bash script.
function scriptSession(body, limits) {
  const script = scratchFile(`#!/bin/bash\n${body}\n`, 0o755);
  return record(new DictationSession(script, { limits }));
}

function record(session) {
  session.seen = [];
  session.on('state', (state) => session.seen.push(state));
  session.on('interim', (text) => session.seen.push(`interim ${text}`));
  return session;
}

function once(session, state) {
  return new Promise((resolve) => {
    const listener = (seen) => {
      if (seen !== state) return;
      session.off('state', listener);
      resolve();
    };
    session.on('state', listener);
  });
}

test('line splitter keeps lines of any length and characters cut between chunks', () => {
  const lines = [];
  const splitter = new LineSplitter((line) => lines.push(line));
  const long = '👍🏽'.repeat(100000);
  const bytes = Buffer.from(`${long}\n{"a":"é"}\nrest`);
  for (let at = 0; at < bytes.length; at += 4093) splitter.push(bytes.subarray(at, at + 4093));
  assert.deepEqual(lines, [long, '{"a":"é"}']);
  assert.equal(splitter.rest, 4);
});

test('simulated helper: stop delivers the final after the interims', { skip: !sim }, async () => {
  const session = simSession(null);
  await once(session, 'listening');
  session.stop();
  assert.deepEqual(await session.done, { type: 'final', text: 'Hello from the simulated helper.' });
  assert.equal(session.seen[0], 'starting');
  assert.ok(session.seen.includes('stopping'));
});

test('simulated helper: closing messages and their exit statuses', { skip: !sim }, async (t) => {
  const huge = '👩‍👩‍👧‍👦'.repeat(16000);
  const cases = [
    {
      name: 'cancel while listening',
      scenario: { recognition: [] },
      act: (s) => once(s, 'listening').then(() => s.cancel()),
      closing: { type: 'state', state: 'cancelled' },
    },
    {
      name: 'no microphone',
      scenario: { microphone: null },
      act: () => {},
      closing: { type: 'error', message: 'No usable microphone was found.' },
    },
    {
      name: 'stop before recording began',
      scenario: { speechPrompt: null },
      act: (s) => once(s, 'starting').then(() => s.stop()),
      closing: { type: 'final', text: '' },
    },
    {
      name: 'a final far longer than any pipe buffer',
      scenario: { recognition: [{ at: 0.05, final: huge }] },
      act: () => {},
      closing: { type: 'final', text: huge },
    },
  ];
  for (const c of cases) {
    await t.test(c.name, async () => {
      const session = simSession(c.scenario);
      await c.act(session);
      assert.deepEqual(await session.done, c.closing);
    });
  }
});

test('stand-ins that break the rules are killed and reported', async (t) => {
  const limits = { start: 0.5, stopGrace: 0.2, margin: 0.1, cap: 0.3, exit: 0.3 };
  const cases = [
    { name: 'silent at start', body: 'exec sleep 30', code: 'timeout' },
    {
      name: 'never closes after listening',
      body: `echo '{"type":"state","state":"listening"}'; exec sleep 30`,
      code: 'timeout',
    },
    {
      name: 'ignores stop',
      body: `echo '{"type":"state","state":"listening"}'; exec sleep 30`,
      act: (s) => once(s, 'listening').then(() => s.stop()),
      code: 'timeout',
    },
    { name: 'error with exit status 0', body: `echo '{"type":"error","message":"x"}'`, code: 'exit-status' },
    { name: 'final with exit status 1', body: `echo '{"type":"final","text":""}'; exit 1`, code: 'exit-status' },
    { name: 'exits without a closing message', body: `echo '{"type":"state","state":"starting"}'`, code: 'protocol' },
    { name: 'not JSON', body: `echo 'hello'; exec sleep 30`, code: 'protocol' },
    {
      name: 'a line after the closing message',
      body: `echo '{"type":"final","text":""}'; echo '{"type":"interim","text":"late"}'`,
      code: 'protocol',
    },
    {
      name: 'does not exit after closing',
      body: `echo '{"type":"final","text":""}'; exec sleep 30 </dev/null`,
      code: 'timeout',
    },
  ];
  for (const c of cases) {
    await t.test(c.name, async () => {
      const session = scriptSession(c.body, limits);
      if (c.act) await c.act(session);
      await assert.rejects(session.done, { code: c.code });
    });
  }
  await t.test('a missing executable', async () => {
    const session = new DictationSession(path.join(scratch, 'missing'));
    await assert.rejects(session.done, { code: 'spawn' });
  });
});

test('stdin stays open until the closing message', async () => {
  // Like the helper, the stand-in cancels when its input ends after "stop".
  const body = [
    `echo '{"type":"state","state":"listening"}'`,
    'read line',
    'read -t 0.3 more; ended=$?',
    `[ $ended -gt 128 ] && echo '{"type":"final","text":"kept"}' ||`,
    `  echo '{"type":"state","state":"cancelled"}'`,
  ].join('\n');
  const session = scriptSession(body, { start: 2, exit: 2 });
  await once(session, 'listening');
  session.stop();
  assert.deepEqual(await session.done, { type: 'final', text: 'kept' });
});

test('simulated helper answers --version and --status', { skip: !sim }, async () => {
  assert.equal((await version(sim)).type, 'version');
  assert.equal((await version(sim)).protocol, 1);
  assert.deepEqual(await status(sim, { locale: 'fr-FR' }), {
    type: 'status',
    available: false,
    locale: 'fr-FR',
    reason: 'Speech recognition is unavailable for fr-FR.',
  });
});

test('real helper: a session that is cancelled while listening', { skip: !helper }, async (t) => {
  const answer = await status(helper, { locale: 'en-US' });
  if (!answer.available) return t.skip(`unavailable: ${answer.reason}`);
  const session = record(new DictationSession(helper, { locale: 'en-US' }));
  await once(session, 'listening');
  session.cancel();
  assert.deepEqual(await session.done, { type: 'state', state: 'cancelled' });
});
