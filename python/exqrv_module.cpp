// The Python module over libexqrv's C API: documents with their pages, the
// whole text in one call, and the library's results as exceptions of the
// module's own classes. Conversion runs without the GIL, so that threads
// convert in parallel; each document serializes its own calls, as a handle
// serves one thread at a time.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exqrv.h"

namespace py = pybind11;

namespace {

// The module's exception classes, made when it is imported.
struct Errors {
  PyObject* base = nullptr;
  PyObject* file = nullptr;
  PyObject* notDocument = nullptr;
  PyObject* damaged = nullptr;
  PyObject* temporary = nullptr;
  PyObject* limit = nullptr;
};
Errors gErrors;

PyObject* NewError(py::module_& module, const char* name, const char* doc, PyObject* bases) {
  const std::string qualified = std::string("exqrv.") + name;
  PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases, nullptr);
  if (type == nullptr) throw py::error_already_set();
  module.add_object(name, py::handle(type));
  return type;
}

// Raises the exception that stands for result, with the library's reason;
// a damaged document's exception carries the text that could be read.
[[noreturn]] void Raise(exqrv_result result, const std::string& message,
                        const py::object& partial = py::none()) {
  PyObject* type = gErrors.base;
  switch (result) {
    case EXQRV_ERROR_ARGUMENT: throw py::value_error(message);
    case EXQRV_ERROR_MEMORY: throw std::bad_alloc();
    case EXQRV_ERROR_FILE: type = gErrors.file; break;
    case EXQRV_ERROR_NOT_DOCUMENT: type = gErrors.notDocument; break;
    case EXQRV_ERROR_DAMAGED: type = gErrors.damaged; break;
    case EXQRV_ERROR_TEMPORARY: type = gErrors.temporary; break;
    case EXQRV_ERROR_LIMIT: type = gErrors.limit; break;
    case EXQRV_ERROR_STOPPED:
    case EXQRV_OK: break;
  }
  py::object error = py::reinterpret_borrow<py::object>(type)(message);
  error.attr("result") = static_cast<int>(result);
  error.attr("text") = partial;
  PyErr_SetObject(type, error.ptr());
  throw py::error_already_set();
}

// Text as the library hands it over, piece by piece, gathered straight into
// the bytes object that is returned: a large block grows where it lies, so
// the text is copied once, and each piece holds the GIL only for its copy.
class GatheredBytes {
 public:
  GatheredBytes() = default;
  ~GatheredBytes() { Py_XDECREF(bytes_); }  // with the GIL held
  GatheredBytes(const GatheredBytes&) = delete;
  GatheredBytes& operator=(const GatheredBytes&) = delete;

  // An exqrv_writer; called without the GIL.
  static int Take(void* context, const char* bytes, size_t size) {
    const py::gil_scoped_acquire held;
    return static_cast<GatheredBytes*>(context)->Append(bytes, size) ? 0 : 1;
  }
  // With the GIL held: the bytes gathered, or the error that stopped them.
  py::bytes Bytes() {
    if (failed_) throw py::error_already_set();
    if (bytes_ == nullptr) return py::bytes("", 0);
    if (_PyBytes_Resize(&bytes_, static_cast<Py_ssize_t>(size_)) != 0)
      throw py::error_already_set();
    return py::reinterpret_steal<py::bytes>(std::exchange(bytes_, nullptr));
  }

 private:
  bool Append(const char* bytes, size_t size) {
    if (failed_) return false;
    if (size > capacity_ - size_) {
      const size_t wanted = std::max({size_ + size, capacity_ * 2, kFirstCapacity});
      const bool grown = bytes_ == nullptr
                             ? (bytes_ = PyBytes_FromStringAndSize(
                                    nullptr, static_cast<Py_ssize_t>(wanted))) != nullptr
                             : _PyBytes_Resize(&bytes_, static_cast<Py_ssize_t>(wanted)) == 0;
      if (!grown) {
        // The error stays set for Bytes to raise.
        failed_ = true;
        return false;
      }
      capacity_ = wanted;
    }
    std::memcpy(PyBytes_AS_STRING(bytes_) + size_, bytes, size);
    size_ += size;
    return true;
  }

  static constexpr size_t kFirstCapacity = 64 * 1024;
  PyObject* bytes_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool failed_ = false;
};

struct TextOptions {
  std::optional<std::string> encoding;
  bool lf = false;
  bool pageBreak = false;

  unsigned Flags() const {
    return (lf ? EXQRV_TEXT_LF : 0u) | (pageBreak ? EXQRV_TEXT_PAGE_BREAK : 0u);
  }
};

// One open handle, shared by a document and its pages.
class Handle {
 public:
  Handle() : document_(exqrv_new()) {
    if (document_ == nullptr) throw std::bad_alloc();
  }
  ~Handle() { exqrv_close(document_); }

