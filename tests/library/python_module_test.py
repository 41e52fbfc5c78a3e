"""The Python module against qrvtool text: the same bytes for generated
documents, its own exceptions for damaged documents and non-documents,
threads at once, and temporary files only where the caller says."""

import concurrent.futures
import os
import pathlib
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

import exqrv

QRVTOOL = os.environ["EXQRV_QRVTOOL"]
SAMPLES = pathlib.Path(os.environ["EXQRV_SAMPLES"])

# name: qrvtool make's options and pages
DOCUMENTS = {
    "plain": (["--note", "1:[Margin] :rebuilt in 1871."], ["recipes-1.txt"]),
    "compressed": (["--compress"], ["river-1.txt"]),
    "compressed-notes": (["--compress", "--compress-notes", "--note", "2:Note to page 2, :posted.",
                          "--note", "2:[second]:[note]"], ["letters-1.txt", "letters-2.txt"]),
    "pages": (["--note", "1:a:b", "--note", "3:c:d"],
              ["river-1.txt", "river-2.txt", "letters-1.txt", "letters-2.txt", "letters-3.txt"]),
}


def qrvtool(*args, check=True):
    return subprocess.run([QRVTOOL, *map(str, args)], capture_output=True, check=check)


class ModuleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = pathlib.Path(tempfile.mkdtemp(prefix="exqrv-python-"))
        cls.paths = {}
        for name, (options, pages) in DOCUMENTS.items():
            path = cls.folder / f"{name}.QRV"
            qrvtool("make", *options, "--out", path, *(SAMPLES / page for page in pages))
            cls.paths[name] = path
        # A compressed document whose second page no longer matches its CRC-32.
        damaged = bytearray(cls.paths["compressed-notes"].read_bytes())
        pages = qrvtool("info", "--json", cls.paths["compressed-notes"]).stdout
        import json
        second = json.loads(pages)["pages"][1]
        at = second["contentOffset"] + second["contentLength"] // 2
        damaged[at:at + 3] = b"\xff\xff\xff"
        cls.paths["damaged"] = cls.folder / "damaged.QRV"
        cls.paths["damaged"].write_bytes(damaged)
        cls.paths["not-a-document"] = cls.folder / "notes.txt"
        cls.paths["not-a-document"].write_bytes(b"nothing of a document here\r\n" * 20)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def sound(self):
        return {name: path for name, path in self.paths.items() if name in DOCUMENTS}

    def test_text_is_qrvtools_from_a_path_and_from_bytes(self):
        for name, path in self.sound().items():
            with self.subTest(name):
                expected = qrvtool("text", path).stdout
                self.assertEqual(exqrv.text(path), expected)
                self.assertEqual(exqrv.text(str(path)), expected)
                self.assertEqual(exqrv.text(path.read_bytes()), expected)
                self.assertEqual(exqrv.text(memoryview(bytearray(path.read_bytes()))), expected)

    def test_pages_with_their_notes_make_up_the_text(self):
        for name, path in self.sound().items():
            with self.subTest(name), exqrv.open(path) as document:
                self.assertEqual(len(document), len(DOCUMENTS[name][1]))
                whole = b""
                for page in document.pages:
                    expected = qrvtool("text", "--no-notes", "--pages", f"{page.number}-{page.number}", path).stdout
                    self.assertEqual(page.text, expected)
                    whole += page.text + b"".join(first + second for first, second in page.notes)
                self.assertEqual(whole, document.text())

    def test_notes_are_pairs_in_order(self):
        with exqrv.open(self.paths["compressed-notes"]) as document:
            self.assertEqual(document[0].notes, [])
            self.assertEqual(document.page(2).notes, [(b"Note to page 2, ", b"posted."), (b"[second]", b"[note]")])

    def test_text_options_are_qrvtools(self):
        for name, path in self.sound().items():
            with self.subTest(name):
                expected = qrvtool("text", "--encoding", "CP1252", "--lf", "--page-break", path).stdout
                text = exqrv.text(path, encoding="CP1252", lf=True, page_break=True)
                self.assertIsInstance(text, str)
                self.assertEqual(text.encode("utf-8"), expected)
                self.assertEqual(exqrv.text(path, lf=True), qrvtool("text", "--lf", path).stdout)
        with exqrv.open(self.paths["pages"]) as document:
            self.assertEqual(document[0].decode("CP1252", lf=True), document[0].text.decode("cp1252").replace("\r\n", "\n"))

    def test_failures_raise_the_modules_errors(self):
        cases = [
            ("not-a-document", exqrv.NotADocumentError, "not a Quillor document"),
            ("damaged", exqrv.DamagedError, "page 2 does not match its CRC-32"),
        ]
        for name, error, reason in cases:
            for source in (self.paths[name], self.paths[name].read_bytes()):
                with self.subTest(name, source=type(source).__name__):
                    with self.assertRaises(error) as raised:
                        exqrv.text(source)
                    self.assertIsInstance(raised.exception, exqrv.Error)
                    self.assertIn(reason, str(raised.exception))
        with self.assertRaises(exqrv.FileError) as raised:
            exqrv.open(self.folder / "missing.QRV")
        self.assertIsInstance(raised.exception, OSError)
        with self.assertRaises(ValueError):
            exqrv.text(self.paths["plain"], encoding="no such code page")
        with exqrv.open(self.paths["pages"]) as document, self.assertRaises(IndexError):
            document.page(6)

    def test_a_damaged_document_gives_what_could_be_read_and_says_nothing(self):
        expected = qrvtool("text", self.paths["damaged"], check=False)
        with self.assertRaises(exqrv.DamagedError) as raised:
            exqrv.text(self.paths["damaged"])
        self.assertEqual(raised.exception.text, expected.stdout)
        with exqrv.open(self.paths["damaged"]) as document:
            self.assertEqual(document[0].text, qrvtool("text", "--pages", "1-1", "--no-notes", self.paths["damaged"]).stdout)
        # The library shows nothing on the terminal: what it noticed is the
        # caller's to read.
        shown = subprocess.run(
            [sys.executable, "-c",
             "import exqrv, sys\n"
             "document = exqrv.open(sys.argv[1])\n"
             "try: document.text()\n"
             "except exqrv.DamagedError: pass\n"
             "assert 'unexpect command!' in document.warnings, document.warnings\n",
             self.paths["damaged"]],
            capture_output=True, stdin=subprocess.DEVNULL)
        self.assertEqual((shown.returncode, shown.stdout, shown.stderr), (0, b"", b""))

    def test_four_threads_at_once_give_the_same_text(self):
        names = list(self.sound()) * 6
        expected = {name: exqrv.text(self.paths[name]) for name in self.sound()}

        def convert(name):
            with exqrv.open(self.paths[name]) as document:
                pages = [page.text for page in document.pages]
                return name, document.text(), pages

        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            for name, text, pages in pool.map(convert, names):
                self.assertEqual(text, expected[name], name)
                self.assertEqual(len(pages), len(DOCUMENTS[name][1]))

    def test_temporary_files_go_into_a_private_folder_under_the_callers(self):
        with tempfile.TemporaryDirectory(prefix="exqrv-callers-") as folder:
            document = exqrv.open(self.paths["compressed-notes"], temp_folder=pathlib.Path(folder))
            made = os.listdir(folder)
            self.assertEqual(len(made), 1)
            self.assertEqual(stat.S_IMODE(os.stat(os.path.join(folder, made[0])).st_mode), 0o700)
            self.assertTrue(os.listdir(os.path.join(folder, made[0])), "no working copy")
            document.text()
            document.close()
            self.assertEqual(os.listdir(folder), [])
            with self.assertRaises(ValueError):
                document.text()
        with self.assertRaises(exqrv.TemporaryFileError) as raised:
            exqrv.open(self.paths["compressed"], temp_folder=self.folder / "missing")
        self.assertIn("missing", str(raised.exception))


if __name__ == "__main__":
    unittest.main()
