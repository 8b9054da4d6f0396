// A host-side client for orlimbo-dictation, with nothing beyond Node's standard
// library (it runs in Electron's main process as well). It follows the rules
// every host must keep:
//  - read standard output as lines of any length (a final transcript of 16000
//    emoji is about 400 KB on one line);
//  - keep standard input open until the closing message has been read: the end
//    of input means "cancel";
//  - bound every wait, and kill a helper that overruns one;
//  - trust a run only when its exit status matches its closing message.
'use strict';

const { spawn } = require('node:child_process');
const { EventEmitter } = require('node:events');

// Seconds. The helper itself ends a recording after 60 s and delivers within
// about 3 s of a stop; the margin covers process start-up and a loaded machine.
const DEFAULT_LIMITS = Object.freeze({
  start: 10, // spawn until the first message
  stopGrace: 3, // stop or cancel until the closing message
  cap: 60, // listening until the helper stops by itself
  margin: 2, // added to every limit but the first
  exit: 2, // closing message until the process has exited
});

const CLOSING_STATUS = Object.freeze({ final: 0, cancelled: 0, error: 1 });

class DictationClientError extends Error {
  constructor(code, message) {
    super(message);
    this.name = 'DictationClientError';
    this.code = code; // 'spawn', 'timeout', 'protocol' or 'exit-status'
  }
}

// Splits a byte stream at line feeds. Lines are decoded whole, so a UTF-8
// sequence cut between two chunks is never mangled; there is no length limit.
class LineSplitter {
  constructor(onLine) {
    this.onLine = onLine;
    this.pieces = [];
  }

  push(chunk) {
    let start = 0;
    for (let end = chunk.indexOf(0x0a); end !== -1; end = chunk.indexOf(0x0a, start)) {
      this.pieces.push(chunk.subarray(start, end));
      const line = Buffer.concat(this.pieces).toString('utf8');
      this.pieces = [];
      start = end + 1;
      this.onLine(line);
    }
    if (start < chunk.length) this.pieces.push(chunk.subarray(start));
  }

  // Bytes after the last line feed: a line the helper never finished.
  get rest() {
    return Buffer.concat(this.pieces).length;
  }
}

// One dictation. Events: 'state' (name), 'interim' (text), 'closing' (message).
// `done` resolves with the closing message ({type:'final',text},
// {type:'state',state:'cancelled'} or {type:'error',message}) once the helper
// has exited with the matching status; it rejects with a DictationClientError
// when the helper cannot be started, overruns a limit, breaks the protocol or
// exits with the wrong status. The helper is killed whenever `done` rejects.
class DictationSession extends EventEmitter {
  constructor(helperPath, { locale, env, limits } = {}) {
    super();
    this.limits = { ...DEFAULT_LIMITS, ...limits };
    this.closing = null;
    this.finished = false;
    this.timer = null;
    this.done = new Promise((resolve, reject) => {
      this.resolve = resolve;
      this.reject = reject;
    });
    // Nobody has to await `done` for an error to stay quiet.
    this.done.catch(() => {});

    const args = locale === undefined ? [] : ['--locale', locale];
    this.child = spawn(helperPath, args, { env, stdio: ['pipe', 'pipe', 'ignore'] });
    this.child.on('error', (error) => this.fail('spawn', `the helper did not start: ${error.message}`));
    // Writing after the helper exited raises EPIPE here, not in the caller.
    this.child.stdin.on('error', () => {});
    const lines = new LineSplitter((line) => this.onLine(line));
    this.child.stdout.on('data', (chunk) => lines.push(chunk));
    this.child.on('close', (status, signal) => this.onExit(status, signal, lines.rest));
    this.arm(this.limits.start, 'no message within the start limit');
  }

  // Asks for the transcript. Before recording began the helper answers at once
  // with an empty final.
  stop() {
    this.send('stop');
  }

  // Asks to discard everything.
  cancel() {
    this.send('cancel');
  }

  send(command) {
    if (this.closing || this.finished) return;
    this.child.stdin.write(JSON.stringify({ command }) + '\n');
    // Never extend a running limit: the cap may already be closer.
    const deadline = Date.now() + (this.limits.stopGrace + this.limits.margin) * 1000;
    if (this.deadline === undefined || deadline < this.deadline) {
      this.arm(this.limits.stopGrace + this.limits.margin, `no closing message after "${command}"`);
    }
  }

