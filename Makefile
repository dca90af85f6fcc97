# Everyday commands. `make test` and `make run` work on a fresh clone.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_GEN  = -G Ninja

.PHONY: all deps build test asan run bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTOVARN_SANITIZE=ON

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@PYTHONPATH=$(BUILD)/python python3 examples/run_example.py

$(BENCH_BUILD)/build.ninja:
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTOVARN_BENCH=ON

bench: deps $(BENCH_BUILD)/build.ninja
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/*_bench; do [ -x "$$b" ] && "$$b"; done; true
	@PYTHONPATH=$(BENCH_BUILD)/python python3 bench/render_bench.py

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
