"""The Python module's conversion time beside qrvtool text's, on a compressed
document of about 50 MB made from text files this machine has (Python and
Perl sources, documentation), cut into pages of 60,000 bytes.

    /usr/bin/python3 bench/python_text_bench.py BUILD_FOLDER [MEGABYTES]

BUILD_FOLDER holds qrvtool and python/exqrv. Each figure is the best of three
runs. The module's text is checked against qrvtool's before anything is
timed."""

import concurrent.futures
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

build = pathlib.Path(sys.argv[1]).resolve()
megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 50
sys.path.insert(0, str(build / "python"))
import exqrv  # noqa: E402

QRVTOOL = build / "qrvtool"
PAGE = 60_000
SOURCES = ["/usr/lib/python3", f"/usr/lib/python3.{sys.version_info.minor}", "/usr/share/perl5",
           "/usr/share/doc"]
SUFFIXES = (".py", ".pm", ".txt")


def corpus(limit):
    """Real text, file by file, up to limit bytes."""
    text = bytearray()
    for root in SOURCES:
        for folder, _, names in sorted(os.walk(root)):
            for name in sorted(names):
                path = os.path.join(folder, name)
                if name.endswith(SUFFIXES) and os.path.isfile(path) and os.path.getsize(path) < 2 << 20:
                    text += pathlib.Path(path).read_bytes()
                    if len(text) >= limit:
                        return bytes(text)
    return bytes(text)


def best_of_three(run):
    times = []
    for _ in range(3):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    scratch = pathlib.Path(tempfile.mkdtemp(prefix="exqrv-bench-"))
    try:
        text = corpus(40 << 20)
        pages = scratch / "pages"
        pages.mkdir()
        # The corpus again and again, page by page, until the document is
        # about as large as asked: each page is compressed on its own, so a
        # page seen before is no easier.
        names = []
        document = scratch / "BIG.QRV"
        target = megabytes << 20
        count = 0
        while True:
            for at in range(0, len(text), PAGE):
                page = pages / f"p{count:05}.txt"
                page.write_bytes(text[at:at + PAGE])
                names.append(page)
                count += 1
            # Compressed text takes about a third of its size.
            if count * PAGE // 3 >= target:
                break
        subprocess.run([QRVTOOL, "make", "--compress", "--out", document, *names], check=True,
                       stdout=subprocess.DEVNULL)
        shutil.rmtree(pages)
        size = document.stat().st_size
        expected = subprocess.run([QRVTOOL, "text", document], check=True, capture_output=True).stdout
        assert exqrv.text(document) == expected, "the module's text is not qrvtool's"

        with open(os.devnull, "wb") as null:
            tool = best_of_three(lambda: subprocess.run([QRVTOOL, "text", document], stdout=null, check=True))
        whole = best_of_three(lambda: exqrv.text(document))

        def by_page():
            with exqrv.open(document) as opened:
                for page in opened.pages:
                    page.text
                    page.notes

        paged = best_of_three(by_page)
        copies = [scratch / f"COPY{i}.QRV" for i in range(4)]
        for copy in copies:
            shutil.copyfile(document, copy)
        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            four = best_of_three(lambda: list(pool.map(exqrv.text, copies)))

        mb = size / 1e6
        text_mb = len(expected) / 1e6
        print(f"document: {mb:.1f} MB compressed, {count} pages, {text_mb:.1f} MB of text")
        print(f"{'qrvtool text > /dev/null':40} {tool:7.2f} s  {text_mb / tool:6.1f} MB/s of text")
        print(f"{'exqrv.text(path)':40} {whole:7.2f} s  {text_mb / whole:6.1f} MB/s  ({whole / tool:.2f} x qrvtool)")
        print(f"{'exqrv.open(path), every page.text/notes':40} {paged:7.2f} s  {text_mb / paged:6.1f} MB/s  "
              f"({paged / tool:.2f} x qrvtool)")
        print(f"{'4 threads, exqrv.text of 4 copies':40} {four:7.2f} s  {4 * text_mb / four:6.1f} MB/s  "
              f"({four / whole:.2f} x one document's time, {os.cpu_count()} cores)")
    finally:
        shutil.rmtree(scratch)


main()
