// Converts documents away from the page, so that a large one keeps the page
// responsive.
/* global createExqrvCore, ExqrvDocuments, ExqrvConverter */
'use strict';

importScripts('exqrv-core.js', 'documents.js', 'converter.js');

const convert = ExqrvConverter.create(
  createExqrvCore().then((core) => ExqrvDocuments.bind(core)),
  (message, transfer) => postMessage(message, transfer || []),
  null);

self.onmessage = ({ data }) => convert(data);
