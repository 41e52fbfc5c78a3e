// Quillor documents through the WebAssembly module's C API (exqrv.h), for
// the page's worker and for Node alike: bind(core) takes the loaded module
// and gives open(bytes). Loaded as a classic script (a worker's
// importScripts) or as a CommonJS module.
(function (root, factory) {
  if (typeof module === 'object' && module.exports) module.exports = factory();
  else root.ExqrvDocuments = factory();
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  // exqrv_result, by the names a caller can test for.
  const RESULTS = ['ok', 'argument', 'file', 'not-document', 'damaged', 'temporary', 'limit',
                   'memory', 'stopped'];
  const OK = 0;
  const DAMAGED = 4;
  const TEXT_LF = 1;
  const TEXT_PAGE_BREAK = 2;

  class ExqrvError extends Error {
    constructor(result, message) {
      super(message);
      this.name = 'ExqrvError';
      this.code = RESULTS[result] || 'unknown';
    }
  }

  // The largest file in memory that grows in place: working copies take
  // 32-bit offsets.
  const LARGEST_FILE = 2 ** 32;

  // Gives the file in memory a buffer of at least capacity bytes that grows
  // without moving; false where the engine has no such buffers.
  function growInPlace(node, capacity) {
    if (capacity > LARGEST_FILE) return false;
    try {
      const buffer = node.contents && node.contents.buffer;
      if (buffer && buffer.resizable && node.contents.byteOffset === 0) {
        buffer.resize(Math.min(capacity, buffer.maxByteLength));
        return node.contents.length >= capacity;
      }
      const grown = new ArrayBuffer(capacity, { maxByteLength: LARGEST_FILE });
      if (!grown.resizable) return false;
      const contents = new Uint8Array(grown);
      if (node.contents) contents.set(node.contents.subarray(0, node.usedBytes));
      node.contents = contents;
      return true;
    } catch (error) {
      return false;
    }
  }

  function bind(core) {
    // The module's file system is its own, but its /tmp is made writable
    // by all without the sticky bit, which the core rightly refuses for its
    // temporary files: it is given the bit a shared /tmp has.
    core.FS.chmod('/tmp', 0o1777);
    // A file in memory grows by an eighth at a time past its first
    // megabyte, into a new array each time: a large document's working
    // copy would be allocated and copied some thirty times over. Where the
    // engine has buffers that grow in place, the file's does, reserved up to
    // the largest offset a working copy may reach; elsewhere it doubles,
    // which copies it about once.
    const memory = core.FS.filesystems && core.FS.filesystems.MEMFS;
    if (memory && memory.expandFileStorage) {
      const expand = memory.expandFileStorage;
      memory.expandFileStorage = (node, capacity) => {
        const held = node.contents ? node.contents.length : 0;
        if (capacity <= held) return;
        const wanted = Math.max(capacity, 2 * held);
        if (growInPlace(node, wanted)) return;
        expand(node, wanted);
      };
    }
    const c = {
      version: core.cwrap('exqrv_version', 'string', []),
      create: core.cwrap('exqrv_new', 'number', []),
      close: core.cwrap('exqrv_close', null, ['number']),
      openFile: core.cwrap('exqrv_open_file', 'number', ['number', 'string']),
      pageCount: core.cwrap('exqrv_page_count', 'number', ['number']),
      setTextOptions: core.cwrap('exqrv_set_text_options', 'number', ['number', 'string', 'number']),
      pageText: core.cwrap('exqrv_page_text', 'number', ['number', 'number', 'number', 'number']),
      noteCount: core.cwrap('exqrv_note_count', 'number', ['number', 'number', 'number']),
      note: core.cwrap('exqrv_note', 'number',
                       ['number', 'number', 'number', 'number', 'number', 'number', 'number']),
      writeText: core.cwrap('exqrv_write_text', 'number', ['number', 'number', 'number']),
      message: core.cwrap('exqrv_message', 'string', ['number']),
    };
    // Four pointer-sized out-parameters, shared by every call: the module
    // runs one call at a time.
    const out = core._malloc(16);
    const word = (index) => core.HEAPU32[(out >> 2) + index];
    // The bytes of the view at words (pointer, size), copied out of the
    // module's memory, which the next call may reuse or move.
    const bytesAt = (index) => core.HEAPU8.slice(word(index), word(index) + word(index + 1));

    // The whole text comes out a few hundred kilobytes at a time, each piece
    // copied out as it is made: the module's memory, which never shrinks,
    // then never holds the whole text.
    let pieces = null;
    const writer = core.addFunction((context, bytes, size) => {
      pieces.push(core.HEAPU8.slice(bytes, bytes + size));
      return 0;
    }, 'iiii');

    // The documents' files, one for each open document, which owns it.
    const DOCUMENT_FOLDER = '/documents';
    core.FS.mkdir(DOCUMENT_FOLDER);
    let opened = 0;

    function writeDocument(path, data) {
      try {
        core.FS.writeFile(path, data, { canOwn: true });
        return true;
      } catch (error) {
        return false;
      }
    }

    function removeDocument(path) {
      try {
        core.FS.unlink(path);
      } catch (error) {
        // Never written.
      }
    }

    class QrvDocument {
      constructor(handle, path) {
        this.handle = handle;
        this.path = path;
        this.pageCount = c.pageCount(handle);
      }

      // Throws unless result is OK; a damaged page or text is given with its
      // message instead, as what could be read.
      check(result, damageAllowed) {
        if (result === OK || (damageAllowed && result === DAMAGED)) {
          return result === OK ? null : c.message(this.handle);
        }
        throw new ExqrvError(result, c.message(this.handle));
      }

      // Bytes are a code page's for the default options; with encoding
      // ('CP1252', ...) they are UTF-8, as qrvtool's --encoding makes them.
      setTextOptions({ encoding = '', lf = false, pageBreak = false } = {}) {
        const flags = (lf ? TEXT_LF : 0) | (pageBreak ? TEXT_PAGE_BREAK : 0);
        this.check(c.setTextOptions(this.handle, encoding, flags), false);
      }

      // One page (1 to pageCount): { number, text, notes: [[first, second]],
      // damage: null or why the text is not whole }.
      page(number) {
        const damage = this.check(c.pageText(this.handle, number, out, out + 4), true);
        const text = bytesAt(0);
        this.check(c.noteCount(this.handle, number, out), false);
        const notes = [];
        for (let index = 0, count = word(0); index < count; ++index) {
          this.check(c.note(this.handle, number, index, out, out + 4, out + 8, out + 12), false);
          notes.push([bytesAt(0), bytesAt(2)]);
        }
        return { number, text, notes, damage };
      }

      * pages() {
        for (let number = 1; number <= this.pageCount; ++number) yield this.page(number);
      }

      // The whole text, exactly as exqrv writes it unless options are set,
      // in pieces (Uint8Arrays) as the module made them. With damaged pages
      // it is the text as written, and damage says why.
      textPieces(options) {
        if (options) this.setTextOptions(options);
        pieces = [];
        try {
          this.damage = this.check(c.writeText(this.handle, writer, 0), true);
          return pieces;
        } finally {
          pieces = null;
        }
      }

      // The whole text in one piece.
      text(options) {
        const parts = this.textPieces(options);
        const whole = new Uint8Array(parts.reduce((size, part) => size + part.length, 0));
        let at = 0;
        for (const part of parts) {
          whole.set(part, at);
          at += part.length;
        }
        return whole;
      }

      close() {
        if (!this.handle) return;
        c.close(this.handle);
        removeDocument(this.path);
        this.handle = 0;
      }
    }

    // Opens the document in bytes (a Uint8Array or an ArrayBuffer); throws
    // an ExqrvError with the reason when it is not one, or cannot be read.
    // The core reads a document from a file: the bytes become one in the
    // module's file system, copied, or with adopt taken as they lie (the
    // caller then leaves them unchanged until close).
    function open(bytes, { adopt = false } = {}) {
      const view = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
      // Copied by the constructor: a Buffer's slice would copy nothing.
      const data = adopt ? view : new Uint8Array(view);
      const handle = c.create();
      if (!handle) throw new ExqrvError(7, 'memory ran out');
      const path = `${DOCUMENT_FOLDER}/${++opened}.QRV`;
      const result = writeDocument(path, data) ? c.openFile(handle, path) : null;
      if (result !== OK) {
        const error = result === null ? new ExqrvError(7, 'memory ran out')
                                      : new ExqrvError(result, c.message(handle));
        c.close(handle);
        removeDocument(path);
        throw error;
      }
      return new QrvDocument(handle, path);
    }

    return { open, version: c.version(), ExqrvError };
  }

  return { bind, ExqrvError };
});
