// The page: documents chosen or dropped go to the converter, which reads
// them; their pages come back as bytes and are shown through the chosen code
// page. Downloads are the converter's bytes, untouched.
/* global createExqrvCore, ExqrvDocuments, ExqrvConverter */
'use strict';

const $ = (id) => document.getElementById(id);
// What the page holds of each document, by id: its name, its article and
// how far its pages are shown. The pages themselves are only shown: a new
// code page asks the converter for their bytes again, so that the page
// never holds the text twice.
const shown = new Map();
let nextId = 1;
let codePage = $('codepage').value;
let decoder = new TextDecoder(codePage);
const send = startConverter(receive);

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

// The code page's name for the converter, which makes the UTF-8 download:
// "windows-1252" is CP1252 there.
function converterName(label) {
  const windows = /^windows-(\d+)$/.exec(label);
  if (windows) return `CP${windows[1]}`;
  return label === 'ibm866' ? 'CP866' : label.toUpperCase();
}

// The text file's name as exqrv makes it: the last three characters of the
// document's name become TXT.
function textName(name, utf8) {
  const base = name.length > 3 ? name.slice(0, -3) : `${name}.`;
  return utf8 ? `${base}utf-8.txt` : `${base}TXT`;
}

// --- The converter -----------------------------------------------------

// Served, the page converts in a worker. Browsers start none for a page
// opened from a file, and let it fetch nothing either, but it may load the
// scripts beside it: there the converter runs on the page, its module given
// the .wasm from a script that holds it; so it does in a browser that
// refuses the worker. Returns send(message, transfer).
function startConverter(deliver) {
  if (location.protocol !== 'file:') {
    try {
      const worker = new Worker('worker.js');
      worker.onmessage = ({ data }) => deliver(data);
      worker.onerror = (event) => {
        for (const id of shown.keys()) failed(id, `the converter stopped: ${event.message}`);
      };
      return (message, transfer) => worker.postMessage(message, transfer);
    } catch (error) {
      // On the page, then.
    }
  }
  const scripts = ['exqrv-core.js', 'exqrv-core-wasm.js', 'documents.js', 'converter.js'];
  const convert = Promise.all(scripts.map(loadScript)).then(() => ExqrvConverter.create(
    createExqrvCore({ wasmBinary: embeddedModule() })
      .then((core) => ExqrvDocuments.bind(core)),
    deliver,
    () => new Promise((resolve) => setTimeout(resolve, 0))));
  return (message) => convert.then((run) => run(message), (error) => {
    deliver({ type: 'failed', id: message.id, message: `the converter could not start: ${error}` });
  });
}

function loadScript(name) {
  return new Promise((resolve, reject) => {
    const script = element('script');
    script.src = name;
    script.onload = resolve;
    script.onerror = () => reject(new Error(`${name} did not load`));
    document.head.append(script);
  });
}

