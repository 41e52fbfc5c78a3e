// The Node entry of the npm package: the same module as the page's, with
// its .wasm handed over as bytes (Node's fetch cannot read a file path).
'use strict';

const fs = require('fs');
const path = require('path');
const createExqrvCore = require('./exqrv-core.js');
const { bind, ExqrvError } = require('./documents.js');

let loading = null;

// The module, loaded once: { open(bytes), version }.
function load() {
  if (!loading) {
    const wasmBinary = fs.readFileSync(path.join(__dirname, 'exqrv-core.wasm'));
    loading = createExqrvCore({ wasmBinary }).then(bind);
  }
  return loading;
}

// Opens the document in bytes: { pageCount, page(n), pages(), text(options),
// close() }.
async function open(bytes) {
  return (await load()).open(bytes);
}

module.exports = { open, load, ExqrvError };
