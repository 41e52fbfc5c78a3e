# The two commands of the README: `make run` and `make test`. Each installs
# what is missing, configures, builds and runs.

SHELL     := /bin/bash
BUILD     ?= build
GENERATOR ?= Ninja
JOBS      ?= 2

# Debian packages the build, the tests and the tools need.
PACKAGES = cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev \
           zlib1g-dev libdeflate-dev qt6-base-dev clang libclang-rt-14-dev \
           desktop-file-utils groff-base

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

PREFIX    ?= /usr/local

.PHONY: all deps configure build test test-sanitized fuzz run bench install clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -G $(GENERATOR) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Tests and fuzzers run with a temporary folder of their own, removed after
# them whether they pass or not: a process that ends without its exit
# handlers (killed on purpose by a test, or by one of libFuzzer's own exit
# paths) cannot leave its private folder in the system's.
# $(call in-private-tmp,NAME,COMMAND)
in-private-tmp = tmp="$$PWD/$(BUILD)-$(1)-tmp"; rm -rf "$$tmp" && mkdir -p "$$tmp" && \
	{ TMPDIR="$$tmp" $(2); status=$$?; rm -rf "$$tmp"; exit $$status; }

# The tests in the normal build, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer with leak checking (command line only: the
# dialog's tests run in the normal build), then a short run of each fuzzer.
test: build
	@$(call in-private-tmp,test,ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS))
	$(MAKE) --no-print-directory test-sanitized
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(CI_FUZZ_SECONDS)

test-sanitized: deps
	@[ -f $(BUILD)-asan/build.ninja ] || cmake -G $(GENERATOR) -S . -B $(BUILD)-asan \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXQRV_SANITIZE=ON -DEXQRV_WITH_QT=OFF
	cmake --build $(BUILD)-asan -j$(JOBS)
	@$(call in-private-tmp,asan,ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD)-asan --output-on-failure -j$(JOBS))

# Each fuzzer for FUZZ_SECONDS, from seeds made with qrvtool; what it finds
# lands in $(BUILD)-fuzz/findings.
FUZZ_SECONDS    ?= 60
CI_FUZZ_SECONDS ?= 20
FUZZERS = $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/*_fuzzer.cpp))

fuzz: deps
	@[ -f $(BUILD)-fuzz/build.ninja ] || CC=clang CXX=clang++ cmake -G $(GENERATOR) -S . -B $(BUILD)-fuzz \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXQRV_FUZZ=ON -DEXQRV_TESTS=OFF -DEXQRV_WITH_QT=OFF
	cmake --build $(BUILD)-fuzz -j$(JOBS)
	@rm -rf $(BUILD)-fuzz/seeds && mkdir -p $(BUILD)-fuzz/seeds $(BUILD)-fuzz/findings
	@$(BUILD)-fuzz/qrvtool make --out $(BUILD)-fuzz/seeds/plain.QRV --note 1:a:b samples/river-1.txt samples/river-2.txt
	@$(BUILD)-fuzz/qrvtool make --compress --compress-notes --out $(BUILD)-fuzz/seeds/packed.QRV --note 2:c:d \
	  samples/letters-1.txt samples/letters-2.txt
	@$(call in-private-tmp,fuzz,$(SHELL) -c 'for f in $(FUZZERS); do \
	  echo "fuzzing $$f for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(BUILD)-fuzz/corpus/$$f; \
	  $(BUILD)-fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -artifact_prefix=$(BUILD)-fuzz/findings/ -print_final_stats=1 \
	    $(BUILD)-fuzz/corpus/$$f $(BUILD)-fuzz/seeds 2>&1 | grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)" ; \
	  [ $${PIPESTATUS[0]} -eq 0 ] || exit 1; \
	done')

# Builds the sample documents from the text in samples/, converts them into a
# fresh folder and shows what was written.
run: build
	@rm -rf $(BUILD)/samples $(BUILD)/samples-text && mkdir -p $(BUILD)/samples $(BUILD)/samples-text
	@$(BUILD)/qrvtool make --out $(BUILD)/samples/RIVER.QRV \
	  --note 1:" [Margin] ":"the mill was rebuilt in 1871." \
	  samples/river-1.txt samples/river-2.txt
	@$(BUILD)/qrvtool make --compress --compress-notes --out $(BUILD)/samples/LETTERS.QRV \
	  --note 2:"Note to page 2: ":"posted on a Tuesday." \
	  samples/letters-1.txt samples/letters-2.txt samples/letters-3.txt
	@$(BUILD)/qrvtool make --compress --out $(BUILD)/samples/RECIPES.QRV samples/recipes-1.txt
	@cd $(BUILD)/samples && ../exqrv '*.QRV' /$(abspath $(BUILD))/samples-text
	@echo "Converted into $(BUILD)/samples-text:"
	@cd $(BUILD)/samples-text && for f in *.TXT; do printf '  %-12s %6s bytes\n' "$$f" "$$(stat -c %s "$$f")"; done

# Every benchmark program, then the table of their figures beside their
# yardsticks. With Qt, so that exqrv's start-up is that of the real program.
bench: deps
	cmake -G $(GENERATOR) -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DEXQRV_BENCH=ON -DEXQRV_TESTS=OFF
	cmake --build $(BUILD)-bench -j$(JOBS)
	@rm -f $(BUILD)-bench/table.txt
	for b in $(BUILD)-bench/*_bench; do $$b --table=$(BUILD)-bench/table.txt || exit 1; done
	@echo; echo "Each figure beside its yardstick, measured in the same run:"
	@cat $(BUILD)-bench/table.txt

# Honours PREFIX, and DESTDIR for packagers.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-asan $(BUILD)-fuzz