// The module's bytes from the script that holds them, which is then let go.
function embeddedModule() {
  const binary = atob(self.exqrvCoreWasm);
  delete self.exqrvCoreWasm;
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// --- Documents ---------------------------------------------------------

function addDocument(file) {
  const id = nextId++;
  const article = element('article', 'document');
  article.setAttribute('aria-busy', 'true');
  const header = element('header');
  const title = element('h2', null, file.name);
  const status = element('p', 'status', 'Opening…');
  status.setAttribute('role', 'status');
  const progress = element('progress');
  const actions = element('div', 'actions');
  const raw = element('button', null, 'Download .TXT');
  const utf8 = element('button', null, 'Download UTF-8');
  raw.disabled = utf8.disabled = true;
  raw.title = 'The text exactly as exqrv writes it';
  utf8.title = 'The text in UTF-8, from the chosen code page';
  raw.addEventListener('click', () => requestText(id, ''));
  utf8.addEventListener('click', () => requestText(id, converterName(codePage)));
  const remove = element('button', 'remove', 'Close');
  remove.setAttribute('aria-label', `Close ${file.name}`);
  remove.addEventListener('click', () => closeDocument(id));
  actions.append(raw, utf8, remove);
  header.append(title, status, progress, actions);
  const pages = element('div', 'pages');
  article.append(header, pages);
  $('documents').append(article);
  shown.set(id, { name: file.name, article, status, progress, pages, buttons: [raw, utf8],
                  pageCount: 0, pass: 0, shownPages: 0, damage: [], failed: false });
  file.arrayBuffer().then(
    (bytes) => send({ type: 'open', id, bytes }, [bytes]),
    (error) => failed(id, `the file cannot be read: ${error.message}`));
}

function failed(id, message) {
  const entry = shown.get(id);
  if (!entry) return;
  entry.failed = true;
  entry.article.classList.add('failed');
  entry.article.removeAttribute('aria-busy');
  entry.status.textContent = `${entry.name}: ${message}`;
  entry.status.setAttribute('role', 'alert');
  entry.progress.hidden = true;
}

function closeDocument(id) {
  const entry = shown.get(id);
  if (!entry) return;
  entry.article.remove();
  shown.delete(id);
  send({ type: 'close', id });
  refreshFind();
}

function pageSection(page) {
  const section = element('section', 'page');
  section.append(element('h3', 'page-number', `Page ${page.number}`));
  if (page.damage) section.append(element('p', 'damage', page.damage));
  section.append(element('pre', 'text', decoder.decode(page.text)));
  for (const [first, second] of page.notes) {
    const note = element('aside', 'note');
    note.setAttribute('aria-label', `Note on page ${page.number}`);
    note.append(element('span', 'note-first', decoder.decode(first)),
                element('span', 'note-second', decoder.decode(second)));
    section.append(note);
  }
  return section;
}

function showPages(entry, pages) {
  const fragment = document.createDocumentFragment();
  for (const page of pages) {
    if (page.damage) entry.damage.push(page.damage);
    fragment.append(pageSection(page));
  }
  entry.pages.append(fragment);
  entry.shownPages += pages.length;
  const done = entry.shownPages;
  entry.progress.value = done;
  entry.status.textContent = `Reading page ${done} of ${entry.pageCount}…`;
}

function finished(entry) {
  entry.article.removeAttribute('aria-busy');
  entry.progress.hidden = true;
  const count = entry.pageCount;
  entry.status.textContent = `${count} ${count === 1 ? 'page' : 'pages'}`;
  if (entry.damage.length > 0) {
    entry.article.classList.add('damaged');
    entry.status.textContent += ` — damaged: ${entry.damage.join('; ')}`;
  }
  for (const button of entry.buttons) button.disabled = false;
  refreshFind();
}

function requestText(id, encoding) {
  send({ type: 'text', id, encoding });
}

function download(entry, { encoding, pieces, error }) {
  if (error) {
    entry.status.textContent = `${entry.name}: the text cannot be made: ${error}`;
    return;
  }
  const url = URL.createObjectURL(new Blob(pieces, { type: 'application/octet-stream' }));
  const link = element('a');
  link.href = url;
  link.download = textName(entry.name, encoding !== '');
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// What the converter says of a document.
function receive(data) {
  const entry = shown.get(data.id);
  if (!entry) return;
  switch (data.type) {
    case 'failed': failed(data.id, data.message); break;
    case 'opened':
      entry.pageCount = data.pageCount;
      entry.progress.max = Math.max(data.pageCount, 1);
      entry.progress.value = 0;
      break;
    case 'pages': if (data.pass === entry.pass) showPages(entry, data.pages); break;
    case 'done': if (data.pass === entry.pass) finished(entry); break;
    case 'text': download(entry, data); break;
  }
}

function openFiles(files) {
  for (const file of files) addDocument(file);
}

$('files').addEventListener('change', (event) => {
  openFiles(event.target.files);
  event.target.value = '';
});

// A drop anywhere on the page opens what was dropped.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  $('drop').classList.add('dragging');
});
document.addEventListener('dragleave', () => $('drop').classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  $('drop').classList.remove('dragging');
  openFiles(event.dataTransfer.files);
});

