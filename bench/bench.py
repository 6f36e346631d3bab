#!/usr/bin/env python3
"""The benchmark table: what compiling, decompressing and looking up cost a dictionary maker.

For every case (the real German-English corpus in 1252 and UTF-8, with a large word forms file
and with the all-words flag; generated dictionaries in 1251 and UTF-8, sorted and shuffled, at
one and four times their size; five million short entries; one lemma with a million forms) it
times the compile and the decompression with one thread and with N, and in the same round the
references on the same text: `gzip -6 -c` and `pigz -6 -p N` for the compile, `gzip -dc` for
the decompression. Beside them, on the corpus, the tools a dictionary maker would use instead
(PyGlossary from a tab file to StarDict; dictfmt and dictzip), and lookups of random headwords
with zorvak-lookup and with sdcv. Each figure is the median of BENCH_REPEAT rounds. Prints one
Markdown table; a missing tool or input gives "n/a" in its cells, never a stop.

usage: bench.py [BUILD_DIR] [--results FILE] [--prepare]
  BUILD_DIR          holds zorvak (and zorvak-lookup when built); default build
  --results FILE     also writes the table with the machine's description to FILE
  --prepare          only makes the inputs (they are cached; a run makes what is missing)
environment:
  BENCH_DATA         cache of generated inputs, kept between runs (default ../bench-data beside
                     the repository); nothing is written elsewhere. Its last-run.md holds the
                     report so far, rewritten after every case
  ZORVAK_CORPUS      the corpus folder (default ../corpora beside the repository; written by
                     ../shared/corpora/build.sh when missing)
  BENCH_QUICK=1      small inputs and one round: a smoke run of a few minutes
  BENCH_REPEAT       rounds per case (default 3, quick 1)
  BENCH_THREADS      N (default: the number of cores)
  BENCH_CASES        a regular expression; only the cases whose name it finds run
"""
import hashlib
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.dirname(HERE)
NA = "n/a"


# ---------------------------------------------------------------------------------------------
# Running and measuring one command


@dataclass
class Run:
    seconds: float
    peak_kib: int  # None when unknown
    status: int
    output: bytes = b""
    errors: bytes = b""


TIME = "/usr/bin/time"


def run(command, stdin=None, stdout=None, cwd=None, keep_output=False, peak=True):
    """Runs a command to its end: wall time, peak resident memory and exit status. stdout is a
    file name, or None for the output kept (keep_output) or thrown away; standard error is
    always kept. The peak comes from the time program, whose own small process is the one that
    starts the command: a child forked from this interpreter would count the interpreter's
    memory as its own. Without peak, the command runs directly and only its time counts."""
    with open(stdin or os.devnull, "rb") as inp, \
            (open(stdout, "wb") if stdout else tempfile.TemporaryFile()) as out, \
            tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile("r") as peak_file:
        target = out if stdout or keep_output else subprocess.DEVNULL
        timed = [TIME, "-f", "%M", "-o", peak_file.name, *command] if peak and os.access(TIME, os.X_OK) \
            else command
        start = time.perf_counter()
        try:
            status = subprocess.run(timed, stdin=inp, stdout=target, stderr=err, cwd=cwd).returncode
        except OSError as error:
            return Run(0.0, 0, 127, b"", str(error).encode())
        seconds = time.perf_counter() - start
        peak_lines = peak_file.read().split()
        output = b""
        if keep_output and not stdout:
            out.seek(0)
            output = out.read()
        err.seek(0)
        return Run(seconds, int(peak_lines[-1]) if peak_lines and peak_lines[-1].isdigit() else None,
                   status, output, err.read())


def have(tool):
    return shutil.which(tool) is not None


def median(values):
    values = [value for value in values if value is not None]
    return statistics.median(values) if values else None


# ---------------------------------------------------------------------------------------------
# Settings and the cache of inputs


@dataclass
class Settings:
    build: str
    zorvak: str
    lookup: str
    data: str
    corpus: str
    quick: bool
    repeat: int
    threads: int
    cases: str
    results: str
    prepare: bool
    work: str = ""
    revision: str = ""
    threads_option: bool = False
    notes: list = field(default_factory=list)


def settings_from(argv):
    results = ""
    prepare = False
    positional = []
    arguments = iter(argv)
    for argument in arguments:
        if argument == "--results":
            results = os.path.abspath(next(arguments, ""))
        elif argument == "--prepare":
            prepare = True
        elif argument in ("-h", "--help"):
            print(__doc__)
            sys.exit(0)
        else:
            positional.append(argument)
    build = os.path.abspath(positional[0] if positional else os.path.join(REPOSITORY, "build"))
    quick = os.environ.get("BENCH_QUICK", "") not in ("", "0")
    parent = os.path.dirname(REPOSITORY)
    data = os.path.abspath(os.environ.get("BENCH_DATA") or os.path.join(parent, "bench-data"))
    if quick:
        data = os.path.join(data, "quick")
    return Settings(
        build=build,
        zorvak=os.path.join(build, "zorvak"),
        lookup=os.path.join(build, "zorvak-lookup"),
        data=data,
        corpus=os.path.abspath(os.environ.get("ZORVAK_CORPUS") or os.path.join(parent, "corpora")),
        quick=quick,
        repeat=int(os.environ.get("BENCH_REPEAT") or (1 if quick else 3)),
        threads=int(os.environ.get("BENCH_THREADS") or os.cpu_count() or 1),
        cases=os.environ.get("BENCH_CASES", ""),
        results=results,
        prepare=prepare,
    )


def log(message):
    print(f"bench: {message}", file=sys.stderr, flush=True)


