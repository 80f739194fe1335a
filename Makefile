# Two commands for a new user:
#   make demo   builds the program and runs the example job end to end
#   make test   builds the program and runs every test
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build test demo bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The example job finds the scattering factors through the logical name crysdir.
demo: build
	cd examples && rm -f demo.bin && CRYSDIR=$(CURDIR)/data/ ../$(BUILD)/zanek demo.cmd demo.lis; \
	  status=$$?; cat demo.lis; exit $$status

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD)
