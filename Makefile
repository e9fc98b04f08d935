# Tarsel: the two set-up commands are `make run` and `make test`.
# Both install the Debian packages the project needs when any is missing.

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PACKAGES   := cmake ninja-build g++ qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev \
              nlohmann-json3-dev fonts-noto-cjk
SAMPLE     := samples/sample-archive.mbox
SEARCH     ?= 検索

.PHONY: all deps configure build test run bench clean format

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
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) > /dev/null

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

BENCH_ARCHIVE := bench/data/archive-100mb.mbox

# A whole search of a generated 100 MB archive against grep -c -F on the same JIS bytes,
# then the in-process timings of each phase.
bench: build
	@mkdir -p bench/data
	@[ -f $(BENCH_ARCHIVE) ] || $(BUILD)/bench/tarsel-make-archive --seed 1 --size 100000000 $(BENCH_ARCHIVE)
	@$(BUILD)/bench/tarsel-bench-compare $(BUILD)/cli/tarsel-search $(BENCH_ARCHIVE) 検索 5
	@TARSEL_BENCH_ARCHIVE=$(BENCH_ARCHIVE) $(BUILD)/bench/tarsel-bench-phases --benchmark_min_time=0.5

clean:
	rm -rf build build-*

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