def made(path, stamp, make):
    """Makes a cached input with make(path) unless it is there with the same stamp (the
    parameters and the generator it was made with); returns whether it exists afterwards."""
    stamp_path = path + ".stamp"
    if os.path.exists(path) and os.path.exists(stamp_path):
        with open(stamp_path) as f:
            if f.read() == stamp:
                return True
    os.makedirs(os.path.dirname(path), exist_ok=True)
    log(f"making {path}")
    try:
        make(path)
    except (OSError, subprocess.CalledProcessError, UnicodeError) as error:
        log(f"could not make {path}: {error}")
        return False
    if not os.path.exists(path):
        return False
    with open(stamp_path, "w") as f:
        f.write(stamp)
    return True


def script_stamp(*parts):
    """The stamp of an input made by a script of this folder: the parameters, with the
    checksum of each script among them, so that a changed generator makes its inputs again."""
    stamp = []
    for part in parts:
        part = str(part)
        if part.endswith(".py") and os.path.exists(part):
            with open(part, "rb") as f:
                part = f"{os.path.basename(part)} {hashlib.sha256(f.read()).hexdigest()}"
        stamp.append(part)
    return "\n".join(stamp)


def python(script, *arguments):
    subprocess.run([sys.executable, os.path.join(HERE, script), *map(str, arguments)], check=True)


# The corpus: the real German-English dictionary in 1252 and UTF-8 and its word forms, in the
# full run as built, in the quick run its first lines.
CORPUS_FILES = ["deu-eng.1252.txt", "deu-eng.utf8.txt", "de.forms.1252.txt"]


def corpus_folder(s):
    """The folder that holds the corpus files, or None when they cannot be had."""
    manifest = os.path.join(s.corpus, "MANIFEST.txt")
    if not os.path.exists(manifest):
        builder = os.path.join(REPOSITORY, "..", "shared", "corpora", "build.sh")
        if os.path.exists(builder):
            log(f"writing the corpus into {s.corpus}")
            subprocess.run(["bash", builder, s.corpus], stdout=sys.stderr)
    if not all(os.path.exists(os.path.join(s.corpus, name)) for name in CORPUS_FILES):
        s.notes.append(f"no corpus in {s.corpus}: its cases are n/a")
        return None
    if not s.quick:
        return s.corpus
    folder = os.path.join(s.data, "corpus")
    for name in CORPUS_FILES:
        lines = 20000 if name.startswith("deu-eng") else 4000

        def cut(path, name=name, lines=lines):
            with open(os.path.join(s.corpus, name), "rb") as source, open(path + ".part", "wb") as out:
                for number, line in enumerate(source):
                    if number == lines:
                        break
                    out.write(line)
            os.replace(path + ".part", path)

        made(os.path.join(folder, name), f"first {lines} lines of {name}", cut)
    return folder


# ---------------------------------------------------------------------------------------------
# Cases


@dataclass
class Case:
    name: str
    label: str
    folder: str  # where the source and word forms files are
    source: str
    code_page: int
    all_words: int = 0
    forms: str = ""
    lookups: bool = False  # looks up the query words in the compiled file
    plain: str = ""  # the case of the same source without word forms or flag
    options: tuple = ()  # compile options before the positional arguments
    available: bool = True
    why: str = ""


def cases(s, corpus):
    gen = os.path.join(s.data, "gen")
    megabytes = 10 if s.quick else 210
    short_count = 200000 if s.quick else 5000000
    lemma_forms = 50000 if s.quick else 1000000
    script = os.path.join(HERE, "make_dictionary.py")
    stamp = script_stamp(script, megabytes)
    large = any(wanted(s, f"gen.{page}.{order}") for page in ("1251", "utf8")
                for order in ("sorted", "shuffled")) and made(
        os.path.join(gen, "gen.1251.sorted.txt"), stamp,
        lambda path: python("make_dictionary.py", "large", os.path.join(gen, "gen"), megabytes, "sorted"))
    large4 = False
    if wanted(s, "gen.1251.4x") or wanted(s, "gen.utf8.4x"):
        large4 = roomy(s, 12 * 4 * megabytes) and made(
            os.path.join(gen, "gen4x.1251.shuffled.txt"), script_stamp(script, 4 * megabytes),
            lambda path: python("make_dictionary.py", "large", os.path.join(gen, "gen4x"), 4 * megabytes))
    short = wanted(s, "short") and made(
        os.path.join(gen, "short.1251.txt"), script_stamp(script, short_count),
        lambda path: python("make_dictionary.py", "short", path, short_count))
    lemma = wanted(s, "one-lemma") and made(
        os.path.join(gen, "one-lemma.1251.txt"), script_stamp(script, lemma_forms),
        lambda path: python("make_dictionary.py", "one-lemma", path,
                            os.path.join(gen, "one-lemma.forms.1251.txt"), 10, lemma_forms))
    forms = False
    if corpus and wanted(s, "corpus.1252.big-forms"):
        forms_script = os.path.join(HERE, "make_forms.py")
        source = os.path.join(corpus, "deu-eng.1252.txt")
        forms = made(
            os.path.join(s.data, "forms", "big.forms.1252.txt"),
            script_stamp(forms_script, source, os.path.getsize(source)),
            lambda path: python("make_forms.py", source, path))
    forms_folder = os.path.join(s.data, "forms")
    size = "" if s.quick else " 200 MB"
    result = [
        Case("corpus.1252", "corpus 1252", corpus, "deu-eng.1252.txt", 1252, lookups=True),
        Case("corpus.utf8", "corpus UTF-8", corpus, "deu-eng.utf8.txt", 65001, lookups=True),
        Case("corpus.1252.big-forms", "corpus 1252, large forms file", corpus, "deu-eng.1252.txt",
             1252, forms=os.path.join(forms_folder, "big.forms.1252.txt"), plain="corpus.1252"),
        Case("corpus.1252.forms", "corpus 1252, its forms file", corpus, "deu-eng.1252.txt", 1252,
             forms="de.forms.1252.txt", plain="corpus.1252"),
        Case("corpus.1252.all-words", "corpus 1252, all-words flag", corpus, "deu-eng.1252.txt",
             1252, all_words=1, plain="corpus.1252"),
        Case("corpus.1252.smallest", "corpus 1252, --smallest", corpus, "deu-eng.1252.txt", 1252,
             plain="corpus.1252", options=("--smallest",)),
        Case("gen.1251.sorted", f"gen{size} 1251 sorted", gen, "gen.1251.sorted.txt", 1251),
        Case("gen.1251.shuffled", f"gen{size} 1251 shuffled", gen, "gen.1251.shuffled.txt", 1251),
        Case("gen.1251.4x", f"gen 4x{size} 1251 shuffled", gen, "gen4x.1251.shuffled.txt", 1251),
        Case("gen.utf8.sorted", f"gen{size} UTF-8 sorted", gen, "gen.utf8.sorted.txt", 65001),
        Case("gen.utf8.shuffled", f"gen{size} UTF-8 shuffled", gen, "gen.utf8.shuffled.txt", 65001),
        Case("gen.utf8.4x", f"gen 4x{size} UTF-8 shuffled", gen, "gen4x.utf8.shuffled.txt", 65001),
        Case("short", f"{short_count // 1000} k short entries 1251", gen, "short.1251.txt", 1251),
        Case("one-lemma", f"10 entries, {lemma_forms // 1000} k forms of one lemma", gen,
             "one-lemma.1251.txt", 1251, forms="one-lemma.forms.1251.txt"),
    ]
    ready = {"gen.1251.sorted": large, "gen.1251.shuffled": large, "gen.utf8.sorted": large,
             "gen.utf8.shuffled": large, "gen.1251.4x": large4, "gen.utf8.4x": large4,
             "short": short, "one-lemma": lemma, "corpus.1252.big-forms": forms}
    for case in result:
        if case.folder is None:
            case.available, case.why = False, "no corpus"
        elif not ready.get(case.name, True):
            case.available, case.why = False, "input not made"
    return [case for case in result if wanted(s, case.name)]


