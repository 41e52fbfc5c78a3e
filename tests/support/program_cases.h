// What the tests that run the programs as processes share: the folder
// placeholder of their case tables, and the document with unknown commands.
#pragma once

#include <string>

#include "builder/document_builder.h"

namespace exqrv::build {

// text with every "@" replaced by folder (a case's command line or output).
inline std::string Substituted(std::string text, const std::string& folder) {
  for (size_t at = text.find('@'); at != std::string::npos;
       at = text.find('@', at + folder.size())) {
    text.replace(at, 1, folder);
  }
  return text;
}

// One page "A", an unknown command with four bytes after it, "B": converted,
// it gives "AB" and "unexpect command!" three times.
inline std::string UnknownCommandDocument() {
  return BuildDocument({.pages = {PageStream()
                                      .TextRun({PageStream::Item("A")})
                                      .Code("DT")
                                      .Bytes("zzzz")
                                      .TextRun({PageStream::Item("B")})
                                      .End()
                                      .bytes()}});
}

}  // namespace exqrv::build
