# Tarsel: the two set-up commands are `make run` and `make test`.
# Both install the Debian packages the project needs when any is missing.

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PACKAGES   := cmake ninja-build g++ qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev \
              nlohmann-json3-dev fonts-noto-cjk qt6-translations-l10n \
              libgmime-3.0-dev libxcb1-dev libutf8proc-dev python3
SAMPLE     := samples/sample-archive.mbox
SEARCH     ?= 検索

.PHONY: all deps configure build test run bench clean format package test-package release-build

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES) $(EXTRA_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing Debian packages. Run this, then try again:"; \
	    echo "  sudo apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARSEL_WERROR=ON $(CMAKE_ARGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The window on the sample archive; without a display, the command-line front end.
run: build
	@if [ -x $(BUILD)/ui/tarsel ] && { [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; }; then \
	  $(BUILD)/ui/tarsel --mail "$(SAMPLE)" --search "$(SEARCH)"; \
	else \
	  echo "No display available: running the command-line front end tarsel-search instead."; \
	  $(BUILD)/cli/tarsel-search --page 1 "$(SAMPLE)" "$(SEARCH)"; \
	fi

# --- The Debian package --------------------------------------------------------------------
#   make package        build/tarsel_<version>_<arch>.deb from the build above (CPack)
#   make test-package   the package's contents, its metadata and lintian's verdict
#   make release-build  a packager's plain Release build (warnings stay warnings), as CI does

EXTRA_PACKAGES += dpkg-dev file scdoc librsvg2-bin lintian appstream desktop-file-utils

package: build
	@rm -f $(BUILD)/tarsel_*.deb
	@cd $(BUILD) && cpack -G DEB > cpack.log || { cat cpack.log; exit 1; }
	@ls $(BUILD)/tarsel_*.deb

test-package: package
	tests/package/check_package.sh $(BUILD)/tarsel_*.deb

release-build: deps
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS) > /dev/null
	@cmake --build build-release -j $(JOBS)

BENCH_ARCHIVE := bench/data/archive-100mb.mbox
HUGE_MAIL     := bench/data/huge-mail-100mb.mbox
# Today's mix (UTF-8 base64 / quoted-printable, Shift_JIS, EUC-JP, HTML, attachments), written
# by Python's email package, with the list of the mails a reader sees the word in.
MIXED_ARCHIVE := bench/data/mixed-100mb.mbox
MIXED_TRUTH   := bench/data/mixed-100mb.json
# The same mix with the word in three fifths of the mails, for queries of a common word.
COMMON_ARCHIVE := bench/data/mixed-common-100mb.mbox
COMMON_TRUTH   := bench/data/mixed-common-100mb.json

# Whole searches of a generated 100 MB archive against ripgrep and grep counting the same JIS
# bytes, then the in-process timings of each phase, then the body of one 100 MB mail from the
# command line, the mail pane on huge mails, a search in the window (Alt+S to the end box and
# to the first mail), and the decoded search of today's mix.
# BENCH_RUNS alternating runs of each; a missed target fails the target after the other
# timings. ripgrep is needed only here.
BENCH_RUNS ?= 11
bench: EXTRA_PACKAGES += ripgrep
bench: BIG_MBOX := bench/data/mbox-2gb.mbox
bench: build
	@mkdir -p bench/data
	@[ -f $(BENCH_ARCHIVE) ] || $(BUILD)/bench/tarsel-make-archive --seed 1 --size 100000000 $(BENCH_ARCHIVE)
	@[ -f $(MIXED_ARCHIVE) ] || python3 bench/make_mixed_archive.py 100000000 $(MIXED_ARCHIVE) $(MIXED_TRUTH)
	@[ -f $(COMMON_ARCHIVE) ] || \
	  python3 bench/make_mixed_archive.py 100000000 $(COMMON_ARCHIVE) $(COMMON_TRUTH) 議事録 0.6
	@[ -f $(BIG_MBOX) ] || python3 bench/make_big_mbox.py 2000000000 $(MIXED_ARCHIVE) $(BIG_MBOX)
	@status=0; \
	$(BUILD)/bench/tarsel-bench-compare $(BUILD)/cli/tarsel-search $(BENCH_ARCHIVE) 検索 $(BENCH_RUNS) \
	  || status=$$?; \
	TARSEL_BENCH_ARCHIVE=$(BENCH_ARCHIVE) $(BUILD)/bench/tarsel-bench-phases --benchmark_min_time=0.5; \
	$(BUILD)/bench/tarsel-bench-archives $(BUILD)/cli/tarsel-search $(BENCH_ARCHIVE) 検索 5 \
	  || status=$$?; \
	$(BUILD)/bench/tarsel-bench-huge-mail $(BUILD)/cli/tarsel-search $(HUGE_MAIL) 3; \
	[ ! -x $(BUILD)/bench/tarsel-bench-display ] || $(BUILD)/bench/tarsel-bench-display; \
	[ ! -x $(BUILD)/bench/tarsel-bench-window ] || \
	  $(BUILD)/bench/tarsel-bench-window $(BENCH_ARCHIVE) 検索 $(BENCH_RUNS); \
	$(BUILD)/bench/tarsel-bench-decoded $(BUILD)/cli/tarsel-search $(MIXED_ARCHIVE) $(MIXED_TRUTH) \
	  $(BENCH_RUNS) $(COMMON_ARCHIVE) 議事録 蝶番 || status=$$?; \
	$(BUILD)/bench/tarsel-bench-queries $(BUILD)/cli/tarsel-search $(COMMON_ARCHIVE) 議事録 会議 請求 \
	  $(BENCH_RUNS) || status=$$?; \
	$(BUILD)/bench/tarsel-bench-mbox $(BUILD)/cli/tarsel-search $(BIG_MBOX) report 検索 \
	  '検索 date:2025-03-01..2025-03-12' 5 || status=$$?; \
	exit $$status

clean:
	rm -rf build build-*

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# --- Reliability: sanitizer builds and fuzzing ------------------------------------------------
#   make test-asan   the whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   make test-tsan   the engine, command-line and window tests under ThreadSanitizer
#   make fuzz-smoke  every fuzz target for FUZZ_SMOKE_SECONDS each (part of `make test`), from a
#                    fixed seed so that a verdict can be replayed and never rests on luck
#   make fuzz        every fuzz target for FUZZ_SECONDS each from fresh seeds, growing
#                    fuzz/corpus-run/: the run that goes looking for new faults
# Any sanitizer report, and any crash or broken property in a fuzz target, fails the target.

EXTRA_PACKAGES += clang-14 libfuzzer-14-dev libclang-rt-14-dev

FUZZ_TARGETS       := base64 jis header_value mail_lines cp932 header_row search mime shown_texts charset \
                      query
FUZZ_SMOKE_SECONDS ?= 8
FUZZ_SECONDS       ?= 300
TSAN_TEST_DIRS     := tests/engine tests/cli tests/ui

# -O1 keeps the instrumented tests quick; the benchmarks are not worth instrumenting.
SANITIZE_CMAKE := -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTARSEL_WERROR=ON \
                  -DTARSEL_BUILD_UI=ON -DTARSEL_BUILD_BENCH=OFF $(CMAKE_ARGS)
ASAN_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
            UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
TSAN_ENV := TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp"

.PHONY: test-asan test-tsan fuzz-build fuzz-smoke fuzz

test: test-asan test-tsan fuzz-smoke test-package

test-asan: deps
	@cmake -S . -B build-asan $(SANITIZE_CMAKE) -DTARSEL_SANITIZE=address > /dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	@cmake -S . -B build-tsan $(SANITIZE_CMAKE) -DTARSEL_SANITIZE=thread > /dev/null
	@cmake --build build-tsan -j $(JOBS)
	@for dir in $(TSAN_TEST_DIRS); do \
	  if [ -d build-tsan/$$dir ]; then \
	    echo "ThreadSanitizer: $$dir"; \
	    (cd build-tsan/$$dir && $(TSAN_ENV) ctest --output-on-failure -j $(JOBS)) || exit 1; \
	  fi; \
	done

fuzz-build: deps
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTARSEL_WERROR=ON \
	  -DTARSEL_SANITIZE=address -DTARSEL_BUILD_FUZZ=ON -DTARSEL_BUILD_UI=OFF \
	  -DTARSEL_BUILD_BENCH=OFF > /dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_targets

# $(call run-fuzzers,seconds[,flags]): each target on its seeds plus what earlier runs found; a crash
# leaves the input in build-fuzz/artifacts/ and shows the end of the target's log.
define run-fuzzers
	@mkdir -p build-fuzz/artifacts
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz/corpus-run/$${t}_fuzzer; \
	  build-fuzz/fuzz/$${t}_fuzzer -max_total_time=$(1) -timeout=20 -print_final_stats=1 $(2) \
	    -dict=fuzz/mail.dict -artifact_prefix=build-fuzz/artifacts/$${t}- \
	    fuzz/corpus-run/$${t}_fuzzer fuzz/corpus/$${t}_fuzzer > build-fuzz/$${t}_fuzzer.log 2>&1 \
	    || { tail -n 40 build-fuzz/$${t}_fuzzer.log; echo "fuzz $$t: FAILED"; exit 1; }; \
	  echo "fuzz $$t: $$(sed -n 's/^stat::number_of_executed_units: *//p' \
	    build-fuzz/$${t}_fuzzer.log) inputs in $(1) s, no failure"; \
	done
endef

fuzz-smoke: fuzz-build
	$(call run-fuzzers,$(FUZZ_SMOKE_SECONDS),-seed=1)

fuzz: fuzz-build
	$(call run-fuzzers,$(FUZZ_SECONDS))
