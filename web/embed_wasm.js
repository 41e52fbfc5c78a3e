// Writes the script that holds the module's .wasm as base64, for a page
// opened from a file: it may load the scripts beside it but fetch nothing.
//   node embed_wasm.js exqrv-core.wasm exqrv-core-wasm.js
'use strict';

const fs = require('fs');

const [wasm, script] = process.argv.slice(2);
fs.writeFileSync(script, `self.exqrvCoreWasm = '${fs.readFileSync(wasm).toString('base64')}';\n`);
