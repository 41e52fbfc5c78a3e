// The page in a real headless Chromium, served from 127.0.0.1: documents
// chosen through its file input, the pages and notes it shows, a download
// byte for byte exqrv's text, the message for each file it cannot read, a
// phone's width, and no request to any other host; and the same page opened
// from its folder on disk, where it converts without a worker.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { after, before, test } = require('node:test');
const puppeteer = require('puppeteer-core');
const { makeDocuments, qrvtool, exqrvText } = require('./fixtures.js');

const PAGE = process.env.EXQRV_PAGE;
const SCREENSHOTS = process.env.EXQRV_SCREENSHOTS;
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm' };

let folder;
let paths;
let server;
let origin;
let browser;
let page;

// The page's folder as a static host serves it.
function serve() {
  server = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
    const file = path.join(PAGE, path.normalize(name));
    if (!file.startsWith(PAGE) || !fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => {
    origin = `http://127.0.0.1:${server.address().port}`;
    resolve();
  }));
}

// Opens the page at url in a new tab, chooses the files at paths through its
// file input and waits until each document is read or refused. The tab's
// requested lists every address it asked for.
async function openWith(url, files) {
  const tab = await browser.newPage();
  tab.requested = [];
  tab.on('request', (request) => tab.requested.push(request.url()));
  await tab.goto(url);
  const input = await tab.$('#files');
  await input.uploadFile(...files);
  await tab.waitForFunction((count) => {
    const articles = [...document.querySelectorAll('article.document')];
    return articles.length === count && articles.every((a) => !a.hasAttribute('aria-busy'));
  }, { timeout: 60000 }, files.length);
  return tab;
}

before(async () => {
  ({ folder, paths } = makeDocuments());
  await serve();
  browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium',
                                     args: ['--no-sandbox', '--disable-gpu'] });
  page = await openWith(`${origin}/`,
                        [paths.notes, paths.pages, paths.compressed, paths.damaged,
                         paths['not-a-document']]);
  await page.setViewport({ width: 1000, height: 900 });
});

after(async () => {
  await browser?.close();
  server?.close();
  fs.rmSync(folder, { recursive: true, force: true });
});

// What the tab shows of the document with this name: its status, and per
// page its text and its notes' two texts.
function shownDocument(name, tab = page) {
  return tab.evaluate((wanted) => {
    const article = [...document.querySelectorAll('article.document')]
      .find((a) => a.querySelector('h2').textContent === wanted);
    return {
      status: article.querySelector('.status').textContent,
      pages: [...article.querySelectorAll('.page')].map((section) => ({
        number: section.querySelector('.page-number').textContent,
        text: section.querySelector('.text').textContent,
        notes: [...section.querySelectorAll('.note')].map(
          (note) => [...note.querySelectorAll('span')].map((span) => span.textContent)),
      })),
    };
  }, name);
}

test('each page is shown with its number, its text and its notes apart', async () => {
  const shown = await shownDocument('pages.QRV');
  assert.equal(shown.status, '5 pages');
  assert.deepEqual(shown.pages.map((p) => p.number), ['Page 1', 'Page 2', 'Page 3', 'Page 4', 'Page 5']);
  for (const [index, { text }] of shown.pages.entries()) {
    const expected = qrvtool('text', '--no-notes', '--pages', `${index + 1}-${index + 1}`, paths.pages);
    assert.equal(text, expected.stdout.toString('latin1'), `page ${index + 1}`);
  }
  assert.deepEqual(shown.pages.map((p) => p.notes), [[['a', 'b']], [], [['c', 'd']], [], []]);
  const notes = await shownDocument('notes.QRV');
  assert.deepEqual(notes.pages[1].notes, [['Note to page 2, ', 'posted.'], ['[second]', '[note]']]);
});

