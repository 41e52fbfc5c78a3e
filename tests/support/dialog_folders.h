// The two folders the dialog's tests start in, for the controller's tests
// and the Qt dialog's alike.
#pragma once

#include <filesystem>
#include <string>

#include "app/converter_app.h"
#include "builder/document_builder.h"
#include "platform/platform.h"
#include "support/scratch_dir.h"

namespace exqrv::build {

// A document of one page holding text.
inline std::string DocumentWithText(const std::string& text) {
  DocumentRecipe recipe;
  recipe.pages = {TextPage({text})};
  return BuildDocument(recipe);
}

// docs: SUB (holding C.QRV), B.QRV, Report.QRV and a.QRV, which is no
// document; texts: arch and REPORT.TXT. Lower-case names sort after
// upper-case ones: a.QRV follows B.QRV, yet the folder arch stands before
// REPORT.TXT. The app's two directories are set to them.
inline void MakeDialogFolders(const ScratchDir& scratch, ConverterApp& app) {
  std::filesystem::create_directories(scratch / "docs/SUB");
  std::filesystem::create_directories(scratch / "texts/arch");
  WriteFileBytes(scratch / "docs/SUB/C.QRV", DocumentWithText("gamma"));
  WriteFileBytes(scratch / "docs/B.QRV", DocumentWithText("beta"));
  WriteFileBytes(scratch / "docs/Report.QRV", DocumentWithText("report"));
  WriteFileBytes(scratch / "docs/a.QRV", "not a document");
  WriteFileBytes(scratch / "texts/REPORT.TXT", "old");
  app.SourceDirectory = platform::SystemPath(scratch / "docs");
  app.TargetDirectory = platform::SystemPath(scratch / "texts");
}

}  // namespace exqrv::build