  onLine(line) {
    if (this.finished) return;
    let message;
    try {
      message = JSON.parse(line);
    } catch {
      return this.fail('protocol', `not a JSON line: ${line.slice(0, 80)}`);
    }
    if (this.closing) return this.fail('protocol', 'a line after the closing message');
    if (message === null || typeof message !== 'object') {
      return this.fail('protocol', `not a JSON object: ${line.slice(0, 80)}`);
    }
    if (message.type === 'state' && message.state === 'cancelled') return this.close(message);
    if (message.type === 'final' || message.type === 'error') return this.close(message);
    if (message.type === 'state') {
      if (message.state === 'starting') this.disarm();
      // A permission prompt may be open between "starting" and "listening":
      // it waits for the user, so only the user's stop or cancel bounds it.
      if (message.state === 'listening') {
        const limits = this.limits;
        this.arm(limits.cap + limits.stopGrace + limits.margin, 'no closing message after the cap');
      }
      return this.emit('state', message.state);
    }
    if (message.type === 'interim') return this.emit('interim', message.text);
    // Unknown types are skipped, so a newer helper does not break this host.
  }

  close(message) {
    this.closing = message;
    // Only now may standard input close: earlier it would cancel the run.
    this.child.stdin.end();
    this.arm(this.limits.exit, 'the helper did not exit after its closing message');
    this.emit('closing', message);
  }

  onExit(status, signal, unfinishedBytes) {
    if (this.finished) return;
    if (!this.closing) {
      const how = signal ? `signal ${signal}` : `status ${status}`;
      const partial = unfinishedBytes ? ` and ${unfinishedBytes} bytes of an unfinished line` : '';
      return this.fail('protocol', `the helper exited (${how}) without a closing message${partial}`);
    }
    const expected = CLOSING_STATUS[this.closing.type === 'state' ? 'cancelled' : this.closing.type];
    if (status !== expected) {
      return this.fail('exit-status', `exit status ${status} after "${this.closing.type}"`);
    }
    this.finish();
    this.resolve(this.closing);
  }

  fail(code, text) {
    if (this.finished) return;
    this.finish();
    this.child.kill('SIGKILL');
    this.reject(new DictationClientError(code, text));
  }

  finish() {
    this.finished = true;
    this.disarm();
  }

  arm(seconds, text) {
    this.disarm();
    this.deadline = Date.now() + seconds * 1000;
    this.timer = setTimeout(() => this.fail('timeout', text), seconds * 1000);
  }

  disarm() {
    clearTimeout(this.timer);
    this.timer = null;
    this.deadline = undefined;
  }
}

// Runs the helper once with `option` ('--status' or '--version') and resolves
// with its one line, parsed.
function ask(helperPath, option, { locale, env, limits } = {}) {
  const seconds = { ...DEFAULT_LIMITS, ...limits }.start;
  const args = locale === undefined ? [option] : [option, '--locale', locale];
  return new Promise((resolve, reject) => {
    const child = spawn(helperPath, args, { env, stdio: ['ignore', 'pipe', 'ignore'] });
    const found = [];
    const lines = new LineSplitter((line) => found.push(line));
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      reject(new DictationClientError('timeout', `no answer to ${option}`));
    }, seconds * 1000);
    child.on('error', (error) => {
      clearTimeout(timer);
      reject(new DictationClientError('spawn', `the helper did not start: ${error.message}`));
    });
    child.stdout.on('data', (chunk) => lines.push(chunk));
    child.on('close', (status) => {
      clearTimeout(timer);
      let message;
      try {
        message = found.length === 1 ? JSON.parse(found[0]) : undefined;
      } catch {
        message = undefined;
      }
      if (message === undefined || status !== 0) {
        reject(new DictationClientError('protocol', `${option}: ${found.length} lines, status ${status}`));
      } else {
        resolve(message);
      }
    });
  });
}

const status = (helperPath, options) => ask(helperPath, '--status', options);
const version = (helperPath, options) => ask(helperPath, '--version', options);

module.exports = { DictationSession, DictationClientError, LineSplitter, DEFAULT_LIMITS, status, version };