  // The document and its temporary files go now; its pages say so later.
  void Close() {
    const py::gil_scoped_release released;
    std::lock_guard<std::mutex> lock(mutex_);
    exqrv_close(document_);
    document_ = nullptr;
    pages_ = 0;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  void Open(const py::object& source, const std::optional<std::string>& temporaryFolder,
            uint64_t maxExpansion) {
    Check(exqrv_set_temp_folder(document_, temporaryFolder ? temporaryFolder->c_str() : nullptr));
    Check(exqrv_set_max_expansion(document_, maxExpansion));
    if (py::isinstance<py::bytes>(source) || py::isinstance<py::bytearray>(source) ||
        py::isinstance<py::memoryview>(source)) {
      const py::buffer_info bytes = py::reinterpret_borrow<py::buffer>(source).request();
      const size_t size = static_cast<size_t>(bytes.size * bytes.itemsize);
      Check(Unlocked([&] { return exqrv_open_memory(document_, bytes.ptr, size); }));
    } else {
      const std::string path =
          py::module_::import("os").attr("fsencode")(source).cast<std::string>();
      Check(Unlocked([&] { return exqrv_open_file(document_, path.c_str()); }));
    }
    pages_ = exqrv_page_count(document_);
  }

  unsigned pages() const { return pages_; }

  // The text of one page (0: the whole text) through options.
  py::bytes Text(unsigned page, const TextOptions& options) {
    GatheredBytes text;
    std::string message;
    const exqrv_result result = Unlocked([&] {
      exqrv_result got = exqrv_set_text_options(
          document_, options.encoding ? options.encoding->c_str() : nullptr, options.Flags());
      if (got == EXQRV_OK && page == 0) {
        got = exqrv_write_text(document_, &GatheredBytes::Take, &text);
      } else if (got == EXQRV_OK) {
        const char* bytes = nullptr;
        size_t size = 0;
        got = exqrv_page_text(document_, page, &bytes, &size);
        GatheredBytes::Take(&text, bytes, size);
      }
      return got == EXQRV_OK ? got : Failed(got, message);
    });
    if (result != EXQRV_OK) Raise(result, message, text.Bytes());
    return text.Bytes();
  }

  std::vector<std::pair<py::bytes, py::bytes>> Notes(unsigned page, const TextOptions& options) {
    std::vector<std::pair<std::string, std::string>> notes;
    std::string message;
    const exqrv_result result = Unlocked([&] {
      exqrv_result got = exqrv_set_text_options(
          document_, options.encoding ? options.encoding->c_str() : nullptr, options.Flags());
      size_t count = 0;
      if (got == EXQRV_OK) got = exqrv_note_count(document_, page, &count);
      for (size_t i = 0; got == EXQRV_OK && i < count; ++i) {
        const char *first, *second;
        size_t firstSize, secondSize;
        got = exqrv_note(document_, page, i, &first, &firstSize, &second, &secondSize);
        if (got == EXQRV_OK)
          notes.emplace_back(std::string(first, firstSize), std::string(second, secondSize));
      }
      return got == EXQRV_OK ? got : Failed(got, message);
    });
    if (result != EXQRV_OK) Raise(result, message);
    std::vector<std::pair<py::bytes, py::bytes>> out;
    out.reserve(notes.size());
    for (const auto& [first, second] : notes) out.emplace_back(py::bytes(first), py::bytes(second));
    return out;
  }

  std::string Warnings() {
    // Never wait for the lock with the GIL held: its holder may be waiting
    // for the GIL.
    const py::gil_scoped_release released;
    std::lock_guard<std::mutex> lock(mutex_);
    return document_ != nullptr ? exqrv_warnings(document_) : "";
  }

 private:
  // Runs call without the GIL, holding this handle's own lock.
  template <typename Call>
  exqrv_result Unlocked(Call call) {
    {
      const py::gil_scoped_release released;
      std::lock_guard<std::mutex> lock(mutex_);
      if (document_ != nullptr) return call();
    }
    throw py::value_error("the document is closed");
  }

  exqrv_result Failed(exqrv_result result, std::string& message) {
    message = exqrv_message(document_);
    return result;
  }

  void Check(exqrv_result result) {
    if (result != EXQRV_OK) Raise(result, exqrv_message(document_));
  }

  exqrv_document* document_;
  std::mutex mutex_;
  unsigned pages_ = 0;
};

class Page {
 public:
  Page(std::shared_ptr<Handle> handle, unsigned number)
      : handle_(std::move(handle)), number_(number) {}
  unsigned number() const { return number_; }
  py::bytes text() const { return handle_->Text(number_, {}); }
  std::vector<std::pair<py::bytes, py::bytes>> notes() const { return handle_->Notes(number_, {}); }
  py::str Decode(const std::string& encoding, bool lf) const {
    return py::str(handle_->Text(number_, {encoding, lf, false}));
  }

