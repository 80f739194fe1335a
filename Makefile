# Two commands for a new user:
#   make demo   builds the program and runs the example job end to end
#   make test   builds the program and runs every test
#   make bench  builds the program and runs every benchmark (needs Google
#               Benchmark); BENCH_FLAGS are passed to each, for example
#               BENCH_FLAGS=--benchmark_min_time=0.01 for a quick pass
#   make sanitize  builds with the address and undefined-behaviour checkers
#                  in build-sanitize and runs every test there
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build test sanitize demo bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Any invalid memory access, undefined behaviour or (with SANITIZE_LEAKS=1)
# leaked memory ends the process that meets it (a test program, or the
# program run by an end-to-end test) with exit code 86, which fails the test.
# SANITIZE_LEAKS=0 where the leak checker cannot run (under ptrace).
SANITIZE_LEAKS ?= 1
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
SANITIZE_ENV = ASAN_OPTIONS=exitcode=86:detect_leaks=$(SANITIZE_LEAKS):abort_on_error=0 \
  UBSAN_OPTIONS=exitcode=86:print_stacktrace=1:halt_on_error=1

sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j$(JOBS)

# The example job finds the scattering factors through the logical name crysdir.
demo: build
	cd examples && rm -f demo.bin && CRYSDIR=$(CURDIR)/data/ ../$(BUILD)/zanek demo.cmd demo.lis; \
	  status=$$?; cat demo.lis; exit $$status

# Every benchmark runs to its end; the first that fails fails the target.
BENCH_FLAGS ?=
bench: build
	@found=0; for b in $(BUILD)/bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; found=1; \
	  echo "== $$b"; "$$b" $(BENCH_FLAGS) || { echo "$$b failed" >&2; exit 1; }; \
	done; \
	if [ $$found = 0 ]; then \
	  echo "no benchmark built: Google Benchmark was not found (Debian: libbenchmark-dev)" >&2; exit 1; \
	fi

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
