/* A program of someone else's that uses the installed library: it writes a
 * document's whole text to standard output, and checks that the pages'
 * texts, each followed by its notes, make up exactly that text.
 *
 * consumer [-m] DOC   -m: the document is read into memory and opened from
 *                     there. Exit status 0, 1 when the pages disagree with
 *                     the whole, 2 with the library's result and message. */
#include <exqrv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failed(exqrv_document* document, exqrv_result result) {
  fprintf(stderr, "consumer: result %d: %s\n", (int)result, exqrv_message(document));
  exqrv_close(document);
  return 2;
}

static char* read_all(const char* path, size_t* size) {
  FILE* file = fopen(path, "rb");
  char* bytes = NULL;
  *size = 0;
  if (file == NULL) return NULL;
  for (;;) {
    char* grown = realloc(bytes, *size + 65536);
    if (grown == NULL) break;
    bytes = grown;
    size_t got = fread(bytes + *size, 1, 65536, file);
    *size += got;
    if (got < 65536) break;
  }
  fclose(file);
  return bytes;
}

/* Appends bytes to the growing buffer *all. */
static void append(char** all, size_t* length, const char* bytes, size_t size) {
  *all = realloc(*all, *length + size + 1);
  memcpy(*all + *length, bytes, size);
  *length += size;
}

int main(int argc, char** argv) {
  const int memory = argc == 3 && strcmp(argv[1], "-m") == 0;
  if (argc != 2 + memory) {
    fprintf(stderr, "usage: consumer [-m] DOC\n");
    return 2;
  }
  exqrv_document* document = exqrv_new();
  exqrv_result result;
  if (memory) {
    size_t size;
    char* bytes = read_all(argv[2], &size);
    result = exqrv_open_memory(document, bytes, size);
    free(bytes);
  } else {
    result = exqrv_open_file(document, argv[1]);
  }
  if (result != EXQRV_OK) return failed(document, result);

  char* pages = NULL;
  size_t pages_length = 0;
  for (unsigned page = 1; page <= exqrv_page_count(document); ++page) {
    const char* text;
    size_t size, notes;
    if ((result = exqrv_page_text(document, page, &text, &size)) != EXQRV_OK) return failed(document, result);
    append(&pages, &pages_length, text, size);
    if ((result = exqrv_note_count(document, page, &notes)) != EXQRV_OK) return failed(document, result);
    for (size_t i = 0; i < notes; ++i) {
      const char *first, *second;
      size_t first_size, second_size;
      result = exqrv_note(document, page, i, &first, &first_size, &second, &second_size);
      if (result != EXQRV_OK) return failed(document, result);
      append(&pages, &pages_length, first, first_size);
      append(&pages, &pages_length, second, second_size);
    }
  }

  const char* text;
  size_t size;
  if ((result = exqrv_text(document, &text, &size)) != EXQRV_OK) return failed(document, result);
  fwrite(text, 1, size, stdout);
  const int same = size == pages_length && (size == 0 || memcmp(text, pages, size) == 0);
  free(pages);
  exqrv_close(document);
  if (!same) fprintf(stderr, "consumer: the pages and their notes are not the whole text\n");
  return same ? 0 : 1;
}
