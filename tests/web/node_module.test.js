// The Node module against qrvtool text: the same bytes for generated
// documents (plain, compressed, notes, several pages), page by page and
// whole, raw and through a code page; damaged documents and non-documents
// named as qrvtool names them; and the npm tarball as a user installs it.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { after, before, test } = require('node:test');
const { DOCUMENTS, makeDocuments, qrvtool } = require('./fixtures.js');

const PACKAGE = process.env.EXQRV_PACKAGE;
const exqrv = require(path.join(PACKAGE, 'package'));

let folder;
let paths;
before(() => ({ folder, paths } = makeDocuments()));
after(() => fs.rmSync(folder, { recursive: true, force: true }));

async function openPath(name) {
  return exqrv.open(fs.readFileSync(paths[name]));
}

test('text, and pages with their notes, are qrvtool text\'s bytes', async () => {
  for (const name of Object.keys(DOCUMENTS)) {
    const document = await openPath(name);
    try {
      const expected = qrvtool('text', paths[name]).stdout;
      assert.deepEqual(Buffer.from(document.text()), expected, name);
      const pieces = [];
      for (const page of document.pages()) pieces.push(page.text, ...page.notes.flat());
      assert.deepEqual(Buffer.concat(pieces), expected, `${name}, page by page`);
      assert.equal(document.pageCount, DOCUMENTS[name].pages.length, name);
    } finally {
      document.close();
    }
  }
});

// The module reads a document from a file of its own: the caller's bytes
// are theirs again once open returns. The document is larger than what the
// core reads ahead, so that its later pages come from that file.
test('the caller\'s bytes may change once the document is open', async () => {
  const page = path.join(folder, 'long-page.txt');
  fs.writeFileSync(page, fs.readFileSync(path.join(process.env.EXQRV_SAMPLES, 'river-1.txt')).toString()
    .repeat(2000));
  const long = path.join(folder, 'LONG.QRV');
  execFileSync(path.join(process.env.EXQRV_BIN, 'qrvtool'), ['make', '--out', long, page, page]);
  const bytes = fs.readFileSync(long);
  const document = await exqrv.open(bytes);
  try {
    bytes.fill(0);
    assert.deepEqual(Buffer.from(document.text()), qrvtool('text', long).stdout);
  } finally {
    document.close();
  }
});

test('code pages to UTF-8 are qrvtool\'s, undefined bytes too', async () => {
  const document = await openPath('compressed');
  try {
    for (const encoding of ['CP1252', 'CP1251', 'CP1253', 'CP866', 'KOI8-R']) {
      const expected = qrvtool('text', '--encoding', encoding, '--lf', paths.compressed).stdout;
      assert.deepEqual(Buffer.from(document.text({ encoding, lf: true })), expected, encoding);
    }
  } finally {
    document.close();
  }
});

test('a damaged page gives what could be read and says why', async () => {
  const document = await openPath('damaged');
  try {
    const told = qrvtool('text', paths.damaged);
    assert.equal(told.status, 1);
    assert.deepEqual(Buffer.from(document.text()), told.stdout);
    assert.match(document.damage, /page 2/);
    assert.equal(document.page(1).damage, null);
    assert.match(document.page(2).damage, /page 2/);
  } finally {
    document.close();
  }
});

test('what is not a document is refused with the reason', async () => {
  for (const bytes of [fs.readFileSync(paths['not-a-document']), new Uint8Array(0)]) {
    await assert.rejects(exqrv.open(bytes), { name: 'ExqrvError', code: 'not-document',
                                              message: /not a Quillor document/ });
  }
});

test('the npm tarball installs into a folder and works from a script', () => {
  const tarball = fs.readdirSync(PACKAGE).find((name) => /^exqrv-.*\.tgz$/.test(name));
  assert.ok(tarball, 'make web packs the tarball');
  const scratch = path.join(folder, 'user');
  fs.mkdirSync(scratch);
  fs.writeFileSync(path.join(scratch, 'package.json'), '{"name": "user", "private": true}');
  execFileSync('npm', ['install', '--silent', '--no-audit', '--no-fund', path.join(PACKAGE, tarball)],
               { cwd: scratch, env: { ...process.env, NODE_PATH: '' } });
  fs.writeFileSync(path.join(scratch, 'print.js'), `
    const exqrv = require('exqrv');
    const bytes = require('fs').readFileSync(process.argv[2]);
    exqrv.open(bytes).then((document) => {
      process.stdout.write(document.text());
      document.close();
    });`);
  const printed = execFileSync('node', ['print.js', paths.pages], { cwd: scratch,
                               env: { ...process.env, NODE_PATH: '' } });
  assert.deepEqual(printed, qrvtool('text', paths.pages).stdout);
});