def wanted(s, name):
    return not s.cases or re.search(s.cases, name) is not None


def roomy(s, megabytes):
    os.makedirs(s.data, exist_ok=True)
    free = shutil.disk_usage(s.data).free / 1e6
    if free < megabytes:
        s.notes.append(f"the 4x inputs need about {megabytes} MB free in {s.data}, "
                       f"{free:.0f} MB are: n/a")
        return False
    return True


# ---------------------------------------------------------------------------------------------
# One case: compile and decompress with one and N threads, and the references in the same round


@dataclass
class Row:
    case: str
    label: str
    threads: str
    megabytes: float = None
    entries: int = None
    compiled_megabytes: float = None
    compile_s: float = None
    compile_peak: float = None  # MiB
    gzip_s: float = None
    pigz_s: float = None
    text_megabytes: float = None
    decompress_s: float = None
    decompress_peak: float = None
    plain_decompress_s: float = None
    plain_compiled_megabytes: float = None
    gunzip_s: float = None
    lookup_ms: float = None
    lookup_peak: float = None
    process_ms: float = None
    plain_s: float = None  # the plain compile of the same source, same threads
    lookups: bool = False  # whether the lookup cells apply
    plain: str = ""  # the case of the plain compile to compare with, if any
    missing: str = ""  # why the cells are empty


def zorvak_command(s, threads, *arguments, options=()):
    if s.threads_option:
        return [s.zorvak, "--threads", str(threads), *options, *map(str, arguments)]
    return [s.zorvak, *options, *map(str, arguments)]


def read_counts(output):
    """Main plus alternative entries from the closing "read" progress line."""
    lines = [line for line in output.replace(b"\r", b"\n").split(b"\n") if line.startswith(b"read ")]
    match = re.match(rb"read (\d+)-(\d+)", lines[-1]) if lines else None
    return int(match.group(1)) + int(match.group(2)) if match else None


def place(case, work):
    """Copies of the case's files in a folder of its own: the compiled file is written beside
    the source, and the program holds its input exclusively."""
    names = [case.source] + ([case.forms] if case.forms else [])
    local = []
    for name in names:
        origin = name if os.path.isabs(name) else os.path.join(case.folder, name)
        target = os.path.join(work, os.path.basename(name))
        shutil.copyfile(origin, target)
        local.append(os.path.basename(name))
    return local


