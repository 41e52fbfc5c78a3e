import os
from typing import Iterator, overload

__version__: str

Source = str | os.PathLike[str] | bytes | bytearray | memoryview

class Error(Exception):
    """A document whose text could not be had whole."""
    result: int
    text: bytes | None

class FileError(Error, OSError):
    """The file cannot be opened or read."""

class NotADocumentError(Error):
    """The file is not a Quillor document."""

class DamagedError(Error):
    """A table is cut short, or a page does not expand or does not match its
    CRC-32; `text` holds what could be read."""

class TemporaryFileError(Error):
    """A temporary file could not be made or written."""

class LimitError(Error):
    """The document expands beyond its limit."""

class Page:
    """One page of an open document."""
    @property
    def number(self) -> int: ...
    @property
    def text(self) -> bytes: ...
    @property
    def notes(self) -> list[tuple[bytes, bytes]]: ...
    def decode(self, encoding: str = "CP1252", lf: bool = False) -> str: ...

class Document:
    """An open Quillor document; made by exqrv.open."""
    def __init__(self, source: Source, temp_folder: str | None = None, max_expansion: int = 0) -> None: ...
    def __len__(self) -> int: ...
    def __getitem__(self, index: int) -> Page: ...
    def __iter__(self) -> Iterator[Page]: ...
    def page(self, number: int) -> Page: ...
    @property
    def pages(self) -> list[Page]: ...
    @overload
    def text(self, *, encoding: None = None, lf: bool = False, page_break: bool = False) -> bytes: ...
    @overload
    def text(self, *, encoding: str, lf: bool = False, page_break: bool = False) -> str: ...
    @property
    def warnings(self) -> str: ...
    def close(self) -> None: ...
    def __enter__(self) -> Document: ...
    def __exit__(self, *args: object) -> None: ...

def open(source: Source, *, temp_folder: str | os.PathLike[str] | None = None,
         max_expansion: int = 0) -> Document: ...
@overload
def text(source: Source, *, encoding: None = None, lf: bool = False, page_break: bool = False,
         temp_folder: str | os.PathLike[str] | None = None, max_expansion: int = 0) -> bytes: ...
@overload
def text(source: Source, *, encoding: str, lf: bool = False, page_break: bool = False,
         temp_folder: str | os.PathLike[str] | None = None, max_expansion: int = 0) -> str: ...
