"""The text of Quillor documents (.QRV), in-process.

    import exqrv

    document = exqrv.open("BOOK.QRV")        # a path, or the document's bytes
    for page in document.pages:
        print(page.number, page.text, page.notes)
    text = exqrv.text("BOOK.QRV")            # bytes exactly as exqrv writes them
    utf8 = exqrv.text("BOOK.QRV", encoding="CP1252", lf=True)   # str

Failures raise exqrv.Error or one of its subclasses, with the reason.
"""

import os as _os

from ._exqrv import (
    DamagedError,
    Document,
    Error,
    FileError,
    LimitError,
    NotADocumentError,
    Page,
    TemporaryFileError,
    __version__,
)

__all__ = [
    "DamagedError",
    "Document",
    "Error",
    "FileError",
    "LimitError",
    "NotADocumentError",
    "Page",
    "TemporaryFileError",
    "open",
    "text",
]


def open(source, *, temp_folder=None, max_expansion=0):
    """Opens a document: source is a path (str or os.PathLike) or the
    document's bytes (bytes, bytearray, memoryview).

    temp_folder: where the document's private temporary folder is made
    (default: $TMPDIR, else /tmp). max_expansion: what the document may
    expand to in temporary files, in bytes (0: a default that grows with its
    size)."""
    folder = None if temp_folder is None else _os.fspath(temp_folder)
    return Document(source, temp_folder=folder, max_expansion=max_expansion)


def text(source, *, encoding=None, lf=False, page_break=False, temp_folder=None, max_expansion=0):
    """The whole text of a document in one call: each page's text followed
    by its notes, bytes exactly as exqrv writes them; with encoding (a code
    page such as "CP1252") a str made from its UTF-8. lf: CR LF becomes LF;
    page_break: a form feed after each page."""
    with open(source, temp_folder=temp_folder, max_expansion=max_expansion) as document:
        return document.text(encoding=encoding, lf=lf, page_break=page_break)
