#!/usr/bin/env node
// One dictation driven by the client: prints each event, sends "stop" when
// Enter is pressed (or after STOP_AFTER seconds of listening), and prints the
// closing message.
//
//   node examples/node/dictate.js /usr/bin/orlimbo-dictation [LOCALE]
'use strict';

const { DictationSession } = require('./dictation-client');

const [helper, locale] = process.argv.slice(2);
if (!helper) {
  console.error('usage: dictate.js HELPER [LOCALE]');
  process.exit(2);
}
const session = new DictationSession(helper, { locale });
session.on('state', (state) => {
  console.log(`state    ${state}`);
  if (state !== 'listening') return;
  const after = Number(process.env.STOP_AFTER);
  if (after > 0) setTimeout(() => session.stop(), after * 1000);
  else process.stdin.once('data', () => session.stop());
});
session.on('interim', (text) => console.log(`interim  ${text}`));
session.done.then(
  (closing) => {
    console.log(`closing  ${JSON.stringify(closing)}`);
    process.exit(0);
  },
  (error) => {
    console.log(`failure  ${error.code}: ${error.message}`);
    process.exit(1);
  },
);