def bench_case(s, case, queries):
    n = s.threads
    rows = [Row(case.name, case.label, str(t), lookups=case.lookups and t == 1, plain=case.plain)
            for t in ([1, n] if n > 1 else [1])]
    if not case.available:
        for row in rows:
            row.missing = case.why
        return rows
    work = os.path.join(s.work, case.name)
    os.makedirs(work)
    try:
        bench_compiled_case(s, case, queries, rows, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rows


def bench_compiled_case(s, case, queries, rows, work):
    n = s.threads
    files = place(case, work)
    source = files[0]
    arguments = [source, case.code_page, case.all_words] + files[1:]
    # The whole input, the word forms file included, is what the references compress.
    source_bytes = sum(os.path.getsize(os.path.join(work, name)) for name in files)
    thread_counts = [1] + ([n] if n > 1 and s.threads_option else [])
    compiled = os.path.join(work, source + ".zorvak")
    text = compiled + ".txt"
    times = {("compile", t): [] for t in thread_counts}
    times.update({("decompress", t): [] for t in thread_counts})
    peaks = {key: [] for key in times}
    references = {"gzip": [], "pigz": [], "gunzip": []}
    entries = None
    text_bytes = None
    for round_number in range(s.repeat):
        compiled_digest = None
        for t in thread_counts:
            remove_files(compiled)
            result = run(zorvak_command(s, t, *arguments, options=case.options), cwd=work,
                         keep_output=True)
            if result.status != 0 or not os.path.exists(compiled):
                why = f"compile failed ({result.status}): {result.output[-200:]!r}"
                for row in rows:
                    row.missing = why
                return
            entries = read_counts(result.output)
            times[("compile", t)].append(result.seconds)
            peaks[("compile", t)].append(result.peak_kib)
            if t == 1:
                compiled_digest = file_digest(compiled)
            elif file_digest(compiled) != compiled_digest:
                s.notes.append(f"{case.name}: the file compiled with {t} threads differs from one thread's")
        compiled_bytes = os.path.getsize(compiled)
        references["gzip"].append(
            run(["gzip", "-6", "-c", *files], stdout=os.path.join(work, "ref.gz"), cwd=work).seconds)
        if have("pigz"):
            references["pigz"].append(
                run(["pigz", "-6", "-p", str(n), "-c", *files], stdout=os.path.join(work, "ref.gz"),
                    cwd=work).seconds)
        # Every timed command writes its text into a new file just after the last one's text
        # was let go, zorvak's and gzip's alike: a text kept for comparison would leave the
        # next writer memory that the machine has not handed out yet, which on this kind of
        # virtual machine costs more than the writing. Texts are compared by their digests.
        gunzipped = os.path.join(work, "gunzip.txt")
        digest = None
        for t in thread_counts:
            remove_files(text, gunzipped)
            result = run(zorvak_command(s, t, source + ".zorvak", 0), cwd=work)
            if result.status != 0 or not os.path.exists(text):
                s.notes.append(f"{case.name}: decompress failed ({result.status})")
                break
            times[("decompress", t)].append(result.seconds)
            peaks[("decompress", t)].append(result.peak_kib)
            text_bytes = os.path.getsize(text)
            if t == 1:
                digest = file_digest(text)
            elif file_digest(text) != digest:
                s.notes.append(f"{case.name}: the text decompressed with {t} threads differs from one thread's")
        if os.path.exists(text):
            if round_number == 0:
                run(["gzip", "-6", "-c", text], stdout=text + ".gz")
            remove_files(text)
            result = run(["gzip", "-dc", text + ".gz"], stdout=gunzipped)
            if file_digest(gunzipped) == digest:
                references["gunzip"].append(result.seconds)
            remove_files(gunzipped)
    for index, t in enumerate(thread_counts):
        row = rows[index]
        row.megabytes = source_bytes / 1e6
        row.entries = entries
        row.compiled_megabytes = compiled_bytes / 1e6
        row.compile_s = median(times[("compile", t)])
        row.compile_peak = mib(median(peaks[("compile", t)]))
        row.decompress_s = median(times[("decompress", t)])
        row.decompress_peak = mib(median(peaks[("decompress", t)]))
        row.text_megabytes = text_bytes / 1e6 if text_bytes else None
    for row in rows:
        row.gzip_s = median(references["gzip"])
        row.pigz_s = median(references["pigz"])
        row.gunzip_s = median(references["gunzip"])
    if case.lookups and queries and os.path.exists(s.lookup):
        bench_lookups(s, rows[0], [s.lookup, compiled], queries, f"zorvak-lookup ({case.name})")


def file_digest(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return digest.hexdigest()


def remove_files(*paths):
    for path in paths:
        if os.path.exists(path):
            os.remove(path)


def mib(kib):
    return kib / 1024 if kib is not None else None


# ---------------------------------------------------------------------------------------------
# Lookups of the query words: all in one process, and one word a process


def bench_lookups(s, row, command, queries, name, found=None):
    processes = queries[: 100 if s.quick else 1000]
    batch_times, batch_peaks = [], []
    for _ in range(s.repeat):
        result = run(command + queries, keep_output=True)
        batch_times.append(result.seconds)
        batch_peaks.append(result.peak_kib)
    if found:
        hits = found(result)
        s.notes.append(f"{name}: {hits} of {len(queries)} query words found in one process")
    elif result.status not in (0, 1):
        s.notes.append(f"{name}: exit status {result.status} in one process")
    else:
        missing = len([line for line in result.errors.splitlines() if line.strip()])
        s.notes.append(f"{name}: exit status {result.status}, {missing} lines on standard error "
                       f"for {len(queries)} query words")
    single = []
    for word in processes:
        single.append(run(command + [word], peak=False).seconds)
    row.lookup_ms = median(batch_times) * 1000 / len(queries)
    row.lookup_peak = mib(median(batch_peaks))
    row.process_ms = median(single) * 1000
    s.notes.append(f"{name}: one word a process, {len(single)} processes: median "
                   f"{median(single) * 1000:.1f} ms, mean {statistics.mean(single) * 1000:.1f} ms, "
                   f"slowest {max(single) * 1000:.1f} ms")


def query_words(s, corpus):
    """Random headwords of the corpus (the same in its 1252 and UTF-8 files), UTF-8, one a
    line, cached in BENCH_DATA/lookup/queries.txt for the other lookup benchmarks."""
    if not corpus:
        return []
    count = 100 if s.quick else 1000
    path = os.path.join(s.data, "lookup", "queries.txt")

    def make(path):
        def headwords(name, encoding):
            with open(os.path.join(corpus, name), encoding=encoding, newline="") as f:
                for line in f:
                    match = re.match(r"(.*?)[ \t]{2}", line)
                    yield match.group(1) if match else None

        pairs = zip(headwords("deu-eng.utf8.txt", "utf-8"), headwords("deu-eng.1252.txt", "cp1252"))
        words = sorted({a for a, b in pairs if a and a == b and not a.startswith("-") and a.strip() == a})
        chosen = random.Random(20261208).sample(words, min(count, len(words)))
        with open(path + ".part", "w", encoding="utf-8") as f:
            f.write("".join(word + "\n" for word in chosen))
        os.replace(path + ".part", path)

    if not made(path, f"{count} headwords of {corpus}/deu-eng.utf8.txt", make):
        return []
    with open(path, encoding="utf-8") as f:
        return f.read().splitlines()


# ---------------------------------------------------------------------------------------------
# What a dictionary maker would use instead, on the corpus's UTF-8 text


def tab_file(s, corpus):
    """The corpus as a tab file (headword, tab, article), the input of PyGlossary."""
    path = os.path.join(s.data, "peers", "deu-eng.tab.txt")

    def make(path):
        with open(os.path.join(corpus, "deu-eng.utf8.txt"), encoding="utf-8", newline="") as f, \
                open(path + ".part", "w", encoding="utf-8", newline="") as out:
            for line in f:
                match = re.match(r"(.*?)[ \t]{2}(.*)", line.rstrip("\r\n"))
                if match and match.group(1):
                    out.write(f"{match.group(1)}\t{match.group(2)}\n")
        os.replace(path + ".part", path)

    return path if made(path, f"tab file of {corpus}/deu-eng.utf8.txt", make) else None


def stardict(s, tab):
    """The StarDict conversion of the corpus, made once, untimed, for the sdcv lookups: returns
    (data folder, book name), or None."""
    folder = os.path.join(s.data, "stardict")
    ifo = os.path.join(folder, "dic", "deu-eng.ifo")

    def make(path):
        shutil.rmtree(os.path.join(folder, "dic"), ignore_errors=True)
        os.makedirs(os.path.join(folder, "dic"))
        subprocess.run(pyglossary_command(tab, path), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    if not have("pyglossary") or not made(ifo, f"pyglossary of {tab} {os.path.getsize(tab)}", make):
        return None
    return folder, book_name(ifo)


def book_name(ifo):
    with open(ifo, encoding="utf-8") as f:
        for line in f:
            if line.startswith("bookname="):
                return line[len("bookname="):].strip()
    return ""


def pyglossary_command(tab, ifo):
    return ["pyglossary", tab, ifo, "--read-format=Tabfile", "--write-format=Stardict",
            "--no-progress-bar", "--no-color", "--name=deu-eng"]


def bench_peers(s, corpus, queries):
    rows = []
    pyglossary = Row("peers", "PyGlossary tab file to StarDict", "1", lookups=True)
    dictd = Row("peers", "dictfmt + dictzip", "1")
    rows = [pyglossary, dictd]
    tab = tab_file(s, corpus) if corpus else None
    if not tab:
        for row in rows:
            row.missing = "no corpus"
        return rows
    work = os.path.join(s.work, "peers")
    os.makedirs(work)
    try:
        megabytes = os.path.getsize(tab) / 1e6
        for row in rows:
            row.megabytes = megabytes
        # dictfmt reads headwords in the first column and their text indented below them.
        dictfmt_input = os.path.join(s.data, "peers", "deu-eng.dictfmt.txt")

        def make(path):
            with open(tab, encoding="utf-8") as f, open(path + ".part", "w", encoding="utf-8") as out:
                for line in f:
                    headword, _, article = line.rstrip("\n").partition("\t")
                    out.write(f"{headword}\n\t{article}\n")
            os.replace(path + ".part", path)

        made(dictfmt_input, f"dictfmt input of {tab} {os.path.getsize(tab)}", make)
        gzip_times, pigz_times, times = [], [], {"pyglossary": [], "dictd": [], "dictunzip": []}
        peaks = {"pyglossary": [], "dictd": []}
        for _ in range(s.repeat):
            gzip_times.append(run(["gzip", "-6", "-c", tab], stdout=os.path.join(work, "ref.gz")).seconds)
            if have("pigz"):
                pigz_times.append(run(["pigz", "-6", "-p", str(s.threads), "-c", tab],
                                      stdout=os.path.join(work, "ref.gz")).seconds)
            if have("pyglossary"):
                out = os.path.join(work, "stardict")
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                result = run(pyglossary_command(tab, os.path.join(out, "deu-eng.ifo")))
                if result.status == 0:
                    times["pyglossary"].append(result.seconds)
                    peaks["pyglossary"].append(result.peak_kib)
                else:
                    s.notes.append(f"pyglossary failed ({result.status}): {result.errors[-200:]!r}")
                shutil.rmtree(out, ignore_errors=True)
            if have("dictfmt") and have("dictzip") and os.path.exists(dictfmt_input):
                base = os.path.join(work, "deu-eng")
                for suffix in (".index", ".dict", ".dict.dz"):
                    if os.path.exists(base + suffix):
                        os.remove(base + suffix)
                formatting = run(["dictfmt", "-f", "--utf8", "--allchars", "--quiet", "-s", "deu-eng",
                                  "-u", "none", base], stdin=dictfmt_input)
                zipping = run(["dictzip", base + ".dict"])
                if formatting.status == 0 and zipping.status == 0:
                    times["dictd"].append(formatting.seconds + zipping.seconds)
                    peaks["dictd"].append(max(formatting.peak_kib or 0, zipping.peak_kib or 0) or None)
                    unzipping = run(["dictzip", "-d", "-c", base + ".dict.dz"],
                                    stdout=os.path.join(work, "unzipped.dict"))
                    times["dictunzip"].append(unzipping.seconds)
                else:
                    s.notes.append(f"dictfmt ({formatting.status}) or dictzip ({zipping.status}) failed")
        for row in rows:
            row.gzip_s = median(gzip_times)
            row.pigz_s = median(pigz_times)
        pyglossary.compile_s = median(times["pyglossary"])
        pyglossary.compile_peak = mib(median(peaks["pyglossary"]))
        dictd.compile_s = median(times["dictd"])
        dictd.compile_peak = mib(median(peaks["dictd"]))
        if times["dictunzip"]:
            dictd.decompress_s = median(times["dictunzip"])
            dictd.text_megabytes = os.path.getsize(os.path.join(work, "unzipped.dict")) / 1e6
            run(["gzip", "-6", "-c", os.path.join(work, "unzipped.dict")], stdout=os.path.join(work, "d.gz"))
            dictd.gunzip_s = median([run(["gzip", "-dc", os.path.join(work, "d.gz")],
                                         stdout=os.path.join(work, "d.txt")).seconds
                                     for _ in range(s.repeat)])
        if not have("pyglossary"):
            pyglossary.missing = "no pyglossary"
        if not (have("dictfmt") and have("dictzip")):
            dictd.missing = "no dictfmt or dictzip"
        book = stardict(s, tab) if queries else None
        if book and have("sdcv"):
            folder, name = book
            command = ["sdcv", "-n", "-x", "-e", "-0", "-1", "--data-dir", folder, "-u", name]
            run(command + queries[:1])  # writes sdcv's index cache beside the dictionary
            bench_lookups(s, pyglossary, command, queries, "sdcv (StarDict from PyGlossary)",
                          found=lambda result: result.output.count(b"\n-->" + name.encode() + b"\n"))
        elif queries:
            s.notes.append("sdcv lookups: n/a (no sdcv or no StarDict conversion)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return rows


# ---------------------------------------------------------------------------------------------
# The table


def cell(value, digits=2):
    return NA if value is None else f"{value:.{digits}f}"


def ratio(a, b):
    return NA if a is None or not b else f"{a / b:.2f}"


def rate(megabytes, seconds):
    return NA if megabytes is None or not seconds else f"{megabytes / seconds:.1f}"


def table(s, rows):
    n = s.threads
    header = ["case", "thr", "MB", "entries", "compile s", "MB/s", "peak MiB", "x gzip -6",
              f"x pigz -p{n}", "x plain", "decomp. s", "MB/s", "peak MiB", "x gzip -dc",
              "lookup ms/word", "lookup MiB", "1-word process ms"]
    body = []
    for row in rows:
        plain = [ratio(row.compile_s, row.plain_s)] if row.plain else [""]
        lookups = ([cell(row.lookup_ms, 3), cell(row.lookup_peak, 1), cell(row.process_ms, 1)]
                   if row.lookups else [""] * 3)
        decompress = [cell(row.decompress_s), rate(row.text_megabytes, row.decompress_s),
                      cell(row.decompress_peak, 1), ratio(row.decompress_s, row.gunzip_s)]
        if row.case == "peers" and not row.text_megabytes:
            decompress = [""] * 4
        body.append([
            row.label, row.threads, cell(row.megabytes, 1),
            "" if row.case == "peers" else NA if row.entries is None else f"{row.entries:,}",
            cell(row.compile_s), rate(row.megabytes, row.compile_s), cell(row.compile_peak, 1),
            ratio(row.compile_s, row.gzip_s), ratio(row.compile_s, row.pigz_s), *plain,
            *decompress, *lookups,
        ])
    widths = [max(len(line[i]) for line in [header] + body) for i in range(len(header))]
    lines = ["| " + " | ".join(value.ljust(w) if i == 0 else value.rjust(w)
                               for i, (value, w) in enumerate(zip(line, widths))) + " |"
             for line in [header] + body]
    rule = "| " + " | ".join("-" * w if i == 0 else "-" * (w - 1) + ":"
                             for i, w in enumerate(widths)) + " |"
    return "\n".join(lines[:1] + [rule] + lines[1:])


def link_plain(rows):
    """The ratio of a compile with word forms or the all-words flag to the plain compile of the
    same source with as many threads."""
    plain = {(row.case, row.threads): row for row in rows}
    for row in rows:
        other = plain.get((row.plain, row.threads)) if row.plain else None
        if other:
            row.plain_s = other.compile_s
            row.plain_decompress_s = other.decompress_s
            row.plain_compiled_megabytes = other.compiled_megabytes


def options_against_default(rows):
    """What a compile option changes against the default compile of the same source: the
    compiled file's size and the times of compiling and decompressing it."""
    lines = []
    for row in rows:
        if not row.case.endswith(".smallest") or row.compiled_megabytes is None:
            continue
        lines.append(f"{row.label}, {row.threads} thread(s): file {cell(row.compiled_megabytes, 2)} MB, "
                     f"{ratio(row.compiled_megabytes, row.plain_compiled_megabytes)} x the default's "
                     f"{cell(row.plain_compiled_megabytes, 2)} MB; compile "
                     f"{ratio(row.compile_s, row.plain_s)} x, decompress "
                     f"{ratio(row.decompress_s, row.plain_decompress_s)} x the default's")
    return lines


def targets(s, rows):
    """Each target of this machine beside the measured figure: met, missed or n/a."""
    by = {(row.case, row.threads): row for row in rows}
    default = str(s.threads) if s.threads_option else "1"

    def row(case, threads=default):
        return by.get((case, threads)) or Row(case, case, threads)

    def verdict(value, limit, at_least=False):
        if value is None:
            return NA
        return "met" if (value >= limit if at_least else value <= limit) else "MISSED"

    def ran(*cases):
        return all(any(key[0] == case for key in by) for case in cases)

    def each(name, cases, value, limit, unit="", at_least=False):
        for case in filter(ran, cases):
            got = value(row(case))
            shown = NA if got is None else f"{got:.2f}{unit}"
            lines.append(f"{verdict(got, limit, at_least)}: {name}, {row(case).label}: {shown} "
                         f"({'at least' if at_least else 'at most'} {limit}{unit})")

    def over(a, b):
        return a / b if a is not None and b else None

    lines = []
    gen = ["gen.1251.sorted", "gen.1251.shuffled", "gen.utf8.sorted", "gen.utf8.shuffled"]
    each("compile x gzip -6", ["corpus.1252", "corpus.utf8"],
         lambda r: over(r.compile_s, r.gzip_s), 0.7)
    each("compile x gzip -6", gen, lambda r: over(r.compile_s, r.gzip_s), 0.35)
    each("compile x gzip -6", ["short"], lambda r: over(r.compile_s, r.gzip_s), 3.5)
    if s.threads > 1:
        for case in filter(ran, ("corpus.1252", "corpus.utf8")):
            speedup = over(row(case, "1").compile_s, row(case, str(s.threads)).compile_s)
            lines.append(f"{verdict(speedup, 1.7, True)}: {s.threads} threads over one, "
                         f"{row(case).label}: {cell(speedup)} (at least 1.7)")
    each("x the plain compile", ["corpus.1252.big-forms", "corpus.1252.all-words"],
         lambda r: over(r.compile_s, r.plain_s), 1.3)
    each("decompress x gzip -dc", [r.case for r in rows if r.case != "peers" and r.threads == default],
         lambda r: over(r.decompress_s, r.gunzip_s), 0.7)
    for small, large in (("gen.1251.shuffled", "gen.1251.4x"), ("gen.utf8.shuffled", "gen.utf8.4x")):
        if not ran(small, large):
            continue
        scale = over(row(large).compile_s, row(small).compile_s)
        lines.append(f"{verdict(scale, 4.2)}: 4x the input, {row(large).label}: {cell(scale)} x "
                     f"the time (at most 4.2)")
    for sorted_case, shuffled in (("gen.1251.sorted", "gen.1251.shuffled"),
                                  ("gen.utf8.sorted", "gen.utf8.shuffled")):
        if not ran(sorted_case, shuffled):
            continue
        slower = over(row(shuffled).compile_s, row(sorted_case).compile_s)
        lines.append(f"{verdict(slower, 1.1)}: shuffled over sorted, {row(shuffled).label}: "
                     f"{cell(slower)} (at most 1.1)")
    for r in rows:
        if r.case == "peers" or r.threads != default:
            continue
        if r.compile_peak is not None and r.entries is not None:
            budget = 64 + r.entries * 48 / 2**20
            lines.append(f"{verdict(r.compile_peak, budget)}: compile peak, {r.label}: "
                         f"{r.compile_peak:.1f} MiB (at most {budget:.1f} MiB: 64 MiB + 48 B x "
                         f"{r.entries:,} entries)")
        if r.decompress_peak is not None:
            lines.append(f"{verdict(r.decompress_peak, 64)}: decompress peak, {r.label}: "
                         f"{r.decompress_peak:.1f} MiB (at most 64 MiB)")
    # Both peer rows share a key; sdcv's lookups are in the one that has lookup cells.
    sdcv = next((r for r in rows if r.case == "peers" and r.lookup_ms is not None),
                Row("peers", "sdcv", "1"))
    for case in filter(ran, ("corpus.1252", "corpus.utf8")):
        r = row(case, "1")
        lines.append(f"{verdict(r.lookup_ms, 1)}: lookup, {r.label}: {cell(r.lookup_ms, 3)} ms a word "
                     f"(at most 1 ms)")
        lines.append(f"{verdict(r.lookup_peak, 16)}: lookup peak, {r.label}: {cell(r.lookup_peak, 1)} MiB "
                     f"(at most 16 MiB)")
        lines.append(f"{verdict(over(r.lookup_ms, sdcv.lookup_ms), 1)}: lookup x sdcv, {r.label}: "
                     f"{ratio(r.lookup_ms, sdcv.lookup_ms)} (at most 1)")
        lines.append(f"{verdict(r.process_ms, 5)}: one-word process, {r.label}: {cell(r.process_ms, 1)} ms "
                     f"(at most 5 ms)")
    return lines


def references(s, rows):
    """The references' own times, a line a case."""
    lines = []
    for row in rows:
        if row.gzip_s is not None and row.threads == "1":
            line = f"{row.label}: gzip -6 {cell(row.gzip_s)} s, pigz -p{s.threads} {cell(row.pigz_s)} s"
            if row.gunzip_s is not None:
                line += f", gzip -dc {cell(row.gunzip_s)} s"
            lines.append(line)
    return lines


def machine():
    """The machine's description: cores, CPU, memory, kernel and the compression library."""

    def read(command):
        try:
            result = subprocess.run(command, capture_output=True, text=True, shell=True)
            return result.stdout.strip() or NA
        except OSError:
            return NA

    cpu = read("lscpu | sed -n 's/^Model name: *//p' | head -1")
    memory = read("awk '/MemTotal/ { printf \"%.1f GiB\", $2 / 1048576 }' /proc/meminfo")
    zlib = read("dpkg-query -W -f='${Version}' zlib1g 2>/dev/null")
    gzip = read("gzip --version | head -1")
    pigz = read("pigz --version 2>&1")
    load = read("cut -d' ' -f1-3 /proc/loadavg")
    return [
        f"cores (nproc): {os.cpu_count()}",
        f"CPU: {cpu}",
        f"memory: {memory}",
        f"kernel: {read('uname -sr')}",
        f"zlib: {zlib} (Debian zlib1g)",
        f"gzip: {gzip}; pigz: {pigz}",
        f"load average at the start: {load}",
    ]


def revision():
    def git(*arguments):
        return subprocess.run(["git", "-C", REPOSITORY, *arguments], capture_output=True,
                              text=True).stdout.strip()

    head = git("rev-parse", "--short", "HEAD") or NA
    return head + (" with local changes" if git("status", "--porcelain", "--untracked-files=no") else "")


def main():
    s = settings_from(sys.argv[1:])
    if not os.access(s.zorvak, os.X_OK):
        sys.exit(f"bench: no program at {s.zorvak} (make build)")
    for tool in ("gzip", "cmp"):
        if not have(tool):
            sys.exit(f"bench: needs {tool}")
    help_text = run([s.zorvak, "--help"], keep_output=True).output
    s.threads_option = b"--threads" in help_text
    s.revision = revision()
    described = machine()
    started = time.time()
    os.makedirs(s.data, exist_ok=True)
    s.work = os.path.join(s.data, f"work.{os.getpid()}")
    os.makedirs(s.work)
    # The report so far, rewritten after every case, so that a run cut short keeps its figures.
    partial = os.path.join(s.data, "last-run.md")
    rows = []
    try:
        corpus = corpus_folder(s)
        queries = query_words(s, corpus)
        if s.prepare:
            cases(s, corpus)
            tab = tab_file(s, corpus) if corpus and wanted(s, "peers") else None
            if tab:
                stardict(s, tab)
            return
        todo = cases(s, corpus)
        for case in todo:
            log(case.name)
            rows += bench_case(s, case, queries)
            with open(partial, "w") as f:
                f.write(report(s, rows, started, todo))
        if wanted(s, "peers"):
            log("peers")
            rows += bench_peers(s, corpus, queries)
    finally:
        shutil.rmtree(s.work, ignore_errors=True)
    text = report(s, rows, started)
    with open(partial, "w") as f:
        f.write(text)
    print(text)
    if s.results:
        with open(s.results, "w") as f:
            f.write(results_document(s, text, described))


def report(s, rows, started, todo=None):
    """The table, the references, the notes and the targets; with todo, a run still going."""
    link_plain(rows)
    notes = list(s.notes)
    for tool in ("pigz", "pyglossary", "dictfmt", "dictzip", "sdcv"):
        if not have(tool):
            notes.append(f"{tool} is not installed (make bench-deps): its cells are n/a")
    if not s.threads_option:
        notes.append(f"zorvak has no --threads option yet: the {s.threads}-thread rows are n/a")
    if not os.path.exists(s.lookup):
        notes.append(f"no {s.lookup}: zorvak's lookup cells are n/a")
    missing = sorted({f"{row.label}: {row.missing}" for row in rows if row.missing})
    done = {row.case for row in rows}
    going = [case.name for case in todo or [] if case.name not in done]
    minutes = (time.time() - started) / 60
    against = options_against_default(rows)
    return "\n".join([
        *([f"Still running; not yet measured: {', '.join(going + ['peers'])}.", ""] if todo else []),
        table(s, rows),
        "",
        f"Medians of {s.repeat} round(s){', quick mode (small inputs)' if s.quick else ''}; "
        f"N = {s.threads} threads; zorvak {s.revision}; {minutes:.0f} minutes; "
        f"load average at the end: {' '.join(open('/proc/loadavg').read().split()[0:3])}.",
        "",
        "References (medians, seconds):",
        "",
        *[f"- {line}" for line in references(s, rows)],
        "",
        *(["Compile options against the default compile (same round):", "",
           *[f"- {line}" for line in against], ""] if against else []),
        "Notes:",
        "",
        *[f"- {line}" for line in dict.fromkeys(missing + notes)],
        "",
        "Targets:",
        "",
        *[f"- {line}" for line in targets(s, rows)],
        "",
    ])


def results_document(s, text, described):
    return "\n".join([
        "# Benchmark results",
        "",
        "Written by `make bench` (`bench/bench.py`); re-run it with `make bench` and compare in the",
        "same run only. This machine is shared with other engineers who build and test while the",
        "benchmark runs, so absolute times are noisy; the ratios to gzip, pigz and gzip -dc are timed",
        "in the same round on the same text and are the figures to compare.",
        "",
        "Columns: the source size (MB = 10^6 bytes), the entries (main and alternative headwords),",
        "the compile's wall time, its speed over the source and its peak resident memory, and its",
        "ratios to `gzip -6 -c` and `pigz -6 -p N` of the source; the decompression's wall time (it",
        "includes flushing the text to disk), its speed over the written text, its peak memory and its",
        "ratio to `gzip -dc` of the same text into a file; on the corpus, a lookup of the same random",
        "headwords all in one process (time per word, peak memory) and one word a process (median).",
        "The peer rows convert the corpus's UTF-8 text as a tab file; their lookup cells are sdcv's on",
        "the StarDict conversion, their decompress cells `dictzip -d` of the dictd data.",
        "",
        "## Machine",
        "",
        *[f"- {line}" for line in described],
        "",
        "## Table",
        "",
        text,
        "",
    ])


if __name__ == "__main__":
    main()
