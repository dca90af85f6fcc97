# Everyday commands. `make test` and `make run` work on a fresh clone.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME  ?= 60
JOBS       ?= $(shell nproc)
CMAKE_GEN  = -G Ninja

.PHONY: all deps build test asan run bench fuzz clean

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

# Builds the libFuzzer targets with clang and runs each for FUZZ_TIME seconds,
# starting from the seeds in fuzz/seeds; found inputs stay in $(FUZZ_BUILD)/corpus-*.
$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVARN_FUZZ=ON

fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target parse_fuzz render_fuzz
	@for t in parse_fuzz render_fuzz; do \
	  mkdir -p $(FUZZ_BUILD)/corpus-$$t && \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/$$t -max_total_time=$(FUZZ_TIME) -timeout=10 -rss_limit_mb=2048 -max_len=2048 -dict=fuzz/tovarn.dict \
	    -artifact_prefix=$(FUZZ_BUILD)/$$t- $(FUZZ_BUILD)/corpus-$$t fuzz/seeds || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
