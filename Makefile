# The two commands of the README: `make run` and `make test`. Each installs
# the Debian packages it is missing, configures, builds and runs. Paths are
# quoted throughout: a clone may live under a folder whose name has spaces.

SHELL     := /bin/bash
# ccache, when the build finds it, takes paths relative to the clone, so that
# two clones share what they compiled alike.
export CCACHE_BASEDIR  ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
BUILD     ?= build
GENERATOR ?= Ninja
JOBS      ?= 2
# Warnings are errors in the builds made here, and so in CI.
WERROR    ?= ON

# Debian packages, by the step that needs them. Names carry no compiler
# version, so the lists hold on the next release.
# dpkg-dev's dpkg-buildflags gives the hardening flags the programs are built with.
BUILD_PACKAGES = cmake ninja-build g++ qt6-base-dev nlohmann-json3-dev pybind11-dev python3-dev dpkg-dev
TEST_PACKAGES  = libgtest-dev libgmock-dev desktop-file-utils groff-base dpkg-dev file parallel pkg-config
DEB_PACKAGES   = dpkg-dev file lintian
FUZZ_PACKAGES  = clang libclang-rt-dev
LINT_PACKAGES  = clang-format clang-tidy
BENCH_PACKAGES = libbenchmark-dev zlib1g-dev libdeflate-dev
# Recoll's indexer and query tool, for the desktop-search test.
TEST_PACKAGES += recollcmd
# Debian's checker for the packages; the tools the desktop tests meet: git,
# less, AppStream's validator, and a launcher (gio) on a virtual display
# driven by xdotool, with scrot for the picture.
TEST_PACKAGES += lintian git less appstream libglib2.0-bin xvfb xauth xdotool scrot

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

PREFIX    ?= /usr/local

# $(call cmake-configure,FOLDER[,BUILD TYPE]), then the options.
cmake-configure = cmake -G $(GENERATOR) -S . -B "$(1)" -DCMAKE_BUILD_TYPE=$(or $(2),RelWithDebInfo) \
  -DEXQRV_WERROR=$(WERROR)

.PHONY: all deps deps-build deps-test deps-deb deps-fuzz deps-bench deps-lint configure configure-tests \
        programs build test lint format test-sanitized test-threads fuzz run bench deb install clean \
        windows deps-windows test-windows bench-windows web deps-web test-web

all: build

# $(call install-missing,PACKAGES): apt-get installs those not yet installed.
define install-missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps-build: ; $(call install-missing,$(BUILD_PACKAGES))
deps-test:  ; $(call install-missing,$(TEST_PACKAGES))
deps-deb:   ; $(call install-missing,$(DEB_PACKAGES))
deps-fuzz:  ; $(call install-missing,$(FUZZ_PACKAGES))
deps-lint:  ; $(call install-missing,$(LINT_PACKAGES))
deps-bench: ; $(call install-missing,$(BENCH_PACKAGES))
deps: deps-build deps-test deps-deb deps-fuzz deps-bench deps-lint

# A fresh build folder is configured without the tests, which need more
# packages; `build` and `test` switch them on.
configure: deps-build
	@[ -f "$(BUILD)/build.ninja" ] || $(call cmake-configure,$(BUILD)) -DEXQRV_TESTS=OFF

configure-tests: deps-build deps-test
	@grep -qx 'EXQRV_TESTS:BOOL=ON' "$(BUILD)/CMakeCache.txt" 2>/dev/null || $(call cmake-configure,$(BUILD)) -DEXQRV_TESTS=ON

# The two programs and what they load, nothing else.
programs: configure
	cmake --build "$(BUILD)" -j$(JOBS) --target programs

build: configure-tests
	cmake --build "$(BUILD)" -j$(JOBS)

# Tests and fuzzers run with a temporary folder of their own, removed after
# them whether they pass or not: a process that ends without its exit
# handlers (killed on purpose by a test, or by one of libFuzzer's own exit
# paths) cannot leave its private folder in the system's. It is made in the
# system's temporary folder, not in the clone: the tests hand exqrv absolute
# paths of their scratch folders, and its one-line grammar takes neither a
# space nor more than 259 characters.
# $(call in-private-tmp,NAME,COMMAND)
in-private-tmp = tmp=$$(mktemp -d "$${TMPDIR:-/tmp}/exqrv-$(1)-XXXXXX") && \
	{ TMPDIR="$$tmp" $(2); status=$$?; rm -rf "$$tmp"; exit $$status; }

