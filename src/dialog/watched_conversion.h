// One document converted for the dialog: the messages of each page gathered
// into one box after the page (a damaged page can hold thousands of unknown
// commands), a chance between pages to stop, and the outcome in words for
// the log.
#pragma once

#include <functional>
#include <string>

#include "app/converter_app.h"
#include "dialog/batch_conversion.h"

namespace exqrv::dialog {

// Called after each page; false stops the conversion there, and no text file
// is left.
using GoesOnAfterPage = std::function<bool()>;

ConversionResult ConvertWatched(ConverterApp& app, const std::string& documentName,
                                const std::string& textName, const GoesOnAfterPage& goesOn);

// The box shown after a page for a message the page raised count times.
std::string PageMessageBox(const std::string& message, size_t count, uint32_t page);

}  // namespace exqrv::dialog
