# Set-up, build, demo and tests. `make demo` and `make test` work on a fresh machine as root:
# they install the Debian packages the build needs first.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
PREFIX     ?= /usr/local
# groff checks the manual page; valgrind runs the demo under memcheck.
PACKAGES   := cmake g++ make zlib1g-dev libdeflate-dev libgtest-dev libgmock-dev clang-format \
              groff-base valgrind
# The benchmarks also need Google Benchmark, gzip, pigz, python3, the time program, and the
# tools a dictionary maker would use instead (PyGlossary, dictfmt, dictzip, sdcv) for comparison.
BENCH_PACKAGES := libbenchmark-dev gzip pigz python3 time python3-pyglossary dictfmt dictzip sdcv
# The fuzz targets are built with clang and its libFuzzer.
FUZZ_PACKAGES := clang libclang-rt-14-dev
# The table generators need node with npm, python3 and ICU's uconv.
GENERATOR_PACKAGES := nodejs python3 icu-devtools
# Warnings stop the build here and in CI; ZORVAK_WERROR=OFF is for other compilers.
CMAKE_FLAGS := -DZORVAK_WERROR=ON
SOURCES     = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null | grep -v _generated)

.PHONY: all deps bench-deps generator-deps install-missing build build-asan demo test test-plain \
        test-asan test-valgrind test-unit install check-generated format format-check bench \
        fuzz-deps build-fuzz fuzz clean

all: build

# Installs what is missing, and nothing when everything is there.
deps:
	@$(MAKE) --no-print-directory install-missing WANTED="$(PACKAGES)"

bench-deps:
	@$(MAKE) --no-print-directory install-missing WANTED="$(PACKAGES) $(BENCH_PACKAGES)"

fuzz-deps:
	@$(MAKE) --no-print-directory install-missing WANTED="$(PACKAGES) $(FUZZ_PACKAGES)"

# Debian's npm is a package of its own; some node packages bring their own npm.
generator-deps:
	@$(MAKE) --no-print-directory install-missing WANTED="$(GENERATOR_PACKAGES)"
	@command -v npm >/dev/null || $(MAKE) --no-print-directory install-missing WANTED=npm

install-missing:
	@missing=""; for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVAK_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# Compiles the sample dictionary, then writes it back as text.
demo: build
	@rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	cp examples/sample.txt examples/sample.forms.txt $(BUILD)/demo/
	cd $(BUILD)/demo && ../zorvak sample.txt 65001 0 sample.forms.txt && echo
	cd $(BUILD)/demo && ../zorvak sample.txt.zorvak 0 && echo
	@echo "--- $(BUILD)/demo/sample.txt.zorvak.txt:"
	@cat $(BUILD)/demo/sample.txt.zorvak.txt | tr -d '\r' | sed 's/\x08/ -> /'
	@echo "--- checked, then looked up: a word form (went), another letter case (STRAßE), a prefix (m):"
	cd $(BUILD)/demo && ../zorvak-check sample.txt.zorvak
	cd $(BUILD)/demo && ../zorvak-lookup sample.txt.zorvak went STRAßE
	cd $(BUILD)/demo && ../zorvak-lookup --prefix sample.txt.zorvak m

test: deps format-check test-plain test-asan test-valgrind

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)

# The demo's compile, decompress, check and lookup under valgrind's memcheck: no error and no leak of any kind.
VALGRIND := valgrind --quiet --error-exitcode=1 --leak-check=full --show-leak-kinds=all \
            --errors-for-leak-kinds=all
test-valgrind: build
	@rm -rf $(BUILD)/valgrind && mkdir -p $(BUILD)/valgrind
	@cp examples/sample.txt examples/sample.forms.txt $(BUILD)/valgrind/
	cd $(BUILD)/valgrind && $(VALGRIND) ../zorvak sample.txt 65001 0 sample.forms.txt >/dev/null
	cd $(BUILD)/valgrind && $(VALGRIND) ../zorvak sample.txt.zorvak 0 >/dev/null
	cd $(BUILD)/valgrind && $(VALGRIND) ../zorvak-check sample.txt.zorvak >/dev/null
	cd $(BUILD)/valgrind && $(VALGRIND) ../zorvak-lookup sample.txt.zorvak went Straße >/dev/null
	@echo "valgrind: clean"