// A new code page shows every page again, from its bytes asked anew.
$('codepage').addEventListener('change', (event) => {
  codePage = event.target.value;
  decoder = new TextDecoder(codePage);
  for (const [id, entry] of shown) {
    if (!entry.failed) showAgain(id, entry);
  }
  refreshFind();
});

function showAgain(id, entry) {
  entry.pass += 1;
  entry.shownPages = 0;
  entry.damage = [];
  entry.pages.replaceChildren();
  entry.article.setAttribute('aria-busy', 'true');
  entry.article.classList.remove('damaged');
  entry.progress.hidden = false;
  entry.progress.value = 0;
  send({ type: 'pages', id, pass: entry.pass });
}

// --- Find --------------------------------------------------------------

// Every match of the query in the shown text, in reading order, as the text
// node it lies in and where; current is the one shown.
let matches = [];
let current = -1;
const MAX_MATCHES = 100000;

function escapeForPattern(text) {
  return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

function collectMatches(query) {
  const found = [];
  if (!query) return found;
  const pattern = new RegExp(escapeForPattern(query), 'gi');
  const walker = document.createTreeWalker($('documents'), NodeFilter.SHOW_TEXT, {
    acceptNode: (node) => (node.parentElement.closest('.text, .note')
      ? NodeFilter.FILTER_ACCEPT : NodeFilter.FILTER_REJECT),
  });
  for (let node = walker.nextNode(); node && found.length < MAX_MATCHES; node = walker.nextNode()) {
    for (const match of node.data.matchAll(pattern)) {
      found.push({ node, start: match.index, end: match.index + match[0].length });
      if (found.length >= MAX_MATCHES) break;
    }
  }
  return found;
}

function highlight(ranges, name) {
  if (typeof Highlight === 'undefined' || !CSS.highlights) return;
  CSS.highlights.set(name, new Highlight(...ranges));
}

function rangeOf(match) {
  const range = document.createRange();
  range.setStart(match.node, match.start);
  range.setEnd(match.node, match.end);
  return range;
}

function showMatch() {
  const output = $('matches');
  if (matches.length === 0) {
    output.textContent = $('query').value ? 'no match' : '';
    highlight([], 'current');
    return;
  }
  output.textContent = `${current + 1} of ${matches.length}${matches.length >= MAX_MATCHES ? '+' : ''}`;
  const range = rangeOf(matches[current]);
  highlight([range], 'current');
  const box = range.getBoundingClientRect();
  window.scrollBy({ top: box.top - window.innerHeight / 3 });
}

function refreshFind() {
  matches = collectMatches($('query').value);
  current = matches.length > 0 ? 0 : -1;
  highlight(matches.slice(0, 1000).map(rangeOf), 'matches');
  showMatch();
}

function step(by) {
  if (matches.length === 0) return;
  current = (current + by + matches.length) % matches.length;
  showMatch();
}

$('query').addEventListener('input', refreshFind);
$('find').addEventListener('submit', (event) => {
  event.preventDefault();
  step(1);
});
$('previous').addEventListener('click', () => step(-1));
$('query').addEventListener('keydown', (event) => {
  if (event.key === 'Enter' && event.shiftKey) {
    event.preventDefault();
    step(-1);
  } else if (event.key === 'Escape') {
    $('query').value = '';
    refreshFind();
  }
});
// "/" finds, as in many readers, unless typing somewhere already.
document.addEventListener('keydown', (event) => {
  if (event.key === '/' && !event.target.closest('input, select, textarea')) {
    event.preventDefault();
    $('query').focus();
  }
});
