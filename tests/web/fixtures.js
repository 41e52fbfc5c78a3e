// Documents for the web tests, made with qrvtool as the other tests make
// theirs, and what the programs make of them.
'use strict';

const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const BIN = process.env.EXQRV_BIN;
const SAMPLES = process.env.EXQRV_SAMPLES;
const QRVTOOL = path.join(BIN, 'qrvtool');

// Every byte from space up, a line at a time: what a code page decides.
const HIGH_BYTES = Buffer.concat(
  Array.from({ length: 14 }, (_, line) => Buffer.concat([
    Buffer.from(Array.from({ length: 16 }, (_, i) => 0x20 + line * 16 + i)), Buffer.from('\r\n'),
  ])));

// name: qrvtool make's options and pages (samples, or the high bytes).
const DOCUMENTS = {
  plain: { options: ['--note', '1:[Margin] :rebuilt in 1871.'], pages: ['recipes-1.txt'] },
  compressed: { options: ['--compress'], pages: ['river-1.txt', 'high-bytes'] },
  notes: {
    options: ['--compress', '--compress-notes', '--note', '2:Note to page 2, :posted.',
              '--note', '2:[second]:[note]'],
    pages: ['letters-1.txt', 'letters-2.txt'],
  },
  pages: {
    options: ['--note', '1:a:b', '--note', '3:c:d'],
    pages: ['river-1.txt', 'river-2.txt', 'letters-1.txt', 'letters-2.txt', 'letters-3.txt'],
  },
};

function qrvtool(...args) {
  return spawnSync(QRVTOOL, args.map(String), { maxBuffer: 1 << 30 });
}

// Makes the documents in a new folder: { folder, paths: { name: path } },
// with "damaged" (the notes document, its second page no longer matching
// its CRC-32) and "not-a-document" beside them.
function makeDocuments() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'exqrv-web-'));
  const highBytes = path.join(folder, 'high-bytes.txt');
  fs.writeFileSync(highBytes, HIGH_BYTES);
  const paths = {};
  for (const [name, { options, pages }] of Object.entries(DOCUMENTS)) {
    paths[name] = path.join(folder, `${name}.QRV`);
    const files = pages.map((p) => (p === 'high-bytes' ? highBytes : path.join(SAMPLES, p)));
    execFileSync(QRVTOOL, ['make', ...options, '--out', paths[name], ...files]);
  }
  const damaged = fs.readFileSync(paths.notes);
  const second = JSON.parse(execFileSync(QRVTOOL, ['info', '--json', paths.notes])).pages[1];
  damaged.fill(0xff, second.contentOffset + (second.contentLength >> 1),
               second.contentOffset + (second.contentLength >> 1) + 3);
  paths.damaged = path.join(folder, 'damaged.QRV');
  fs.writeFileSync(paths.damaged, damaged);
  paths['not-a-document'] = path.join(folder, 'stray.QRV');
  fs.writeFileSync(paths['not-a-document'], 'nothing of a document here\r\n'.repeat(20));
  return { folder, paths };
}

// The text file exqrv writes for the document at documentPath.
function exqrvText(documentPath) {
  const folder = path.dirname(documentPath);
  const name = path.basename(documentPath);
  execFileSync(path.join(BIN, 'exqrv'), [name], { cwd: folder, stdio: ['ignore', 'pipe', 'pipe'] });
  const textPath = path.join(folder, `${name.slice(0, -3)}TXT`);
  const text = fs.readFileSync(textPath);
  fs.rmSync(textPath);
  return text;
}

module.exports = { DOCUMENTS, makeDocuments, qrvtool, exqrvText };
