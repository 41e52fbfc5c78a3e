// The Node module's and the page's time to open a compressed document of
// about 50 MB of text made from text files this machine has (Python and Perl
// sources, documentation), cut into pages of 60,000 bytes, beside qrvtool
// text's. The page is timed in a headless Chromium from choosing the
// document to its last page shown, served and opened from its folder.
//
//   NODE_PATH=build-web/test-modules/node_modules \
//     node bench/web_text_bench.js BUILD_FOLDER WEB_BUILD_FOLDER [MEGABYTES]
//
// BUILD_FOLDER holds qrvtool and web/ (the page), WEB_BUILD_FOLDER the npm
// package's folder; `make test-web` makes all three and puppeteer-core.
// Without puppeteer-core the page is left out. Each figure is the best of
// three runs; the module's text is checked against qrvtool's first.
'use strict';

const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');

const [build, webBuild, megabytes = '50'] = process.argv.slice(2).map((a, i) => (i < 2 ? path.resolve(a) : a));
const QRVTOOL = path.join(build, 'qrvtool');
const PAGE = path.join(build, 'web');
const PAGE_SIZE = 60000;
const SOURCES = ['/usr/lib/python3', '/usr/share/perl5', '/usr/share/doc'];
const SUFFIXES = ['.py', '.pm', '.txt'];

// Real text, file by file in a fixed order, up to limit bytes.
function corpus(limit) {
  const pieces = [];
  let size = 0;
  const walk = (folder) => {
    let entries;
    try {
      entries = fs.readdirSync(folder, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1));
    } catch {
      return;
    }
    for (const entry of entries) {
      if (size >= limit) return;
      const file = path.join(folder, entry.name);
      if (entry.isDirectory()) walk(file);
      else if (entry.isFile() && SUFFIXES.some((s) => entry.name.endsWith(s))) {
        const bytes = fs.readFileSync(file);
        if (bytes.length < 2 << 20) {
          pieces.push(bytes);
          size += bytes.length;
        }
      }
    }
  };
  SOURCES.forEach(walk);
  return Buffer.concat(pieces);
}

// The corpus again and again until there is textBytes of it, one page a
// file, made into a compressed document.
function makeDocument(folder, textBytes) {
  const text = corpus(40 << 20);
  const names = [];
  for (let at = 0, done = 0; done < textBytes; at = (at + PAGE_SIZE) % text.length) {
    const page = text.subarray(at, Math.min(at + PAGE_SIZE, text.length, at + textBytes - done));
    names.push(path.join(folder, `p${String(names.length).padStart(5, '0')}.txt`));
    fs.writeFileSync(names.at(-1), page);
    done += page.length;
  }
  const document = path.join(folder, 'BIG.QRV');
  execFileSync(QRVTOOL, ['make', '--compress', '--out', document, ...names], { stdio: 'ignore' });
  names.forEach((name) => fs.rmSync(name));
  return document;
}

async function bestOfThree(run) {
  let best = Infinity;
  for (let i = 0; i < 3; ++i) {
    const start = performance.now();
    await run();
    best = Math.min(best, (performance.now() - start) / 1000);
  }
  return best;
}

// The page's folder as a static host serves it; resolves to its address.
function serve() {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                  '.wasm': 'application/wasm' };
  const server = http.createServer((request, response) => {
    const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
    const file = path.join(PAGE, path.normalize(name));
    if (!file.startsWith(PAGE) || !fs.existsSync(file)) return response.writeHead(404).end();
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    return fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => {
    server.unref();
    resolve(`http://127.0.0.1:${server.address().port}/`);
  }));
}

// From choosing the document in a fresh tab of the page at url to every
// page of it shown.
async function pageTime(browser, url, documentPath) {
  const tab = await browser.newPage();
  try {
    await tab.goto(url);
    const input = await tab.$('#files');
    const start = performance.now();
    await input.uploadFile(documentPath);
    await tab.waitForFunction(() => {
      const article = document.querySelector('article.document');
      return article && !article.hasAttribute('aria-busy');
    }, { timeout: 300000, polling: 20 });
    return (performance.now() - start) / 1000;
  } finally {
    await tab.close();
  }
}

async function main() {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'exqrv-web-bench-'));
  try {
    const document = makeDocument(scratch, Number(megabytes) << 20);
    const expected = spawnSync(QRVTOOL, ['text', document], { maxBuffer: 2 ** 31 }).stdout;
    const exqrv = require(path.join(webBuild, 'package'));
    await exqrv.load();
    const bytes = fs.readFileSync(document);
    const check = await exqrv.open(bytes);
    if (!Buffer.from(check.text()).equals(expected)) throw new Error("the module's text is not qrvtool's");
    check.close();

    const rows = [];
    const row = (what, seconds) => rows.push([what, seconds]);
    const nowhere = fs.openSync(os.devNull, 'w');
    row('qrvtool text > /dev/null', await bestOfThree(() => spawnSync(QRVTOOL, ['text', document],
                                                                        { stdio: ['ignore', nowhere, 'ignore'] })));
    fs.closeSync(nowhere);
    row('module: open, every page', await bestOfThree(async () => {
      const opened = await exqrv.open(bytes);
      for (const page of opened.pages()) page.text.length;
      opened.close();
    }));
    row('module: open, text()', await bestOfThree(async () => {
      const opened = await exqrv.open(bytes);
      opened.text();
      opened.close();
    }));
    let puppeteer = null;
    try {
      puppeteer = require('puppeteer-core');
    } catch {
      console.log('(no puppeteer-core: the page is left out)');
    }
    if (puppeteer) {
      const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium',
                                               args: ['--no-sandbox', '--disable-gpu'] });
      try {
        const served = await serve();
        row('page, served: every page shown', await bestOfThree(() => pageTime(browser, served, document)));
        row('page, from its folder: every page shown',
            await bestOfThree(() => pageTime(browser, `file://${PAGE}/index.html`, document)));
      } finally {
        await browser.close();
      }
    }

    const textMb = expected.length / 1e6;
    console.log(`document: ${(bytes.length / 1e6).toFixed(1)} MB compressed, ${textMb.toFixed(1)} MB of text`);
    const tool = rows[0][1];
    for (const [what, seconds] of rows) {
      console.log(`${what.padEnd(42)} ${seconds.toFixed(2).padStart(6)} s  ${(textMb / seconds).toFixed(1).padStart(6)} MB/s` +
                  (seconds === tool ? '' : `  (${(seconds / tool).toFixed(1)} x qrvtool)`));
    }
  } finally {
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
