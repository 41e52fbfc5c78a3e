// Writes a document's text through the text options given as arguments:
// cxx_consumer DOC [CODEPAGE [lf] [page-break]].
#include <exqrv.h>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::unique_ptr<exqrv_document, decltype(&exqrv_close)> document(exqrv_new(), &exqrv_close);
  unsigned flags = 0;
  for (int i = 3; i < argc; ++i) {
    if (std::string(argv[i]) == "lf") flags |= EXQRV_TEXT_LF;
    if (std::string(argv[i]) == "page-break") flags |= EXQRV_TEXT_PAGE_BREAK;
  }
  const char* text = nullptr;
  size_t size = 0;
  if (exqrv_open_file(document.get(), argv[1]) != EXQRV_OK ||
      exqrv_set_text_options(document.get(), argc > 2 ? argv[2] : nullptr, flags) != EXQRV_OK ||
      exqrv_text(document.get(), &text, &size) != EXQRV_OK) {
    std::fprintf(stderr, "cxx_consumer: %s\n", exqrv_message(document.get()));
    return 1;
  }
  std::fwrite(text, 1, size, stdout);
  return 0;
}
