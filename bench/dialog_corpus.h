// The folders both dialogs' benchmarks open and convert: documents of one
// page each, ten lines taken in turn from a licence text every Debian system
// carries, and as many text files of the same lines.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "builder/document_builder.h"

namespace exqrv::bench {

inline constexpr int kDialogDocuments = 5000;

// The licence's lines, or one line of this comment when it is missing.
inline std::vector<std::string> LicenceLines() {
  std::vector<std::string> lines;
  std::ifstream in("/usr/share/common-licenses/GPL-3");
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\r\n");
  if (lines.empty()) lines = {"The folders both dialogs' benchmarks open and convert.\r\n"};
  return lines;
}

// D0000.QRV and on into the folder documents, D0000.TXT and on into texts;
// both folders exist.
inline void WriteDialogCorpus(const std::string& documents, const std::string& texts) {
  const std::vector<std::string> lines = LicenceLines();
  for (int i = 0; i < kDialogDocuments; ++i) {
    std::string text;
    for (int k = 0; k < 10; ++k) text += lines[(static_cast<size_t>(i) * 10 + k) % lines.size()];
    char name[16];
    std::snprintf(name, sizeof name, "D%04d", i);
    build::DocumentRecipe recipe;
    recipe.pages.push_back(build::TextPage({text}));
    build::WriteFileBytes(documents + "/" + name + ".QRV", build::BuildDocument(recipe));
    build::WriteFileBytes(texts + "/" + name + ".TXT", text);
  }
}

}  // namespace exqrv::bench
