// The C functions of exqrv.h: each checks its pointers, calls the handle,
// and turns what C cannot carry (an exception) into a result.
#include "exqrv.h"

#include <new>
#include <string_view>

#include "library/library_document.h"

namespace {

using exqrv::LibraryDocument;

LibraryDocument* Of(exqrv_document* document) {
  return reinterpret_cast<LibraryDocument*>(document);
}
const LibraryDocument* Of(const exqrv_document* document) {
  return reinterpret_cast<const LibraryDocument*>(document);
}

// Runs one call on the handle; memory that runs out on the way fails the
// call, never the caller's process.
template <typename Body>
exqrv_result Guarded(exqrv_document* document, Body body) {
  if (document == nullptr) return EXQRV_ERROR_ARGUMENT;
  try {
    return body(*Of(document));
  } catch (const std::bad_alloc&) {
    return Of(document)->Fail(EXQRV_ERROR_MEMORY, "memory ran out");
  } catch (...) {
    return Of(document)->Fail(EXQRV_ERROR_MEMORY, "an unexpected failure");
  }
}

// A view's bytes for C: never a null pointer, even for no bytes.
void Give(std::string_view text, const char** bytes, size_t* size) {
  *bytes = text.data() != nullptr ? text.data() : "";
  *size = text.size();
}

}  // namespace

extern "C" {

const char* exqrv_version(void) { return EXQRV_LIBRARY_VERSION; }

exqrv_document* exqrv_new(void) {
  return reinterpret_cast<exqrv_document*>(new (std::nothrow) LibraryDocument());
}

void exqrv_close(exqrv_document* document) { delete Of(document); }

exqrv_result exqrv_set_temp_folder(exqrv_document* document, const char* folder) {
  return Guarded(document,
                 [&](LibraryDocument& d) { return d.SetTemporaryFolder(folder ? folder : ""); });
}

exqrv_result exqrv_set_max_expansion(exqrv_document* document, uint64_t bytes) {
  return Guarded(document, [&](LibraryDocument& d) { return d.SetMaxExpansion(bytes); });
}

exqrv_result exqrv_open_file(exqrv_document* document, const char* path) {
  return Guarded(document, [&](LibraryDocument& d) {
    return path == nullptr ? d.Fail(EXQRV_ERROR_ARGUMENT, "no path") : d.OpenFile(path);
  });
}

exqrv_result exqrv_open_memory(exqrv_document* document, const void* bytes, size_t size) {
  return Guarded(document, [&](LibraryDocument& d) {
    if (bytes == nullptr && size != 0) return d.Fail(EXQRV_ERROR_ARGUMENT, "no bytes");
    return d.OpenMemory(std::string_view(static_cast<const char*>(bytes), size));
  });
}

unsigned exqrv_page_count(const exqrv_document* document) {
  return document == nullptr ? 0 : Of(document)->PageCount();
}

exqrv_result exqrv_set_text_options(exqrv_document* document, const char* encoding,
                                    unsigned flags) {
  return Guarded(document, [&](LibraryDocument& d) {
    if ((flags & ~(EXQRV_TEXT_LF | EXQRV_TEXT_PAGE_BREAK)) != 0) {
      return d.Fail(EXQRV_ERROR_ARGUMENT, "unknown text option flags");
    }
    return d.SetTextOptions(encoding ? encoding : "", (flags & EXQRV_TEXT_LF) != 0,
                            (flags & EXQRV_TEXT_PAGE_BREAK) != 0);
  });
}

exqrv_result exqrv_page_text(exqrv_document* document, unsigned page, const char** bytes,
                             size_t* size) {
  return Guarded(document, [&](LibraryDocument& d) {
    if (bytes == nullptr || size == nullptr)
      return d.Fail(EXQRV_ERROR_ARGUMENT, "no place for the text");
    std::string_view text;
    const exqrv_result result = d.PageText(page, text);
    Give(text, bytes, size);
    return result;
  });
}

exqrv_result exqrv_note_count(exqrv_document* document, unsigned page, size_t* count) {
  return Guarded(document, [&](LibraryDocument& d) {
    if (count == nullptr) return d.Fail(EXQRV_ERROR_ARGUMENT, "no place for the count");
    *count = 0;
    return d.NoteCount(page, *count);
  });
}

exqrv_result exqrv_note(exqrv_document* document, unsigned page, size_t index, const char** first,
                        size_t* firstSize, const char** second, size_t* secondSize) {
  return Guarded(document, [&](LibraryDocument& d) {
    if (!first || !firstSize || !second || !secondSize) {
      return d.Fail(EXQRV_ERROR_ARGUMENT, "no place for the note");
    }
    std::string_view one, two;
    const exqrv_result result = d.Note(page, index, one, two);
    Give(one, first, firstSize);
    Give(two, second, secondSize);
    return result;
  });
}

exqrv_result exqrv_text(exqrv_document* document, const char** bytes, size_t* size) {
  return Guarded(document, [&](LibraryDocument& d) {
    if (bytes == nullptr || size == nullptr)
      return d.Fail(EXQRV_ERROR_ARGUMENT, "no place for the text");
    std::string_view text;
    const exqrv_result result = d.Text(text);
    Give(text, bytes, size);
    return result;
  });
}

exqrv_result exqrv_write_text(exqrv_document* document, exqrv_writer writer, void* context) {
  return Guarded(document, [&](LibraryDocument& d) {
    return writer == nullptr ? d.Fail(EXQRV_ERROR_ARGUMENT, "no writer")
                             : d.WriteTextTo(writer, context);
  });
}

const char* exqrv_message(const exqrv_document* document) {
  return document == nullptr ? "no handle" : Of(document)->message().c_str();
}

const char* exqrv_warnings(const exqrv_document* document) {
  return document == nullptr ? "" : Of(document)->warnings().c_str();
}

}  // extern "C"