# The unit tests alone, a few seconds.
test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit

# Installs the tools and their manual pages under PREFIX (DESTDIR is honoured).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Fails when the table generators no longer reproduce the committed tables. Not part of `test`:
# the character table's Unicode data comes from the npm registry, not from the machine.
# The same as the build's check-generated target, without configuring a build first.
check-generated: generator-deps
	tools/check_generated.sh $(BUILD)/generators

format:
	clang-format -i $(SOURCES)

format-check:
	@clang-format --dry-run --Werror $(SOURCES) && echo "format: clean"

# The benchmark table (bench/bench.py). Inputs are cached in BENCH_DATA (default ../bench-data);
# BENCH_QUICK=1 is a smoke run on small inputs; BENCH_RESULTS=FILE also writes the table with the
# machine's description to FILE.
bench: bench-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DZORVAK_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)
	bench/run.sh $(BUILD) $(if $(BENCH_RESULTS),--results $(BENCH_RESULTS))

# The fuzz targets (fuzz/), built with clang under the address and undefined-behaviour
# sanitizers, each run for FUZZ_SECONDS seconds from its seed corpus in fuzz/corpus/TARGET; the
# inputs it finds are kept in FUZZ_BUILD/corpus/TARGET for the next run. An input that crashes a
# target, breaks one of its checks, takes more than 10 s or more than 512 MB is a finding: it is
# written to FUZZ_BUILD/findings/ and the run fails.
FUZZ_TARGETS ?= decode word_forms decompress compile
FUZZ_SECONDS ?= 3600
FUZZ_FLAGS   := -rss_limit_mb=512 -timeout=10 -print_final_stats=1
# The sanitizer's quarantine of freed memory (256 MB by default) fills up over a long run and
# would count against the RSS limit of whatever input happens to run then; kept small, the limit
# measures the inputs. One allocation larger than the limit is still a finding.
FUZZ_ASAN    := quarantine_size_mb=64
# A run longer than FUZZ_FORK_AFTER seconds fuzzes in child processes that libFuzzer starts
# afresh every few minutes: the sanitizer keeps some memory for every thread that ever ran, and
# the compile and decompress start threads for each input, so one process over hours would
# reach the RSS limit with no input needing it. A crash, a timeout or an input over the limit
# in any child still ends the run as a finding.
FUZZ_FORK_AFTER ?= 600
FUZZ_FORK    := -fork=1 -ignore_crashes=0 -ignore_timeouts=0 -ignore_ooms=0

build-fuzz: fuzz-deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZORVAK_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j$(JOBS)

fuzz: build-fuzz
	@mkdir -p $(FUZZ_BUILD)/findings; \
	scratch=$$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp ); failed=""; \
	fork=$$( [ $(FUZZ_SECONDS) -gt $(FUZZ_FORK_AFTER) ] && echo "$(FUZZ_FORK)" ); \
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  echo "fuzz $$t: $(FUZZ_SECONDS) s, log in $(FUZZ_BUILD)/fuzz-$$t.log"; \
	  TMPDIR=$$scratch ASAN_OPTIONS=$(FUZZ_ASAN):$$ASAN_OPTIONS \
	    $(FUZZ_BUILD)/fuzz/$${t}_fuzzer $(FUZZ_FLAGS) $$fork \
	    -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$(FUZZ_BUILD)/findings/$$t- \
	    $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t > $(FUZZ_BUILD)/fuzz-$$t.log 2>&1 \
	    || failed="$$failed $$t"; \
	  grep -h -E 'stat::number_of_executed_units|SUMMARY' $(FUZZ_BUILD)/fuzz-$$t.log; \
	  [ -z "$$fork" ] || grep -a -E '^#[0-9]+: cov' $(FUZZ_BUILD)/fuzz-$$t.log | tail -1; \
	done; \
	if [ -n "$$failed" ]; then echo "fuzz findings in:$$failed ($(FUZZ_BUILD)/findings)"; exit 1; fi

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
