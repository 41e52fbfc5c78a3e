/* libexqrv: the text of Quillor documents (.QRV), in-process.
 *
 * A document handle opens one document, from a file or from bytes in memory,
 * and gives its text exactly as exqrv writes it: each page's text followed by
 * its notes. Pages and notes can also be had apart, and the text options of
 * qrvtool (code page to UTF-8, LF line ends, a form feed after each page)
 * apply on request.
 *
 * Every call returns a result; when it is not EXQRV_OK, exqrv_message says
 * why in words for a user. The library shows nothing, asks nothing and
 * installs no signal handler. Separate handles may be used from separate
 * threads at once; one handle is used by one thread at a time.
 *
 * Each handle makes its temporary files (a compressed document's working
 * copy, its notes, a document given in memory) in a private folder of its
 * own (mode 0700) under the folder set with exqrv_set_temp_folder, else
 * under $TMPDIR, else /tmp; the folder goes with the handle.
 */
#ifndef EXQRV_H
#define EXQRV_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define EXQRV_API __attribute__((visibility("default")))
#else
#define EXQRV_API
#endif

#define EXQRV_VERSION_MAJOR 1
#define EXQRV_VERSION_MINOR 0

typedef enum exqrv_result {
  EXQRV_OK = 0,
  EXQRV_ERROR_ARGUMENT = 1,     /* a null pointer, a page outside the document, an unknown
                                   code page, a call in the wrong state */
  EXQRV_ERROR_FILE = 2,         /* the file cannot be opened or read (the system's reason) */
  EXQRV_ERROR_NOT_DOCUMENT = 3, /* not a Quillor document */
  EXQRV_ERROR_DAMAGED = 4,      /* a table cut short, or a page that does not expand or does
                                   not match its CRC-32: the text given is what could be read */
  EXQRV_ERROR_TEMPORARY = 5,    /* a temporary file could not be made or written */
  EXQRV_ERROR_LIMIT = 6,        /* the document expands beyond its limit */
  EXQRV_ERROR_MEMORY = 7,       /* memory ran out */
  EXQRV_ERROR_STOPPED = 8       /* the caller's writer asked to stop */
} exqrv_result;

/* Text options, or-ed together. */
#define EXQRV_TEXT_LF 1u         /* CR LF becomes LF */
#define EXQRV_TEXT_PAGE_BREAK 2u /* a form feed after each page */

typedef struct exqrv_document exqrv_document;

/* The library's version, "1.0". */
EXQRV_API const char* exqrv_version(void);

/* A new handle with no document; NULL only when memory runs out. */
EXQRV_API exqrv_document* exqrv_new(void);
/* Closes the document, removes the handle's temporary files and frees it.
   NULL is fine. */
EXQRV_API void exqrv_close(exqrv_document* document);

/* Before opening: the folder to make the private temporary folder in (NULL:
   $TMPDIR, else /tmp). */
EXQRV_API exqrv_result exqrv_set_temp_folder(exqrv_document* document, const char* folder);
/* Before opening: what the document may expand to in temporary files, in
   bytes (0: a default that grows with the document's size). */
EXQRV_API exqrv_result exqrv_set_max_expansion(exqrv_document* document, uint64_t bytes);

/* Opens the document at path, or the document in size bytes at bytes (copied
   into a temporary file first), and reads its notes. A handle opens one
   document once. */
EXQRV_API exqrv_result exqrv_open_file(exqrv_document* document, const char* path);
EXQRV_API exqrv_result exqrv_open_memory(exqrv_document* document, const void* bytes, size_t size);

/* The number of pages; 0 before opening. */
EXQRV_API unsigned exqrv_page_count(const exqrv_document* document);

/* From now on, text comes through these options: encoding is a code page
   ("CP1252", "CP1251", ...) whose bytes become UTF-8 (NULL or "": none);
   flags are EXQRV_TEXT_*. Notes go through the encoding and line-end
   options. */
EXQRV_API exqrv_result exqrv_set_text_options(exqrv_document* document, const char* encoding,
                                              unsigned flags);

/* The text of page (1 to the page count) without its notes. *bytes stays
   valid until the next call on this handle; *size may be 0. On
   EXQRV_ERROR_DAMAGED the bytes are what the page gave. */
EXQRV_API exqrv_result exqrv_page_text(exqrv_document* document, unsigned page, const char** bytes,
                                       size_t* size);

/* The number of notes of page, and one of them (index from 0): its two texts,
   which exqrv writes one after the other after the page's text. The texts
   stay valid until the next call on this handle. */
EXQRV_API exqrv_result exqrv_note_count(exqrv_document* document, unsigned page, size_t* count);
EXQRV_API exqrv_result exqrv_note(exqrv_document* document, unsigned page, size_t index,
                                  const char** first, size_t* firstSize, const char** second,
                                  size_t* secondSize);

/* The whole text: every page's text followed by its notes, exactly as exqrv
   writes it unless text options are set. *bytes stays valid until the next
   call on this handle. On EXQRV_ERROR_DAMAGED the bytes are the text as
   written, which is not the document's whole text. */
EXQRV_API exqrv_result exqrv_text(exqrv_document* document, const char** bytes, size_t* size);

/* The whole text as exqrv_text gives it, handed to writer piece by piece
   (a few hundred kilobytes at a time) as it is made, so that a large
   document's text need not be held in memory whole. writer returns 0 to go
   on, anything else to stop (EXQRV_ERROR_STOPPED). */
typedef int (*exqrv_writer)(void* context, const char* bytes, size_t size);
EXQRV_API exqrv_result exqrv_write_text(exqrv_document* document, exqrv_writer writer,
                                        void* context);

/* Why the last call on this handle failed, in words for a user ("not a
   Quillor document", "page 2 does not expand (result 8): its text is
   missing"); "" after a call that succeeded. Valid until the next call. */
EXQRV_API const char* exqrv_message(const exqrv_document* document);

/* What the conversion noticed but did not fail on (page commands it does
   not know), one line each, joined by line feeds; "" when nothing. Valid
   until the next call. */
EXQRV_API const char* exqrv_warnings(const exqrv_document* document);

#ifdef __cplusplus
}
#endif

#endif /* EXQRV_H */
