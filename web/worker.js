// Converts documents away from the page, so that a large one keeps the page
// responsive: each document's pages go back in batches as they are read,
// and its text on request, in bytes exactly as exqrv writes them.
/* global createExqrvCore, ExqrvDocuments */
'use strict';

importScripts('exqrv-core.js', 'documents.js');

// Pages go back once about this many bytes of text are ready: often enough
// for the progress, seldom enough that messages cost little.
const BATCH_BYTES = 1 << 20;

const engine = createExqrvCore().then((core) => ExqrvDocuments.bind(core));
const documents = new Map();

function transferables(pages) {
  return pages.flatMap((page) => [page.text.buffer, ...page.notes.flat().map((t) => t.buffer)]);
}

function openDocument(api, { id, bytes }) {
  let document;
  try {
    document = api.open(bytes);
  } catch (error) {
    postMessage({ type: 'failed', id, message: error.message });
    return;
  }
  documents.set(id, document);
  postMessage({ type: 'opened', id, pageCount: document.pageCount });
  let batch = [];
  let size = 0;
  for (const page of document.pages()) {
    batch.push(page);
    size += page.text.length;
    if (size >= BATCH_BYTES || page.number === document.pageCount) {
      postMessage({ type: 'pages', id, pages: batch }, transferables(batch));
      batch = [];
      size = 0;
    }
  }
  postMessage({ type: 'done', id });
}

function sendText({ id, encoding }) {
  const document = documents.get(id);
  if (!document) return;
  try {
    const bytes = document.text({ encoding });
    postMessage({ type: 'text', id, encoding, bytes, damage: document.damage }, [bytes.buffer]);
  } catch (error) {
    postMessage({ type: 'text', id, encoding, error: error.message });
  }
}

self.onmessage = async ({ data }) => {
  let api;
  try {
    api = await engine;
  } catch (error) {
    postMessage({ type: 'failed', id: data.id, message: `the converter could not start: ${error}` });
    return;
  }
  if (data.type === 'open') openDocument(api, data);
  else if (data.type === 'text') sendText(data);
  else if (data.type === 'close') {
    documents.get(data.id)?.close();
    documents.delete(data.id);
  }
};