# The layout and clang-tidy checks, the tests in the normal build, then
# again under AddressSanitizer and UndefinedBehaviorSanitizer with leak
# checking (command line only: the dialog's tests run in the normal build),
# the threaded parts under ThreadSanitizer, a short run of each fuzzer, and
# the Windows tests under Wine.
test: build
	$(MAKE) --no-print-directory lint
	@$(call in-private-tmp,test,ctest --test-dir "$(BUILD)" --output-on-failure -j$(JOBS))
	$(MAKE) --no-print-directory test-sanitized
	$(MAKE) --no-print-directory test-threads
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(CI_FUZZ_SECONDS)
	$(MAKE) --no-print-directory test-windows
	$(MAKE) --no-print-directory test-web

test-sanitized: deps-build deps-test
	@[ -f "$(BUILD)-asan/build.ninja" ] || $(call cmake-configure,$(BUILD)-asan) \
	  -DEXQRV_SANITIZE=ON -DEXQRV_WITH_QT=OFF
	cmake --build "$(BUILD)-asan" -j$(JOBS)
	@$(call in-private-tmp,asan,ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir "$(BUILD)-asan" --output-on-failure -j$(JOBS))

# The layout that .clang-format describes, and clang-tidy's checks for real
# faults (.clang-tidy) over what the normal build compiles; either fails on
# its first finding.
CODE_FILES = find src tools tests bench fuzz python -name '*.cpp' -o -name '*.h'
lint: deps-lint
	@$(CODE_FILES) | xargs clang-format --dry-run -Werror
	@[ -f "$(BUILD)/compile_commands.json" ] || $(MAKE) --no-print-directory build
	@run-clang-tidy -p "$(BUILD)" -j$(JOBS) -quiet "$(CURDIR)/(src|tools)/" >"$(BUILD)/clang-tidy.log" 2>&1; \
	  status=$$?; grep -E "(warning|error):" "$(BUILD)/clang-tidy.log"; \
	  [ $$status -eq 0 ] || { echo "clang-tidy found the above (full output: $(BUILD)/clang-tidy.log)"; exit 1; }

# Lays the code out as .clang-format says.
format: deps-lint
	@$(CODE_FILES) | xargs clang-format -i

# qrvtool convert, the one program with worker threads, and the library,
# whose handles its callers use from threads of their own, under
# ThreadSanitizer: only they and their tests are built in this configuration.
test-threads: deps-build deps-test
	@[ -f "$(BUILD)-tsan/build.ninja" ] || $(call cmake-configure,$(BUILD)-tsan) \
	  -DEXQRV_TSAN=ON -DEXQRV_WITH_QT=OFF
	cmake --build "$(BUILD)-tsan" -j$(JOBS) --target qrvtool qrvtool-stopping exqrv convert_test library_test
	@$(call in-private-tmp,tsan,TSAN_OPTIONS=halt_on_error=1:exitcode=66 \
	  ctest --test-dir "$(BUILD)-tsan" --output-on-failure -j$(JOBS) -R 'QrvtoolAtWork|LibraryCApi')