// The bytes the tab's "Download .TXT" gives for the document with this name.
async function downloadText(name, tab = page) {
  const downloads = fs.mkdtempSync(path.join(folder, 'downloads-'));
  const session = await tab.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await tab.evaluate((wanted) => [...document.querySelectorAll('article.document')]
    .find((a) => a.querySelector('h2').textContent === wanted)
    .querySelector('.actions button').click(), name);
  const file = path.join(downloads, `${name.slice(0, -3)}TXT`);
  for (let waited = 0; !fs.existsSync(file) && waited < 200; ++waited) {
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return fs.readFileSync(file);
}

test('the download is exqrv\'s text, byte for byte', async () => {
  assert.deepEqual(await downloadText('notes.QRV'), exqrvText(paths.notes));
});

test('a damaged file and a non-document are each named with the reason', async () => {
  const damaged = await shownDocument('damaged.QRV');
  assert.match(damaged.status, /damaged: .*page 2/);
  assert.equal(damaged.pages.length, 2);
  const refused = await shownDocument('stray.QRV');
  assert.equal(refused.status, 'stray.QRV: not a Quillor document');
  assert.equal(refused.pages.length, 0);
});

// Chooses another code page in the tab and checks that the compressed
// document's page of high bytes is shown through it, each page once; then
// chooses Windows-1252 again.
async function checkCodePage(tab) {
  const highBytes = qrvtool('text', '--no-notes', '--pages', '2-2', paths.compressed).stdout;
  const settled = () => tab.waitForFunction(() => [...document.querySelectorAll('article.document')]
    .every((a) => !a.hasAttribute('aria-busy')), { timeout: 60000 });
  for (const codePage of ['windows-1251', 'windows-1252']) {
    await tab.select('#codepage', codePage);
    await settled();
    const shown = await shownDocument('compressed.QRV', tab);
    assert.equal(shown.status, '2 pages', codePage);
    assert.equal(shown.pages.length, 2, codePage);
    // Node decodes Windows-1252 as Latin-1: the browser's own decoder says.
    const expected = await tab.evaluate((bytes, label) => new TextDecoder(label)
      .decode(new Uint8Array(bytes)), [...highBytes], codePage);
    assert.equal(shown.pages[1].text, expected, codePage);
  }
}

test('another code page shows the pages again through it', async () => {
  await checkCodePage(page);
});

test('find counts and steps through the matches', async () => {
  await page.focus('body');
  await page.keyboard.press('/');
  await page.keyboard.type('note');
  const count = await page.$eval('#matches', (output) => output.textContent);
  assert.match(count, /^1 of \d+$/);
  await page.keyboard.press('Enter');
  assert.match(await page.$eval('#matches', (output) => output.textContent), /^2 of /);
  await page.keyboard.press('Escape');
});

test('it reads at a phone\'s width, and asked no other host', async () => {
  fs.mkdirSync(SCREENSHOTS, { recursive: true });
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: path.join(SCREENSHOTS, 'page.png') });
  await page.setViewport({ width: 360, height: 740 });
  await page.screenshot({ path: path.join(SCREENSHOTS, 'page-phone.png') });
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `${overflow} pixels wider than the phone`);
  const elsewhere = page.requested.filter((url) => !url.startsWith(`${origin}/`) && !url.startsWith('blob:'));
  assert.deepEqual(elsewhere, []);
  assert.ok(page.requested.some((url) => url.endsWith('.wasm')), 'the module was loaded from the page\'s host');
  assert.ok(!page.requested.some((url) => url.endsWith('-wasm.js')), 'served, the page fetched the module');
});

test('opened from its folder on disk, it reads documents without a worker', async () => {
  // As the browser writes the folder's address: a space in it is %20.
  const folder = pathToFileURL(`${PAGE}/`).href;
  const local = await openWith(new URL('index.html', folder).href,
                               [paths.pages, paths.compressed, paths.damaged]);
  try {
    const shown = await shownDocument('pages.QRV', local);
    assert.equal(shown.status, '5 pages');
    const texts = shown.pages.map((p) => p.text + p.notes.flat().join('')).join('');
    assert.equal(texts, qrvtool('text', paths.pages).stdout.toString('latin1'));
    assert.deepEqual(await downloadText('pages.QRV', local), exqrvText(paths.pages));
    assert.match((await shownDocument('damaged.QRV', local)).status, /damaged: .*page 2/);
    await checkCodePage(local);
    const elsewhere = local.requested.filter((url) => !url.startsWith(folder) && !url.startsWith('blob:'));
    assert.deepEqual(elsewhere, []);
  } finally {
    await local.close();
  }
});
