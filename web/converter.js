// What converts the page's documents, in a worker or, for a page opened
// from a file (where browsers start no worker), on the page itself:
// create(engine, post, pause) gives the function that takes the page's
// messages ({ type: 'open' | 'pages' | 'text' | 'close', id, ... }); what it
// has to say goes back through post(message, transfer). Each document's
// pages go back in batches as they are read, again on request (the page
// keeps only what it shows), and its text on request, in bytes exactly as
// exqrv writes them. Between batches it awaits pause(), which on the page
// lets the page draw and take input.
/* exported ExqrvConverter */
'use strict';

const ExqrvConverter = (() => {
  // Pages go back once about this many bytes of text are ready, or this
  // long after the last batch: often enough for the progress and for a
  // page that converts in its own thread to stay responsive, seldom enough
  // that messages cost little.
  const BATCH_BYTES = 1 << 20;
  const BATCH_MILLISECONDS = 50;

  function transferables(pages) {
    return pages.flatMap((page) => [page.text.buffer, ...page.notes.flat().map((t) => t.buffer)]);
  }

  function create(engine, post, pause) {
    const documents = new Map();
    // The pass each document's pages are being sent for: a newer request
    // ends an older one that still runs.
    const passes = new Map();

    async function openDocument(api, message) {
      const { id } = message;
      let document;
      try {
        document = api.open(message.bytes, { adopt: true });
      } catch (error) {
        post({ type: 'failed', id, message: error.message });
        return;
      } finally {
        // The module's file holds the bytes now, or they are of no use.
        message.bytes = null;
      }
      documents.set(id, document);
      post({ type: 'opened', id, pageCount: document.pageCount });
      await sendPages({ id, pass: 0 });
    }

    // Every page of the document, the batches and the end marked with the
    // page's pass, by which it knows what answers its latest request.
    async function sendPages({ id, pass }) {
      const document = documents.get(id);
      if (!document) return;
      passes.set(id, pass);
      let batch = [];
      let size = 0;
      let since = performance.now();
      for (let number = 1; number <= document.pageCount; ++number) {
        const page = document.page(number);
        batch.push(page);
        size += page.text.length;
        const last = number === document.pageCount;
        if (last || size >= BATCH_BYTES || performance.now() - since >= BATCH_MILLISECONDS) {
          post({ type: 'pages', id, pass, pages: batch }, transferables(batch));
          batch = [];
          size = 0;
          if (!last && pause) {
            await pause();
            // Closed or asked for again while the page had its turn.
            if (documents.get(id) !== document || passes.get(id) !== pass) return;
          }
          since = performance.now();
        }
      }
      post({ type: 'done', id, pass });
    }

    function sendText({ id, encoding }) {
      const document = documents.get(id);
      if (!document) return;
      try {
        const pieces = document.textPieces({ encoding });
        post({ type: 'text', id, encoding, pieces, damage: document.damage },
             pieces.map((piece) => piece.buffer));
      } catch (error) {
        post({ type: 'text', id, encoding, error: error.message });
      }
    }

    return async (message) => {
      let api;
      try {
        api = await engine;
      } catch (error) {
        post({ type: 'failed', id: message.id, message: `the converter could not start: ${error}` });
        return;
      }
      if (message.type === 'open') await openDocument(api, message);
      else if (message.type === 'pages') await sendPages(message);
      else if (message.type === 'text') sendText(message);
      else if (message.type === 'close') {
        documents.get(message.id)?.close();
        documents.delete(message.id);
        passes.delete(message.id);
      }
    };
  }

  return { create };
})();