 private:
  std::shared_ptr<Handle> handle_;
  unsigned number_;
};

class Document {
 public:
  Document(const py::object& source, const std::optional<std::string>& temporaryFolder,
           uint64_t maxExpansion)
      : handle_(std::make_shared<Handle>()) {
    handle_->Open(source, temporaryFolder, maxExpansion);
  }

  unsigned size() const { return handle_->pages(); }
  Page At(long index) const {
    const long count = static_cast<long>(size());
    if (index < 0) index += count;
    if (index < 0 || index >= count) throw py::index_error("page index out of range");
    return Page(handle_, static_cast<unsigned>(index + 1));
  }
  Page Number(unsigned number) const {
    if (number < 1 || number > size()) throw py::index_error("no page " + std::to_string(number));
    return Page(handle_, number);
  }
  std::vector<Page> Pages() const {
    std::vector<Page> pages;
    for (unsigned number = 1; number <= size(); ++number) pages.emplace_back(handle_, number);
    return pages;
  }
  py::object Text(const std::optional<std::string>& encoding, bool lf, bool pageBreak) const {
    py::bytes text = handle_->Text(0, {encoding, lf, pageBreak});
    return encoding ? py::object(py::str(text)) : py::object(text);
  }
  std::string Warnings() const { return handle_->Warnings(); }
  void Close() { handle_->Close(); }

 private:
  std::shared_ptr<Handle> handle_;
};

}  // namespace

PYBIND11_MODULE(_exqrv, module) {
  module.doc() = "The text of Quillor documents (.QRV), from libexqrv.";

  gErrors.base =
      NewError(module, "Error", "A document whose text could not be had whole.", PyExc_Exception);
  const py::tuple fileBases = py::make_tuple(py::handle(gErrors.base), py::handle(PyExc_OSError));
  gErrors.file =
      NewError(module, "FileError", "The file cannot be opened or read.", fileBases.ptr());
  gErrors.notDocument =
      NewError(module, "NotADocumentError", "The file is not a Quillor document.", gErrors.base);
  gErrors.damaged =
      NewError(module, "DamagedError",
               "A table is cut short, or a page does not expand or does not match its "
               "CRC-32; `text` holds what could be read.",
               gErrors.base);
  gErrors.temporary =
      NewError(module, "TemporaryFileError",
               "A temporary file (a compressed document's working copy) could not be made "
               "or written.",
               gErrors.base);
  gErrors.limit =
      NewError(module, "LimitError", "The document expands beyond its limit.", gErrors.base);

  py::class_<Page>(module, "Page", "One page of an open document.")
      .def_property_readonly("number", &Page::number, "The page's number, from 1.")
      .def_property_readonly(
          "text", &Page::text,
          "The page's text without its notes, bytes exactly as exqrv writes them.")
      .def_property_readonly(
          "notes", &Page::notes,
          "The page's notes, each a pair of texts (bytes) that exqrv writes after the "
          "page's text, the first then the second.")
      .def("decode", &Page::Decode, py::arg("encoding") = "CP1252", py::arg("lf") = false,
           "The page's text as str, its bytes taken in the code page encoding; lf: CR LF becomes "
           "LF.");

  py::class_<Document>(module, "Document", "An open Quillor document; made by exqrv.open.")
      .def(py::init<const py::object&, const std::optional<std::string>&, uint64_t>(),
           py::arg("source"), py::arg("temp_folder") = py::none(), py::arg("max_expansion") = 0)
      .def("__len__", &Document::size, "The number of pages.")
      .def("__getitem__", &Document::At, py::arg("index"), "The page at index (0 is page 1).")
      .def("page", &Document::Number, py::arg("number"), "The page with number (from 1).")
      .def_property_readonly("pages", &Document::Pages, "Every page, in order.")
      .def("text", &Document::Text, py::kw_only(), py::arg("encoding") = py::none(),
           py::arg("lf") = false, py::arg("page_break") = false,
           "The whole text: each page's text followed by its notes. bytes exactly as exqrv writes "
           "them; "
           "with encoding (a code page such as 'CP1252') str from its UTF-8; lf: CR LF becomes LF; "
           "page_break: a form feed after each page.")
      .def_property_readonly("warnings", &Document::Warnings,
                             "What the last conversion noticed but did not fail on, one line each.")
      .def("close", &Document::Close, "Closes the document and removes its temporary files.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Document& self, const py::args&) { self.Close(); });

  module.attr("__version__") = exqrv_version();
}