# Each fuzzer for FUZZ_SECONDS, from seeds made with qrvtool; what it finds
# lands in $(BUILD)-fuzz/findings.
FUZZ_SECONDS    ?= 60
CI_FUZZ_SECONDS ?= 20
FUZZERS = $(patsubst fuzz/%.cpp,%,$(wildcard fuzz/*_fuzzer.cpp))
FUZZ_DIR = $(BUILD)-fuzz

fuzz: deps-build deps-fuzz
	@[ -f "$(FUZZ_DIR)/build.ninja" ] || CC=clang CXX=clang++ $(call cmake-configure,$(FUZZ_DIR)) \
	  -DEXQRV_FUZZ=ON -DEXQRV_TESTS=OFF -DEXQRV_WITH_QT=OFF
	cmake --build "$(FUZZ_DIR)" -j$(JOBS)
	@rm -rf "$(FUZZ_DIR)/seeds" && mkdir -p "$(FUZZ_DIR)/seeds" "$(FUZZ_DIR)/findings"
	@"$(FUZZ_DIR)/qrvtool" make --out "$(FUZZ_DIR)/seeds/plain.QRV" --note 1:a:b samples/river-1.txt samples/river-2.txt
	@"$(FUZZ_DIR)/qrvtool" make --compress --compress-notes --out "$(FUZZ_DIR)/seeds/packed.QRV" --note 2:c:d \
	  samples/letters-1.txt samples/letters-2.txt
	@$(call in-private-tmp,fuzz,$(SHELL) -c 'for f in $(FUZZERS); do \
	  echo "fuzzing $$f for $(FUZZ_SECONDS) s"; \
	  mkdir -p "$(FUZZ_DIR)/corpus/$$f"; \
	  "$(FUZZ_DIR)/$$f" -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=20 \
	    -artifact_prefix="$(FUZZ_DIR)/findings/" -print_final_stats=1 \
	    "$(FUZZ_DIR)/corpus/$$f" "$(FUZZ_DIR)/seeds" 2>&1 | grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)" ; \
	  [ $${PIPESTATUS[0]} -eq 0 ] || exit 1; \
	done')

# Builds the sample documents from the text in samples/, converts them into a
# fresh folder and shows what was written. exqrv runs in the build folder with
# a target that has no separator: such a target is taken from the folder
# exqrv starts in, however long its path.
run: programs
	@rm -rf "$(BUILD)/samples" "$(BUILD)/samples-text" && mkdir -p "$(BUILD)/samples" "$(BUILD)/samples-text"
	@"$(BUILD)/qrvtool" make --out "$(BUILD)/samples/RIVER.QRV" \
	  --note 1:" [Margin] ":"the mill was rebuilt in 1871." \
	  samples/river-1.txt samples/river-2.txt
	@"$(BUILD)/qrvtool" make --compress --compress-notes --out "$(BUILD)/samples/LETTERS.QRV" \
	  --note 2:"Note to page 2: ":"posted on a Tuesday." \
	  samples/letters-1.txt samples/letters-2.txt samples/letters-3.txt
	@"$(BUILD)/qrvtool" make --compress --out "$(BUILD)/samples/RECIPES.QRV" samples/recipes-1.txt
	@cd "$(BUILD)" && ./exqrv 'samples/*.QRV' /samples-text
	@echo "Converted into $(BUILD)/samples-text:"
	@cd "$(BUILD)/samples-text" && for f in *.TXT; do printf '  %-12s %6s bytes\n' "$$f" "$$(stat -c %s "$$f")"; done

# The Windows build: exqrv.exe (command line and dialog) and qrvtool.exe,
# static, cross-built with mingw-w64; its tests run under Wine, the dialog's
# on a virtual X display (xvfb-run, which needs xauth).
WINDOWS_PACKAGES = cmake ninja-build g++-mingw-w64-x86-64 wine64 googletest nlohmann-json3-dev \
                   xvfb xauth
deps-windows: ; $(call install-missing,$(WINDOWS_PACKAGES))

windows: deps-windows
	@[ -f "$(BUILD)-windows/build.ninja" ] || $(call cmake-configure,$(BUILD)-windows) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build "$(BUILD)-windows" -j$(JOBS)

test-windows: windows
	@$(call in-private-tmp,windows,ctest --test-dir "$(BUILD)-windows" --output-on-failure -j$(JOBS))

# The Win32 dialog's benchmark under Wine on a virtual display: a batch of
# 5,000 documents and folders of 5,000 entries, beside the command line and
# the system's listing; its table ends the output.
bench-windows: windows
	cmake --build "$(BUILD)-windows" --target run_win32_dialog_bench

# The page in the browser: the core compiled to WebAssembly with Debian's
# emscripten, under a static page in $(BUILD)/web, and the same module for
# Node as an npm tarball in $(BUILD)-web. npm comes with Node.js where Node
# did not come from Debian, so only a missing npm command asks apt for it.
# emscripten's own tools need Debian's Node modules, which another node
# first on the PATH does not look for.
WEB_PACKAGES = emscripten chromium
WEB_BUILD    = $(BUILD)-web
deps-web:
	$(call install-missing,$(WEB_PACKAGES))
	@command -v npm >/dev/null || { $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq nodejs npm; }

web: export NODE_PATH := /usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
web: deps-web
	@[ -f "$(WEB_BUILD)/build.ninja" ] || emcmake cmake -G $(GENERATOR) -S . -B "$(WEB_BUILD)" \
	  -DCMAKE_BUILD_TYPE=Release -DEXQRV_WERROR=$(WERROR) -DEXQRV_WEB_OUTPUT="$(CURDIR)/$(BUILD)/web"
	cmake --build "$(WEB_BUILD)" -j$(JOBS)
	@rm -f "$(WEB_BUILD)"/exqrv-*.tgz && cd "$(WEB_BUILD)/package" && npm pack --silent --pack-destination .. >/dev/null
	@echo "The page is in $(BUILD)/web; the npm package: $$(ls "$(WEB_BUILD)"/exqrv-*.tgz)"

# The Node module and its tarball against qrvtool, and the page in a
# headless Chromium driven by puppeteer-core (installed once into the build
# tree); the page's screenshot lands in $(BUILD)/screenshots.
PUPPETEER_VERSION = 25.19.0
WEB_TEST_MODULES  = $(WEB_BUILD)/test-modules
test-web: web programs
	@[ -d "$(WEB_TEST_MODULES)/node_modules/puppeteer-core" ] || npm install --silent --no-save --no-audit \
	  --no-fund --prefix "$(WEB_TEST_MODULES)" puppeteer-core@$(PUPPETEER_VERSION)
	@$(call in-private-tmp,web,NODE_PATH="$(CURDIR)/$(WEB_TEST_MODULES)/node_modules" \
	  EXQRV_BIN="$(CURDIR)/$(BUILD)" EXQRV_SAMPLES="$(CURDIR)/samples" EXQRV_PAGE="$(CURDIR)/$(BUILD)/web" \
	  EXQRV_PACKAGE="$(CURDIR)/$(WEB_BUILD)" EXQRV_SCREENSHOTS="$(CURDIR)/$(BUILD)/screenshots" \
	  node --test tests/web/)

# Every benchmark program, then the table of their figures beside their
# yardsticks. With Qt, so that exqrv's start-up is that of the real program.
bench: deps-build deps-bench
	$(call cmake-configure,$(BUILD)-bench,Release) -DEXQRV_BENCH=ON -DEXQRV_TESTS=OFF -DEXQRV_WERROR=OFF
	cmake --build "$(BUILD)-bench" -j$(JOBS)
	@rm -f "$(BUILD)-bench/table.txt"
	for b in "$(BUILD)-bench"/*_bench; do "$$b" --table="$(BUILD)-bench/table.txt" || exit 1; done
	@echo; echo "Each figure beside its yardstick, measured in the same run:"
	@cat "$(BUILD)-bench/table.txt"

# The Debian package, its dependencies read from the libraries the programs
# really use; it lands in $(BUILD)/package, and lintian says what it finds
# (make test fails on its errors and warnings).
deb: deps-deb programs
	cpack --config "$(BUILD)/CPackConfig.cmake" -B "$(BUILD)/package"
	@for deb in "$(BUILD)"/package/*.deb; do dpkg-deb --info "$$deb"; dpkg-deb --contents "$$deb"; done
	@echo "lintian:"; lintian --pedantic --display-info "$(BUILD)"/package/*.deb 2>/dev/null || true

# Honours PREFIX, and DESTDIR for packagers. Installs no Debian packages: a
# missing one stops the configuration with CMake's message.
install:
	@[ -f "$(BUILD)/build.ninja" ] || $(call cmake-configure,$(BUILD)) -DEXQRV_TESTS=OFF
	cmake --build "$(BUILD)" -j$(JOBS) --target programs
	cmake --install "$(BUILD)" --prefix "$(PREFIX)"

clean:
	rm -rf "$(BUILD)" "$(BUILD)-bench" "$(BUILD)-asan" "$(BUILD)-tsan" "$(BUILD)-fuzz" "$(BUILD)-windows" \
	  "$(WEB_BUILD)"
