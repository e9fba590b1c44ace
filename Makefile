# Thin front end over CMake. `make` builds the release engine and its tools,
# `make run` starts the engine, `make test` builds and runs every test.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all release native run test test-asan test-tsan test-sanitizers fuzz clean

all: release

build/release/CMakeCache.txt:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

release: build/release/CMakeCache.txt
	cmake --build build/release -j $(JOBS)

# The release build for this machine's processor only; not for engines handed to others.
build/native/CMakeCache.txt:
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release -DBRINZ_NATIVE=ON $(CMAKE_FLAGS)

native: build/native/CMakeCache.txt
	cmake --build build/native -j $(JOBS)

run: release
	./build/release/brinz

test: release
	cmake --build build/release -j $(JOBS) --target brinz_all_tests
	cd build/release && ctest --output-on-failure -j $(JOBS)

build/asan/CMakeCache.txt:
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINZ_ASAN=ON $(CMAKE_FLAGS)

build/tsan/CMakeCache.txt:
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINZ_TSAN=ON $(CMAKE_FLAGS)

test-asan: build/asan/CMakeCache.txt
	cmake --build build/asan -j $(JOBS) --target brinz_all_tests
	cd build/asan && ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer runs the suites whose code shares data between threads (the evaluation
# suite holds the shared evaluation cache's race test); the single-threaded board and
# option suites are covered by test-asan.
TSAN_LABELS ?= platform|eval|search|smp|uci|tablebases

test-tsan: build/tsan/CMakeCache.txt
	cmake --build build/tsan -j $(JOBS) --target brinz_all_tests
	cd build/tsan && ctest --output-on-failure -j $(JOBS) -L '$(TSAN_LABELS)'

test-sanitizers: test-asan test-tsan

# libFuzzer targets (fuzz/), built with clang under the address and undefined-behaviour
# sanitizers, each run FUZZ_SECONDS from its seeds in fuzz/corpus/<target> (with the words
# of fuzz/<target>.dict, where there is one); what it finds
# new goes to build/fuzz/corpus/<target>, a crashing input to build/fuzz/artifacts/.
FUZZ_SECONDS ?= 30
FUZZ_TARGETS ?= command_loop fen go_line parameter_file compressed_table table_registry
FUZZ_FLAGS ?=

build/fuzz/CMakeCache.txt:
	cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DBRINZ_FUZZ=ON \
	    -DBRINZ_TESTS=OFF $(CMAKE_FLAGS)

fuzz: build/fuzz/CMakeCache.txt
	cmake --build build/fuzz -j $(JOBS) --target brinz_fuzz
	@mkdir -p build/fuzz/artifacts build/fuzz/logs
	@for t in $(FUZZ_TARGETS); do \
	    mkdir -p build/fuzz/corpus/$$t; \
	    dict=; [ -f fuzz/$$t.dict ] && dict=-dict=fuzz/$$t.dict; \
	    if build/fuzz/$${t}_fuzz build/fuzz/corpus/$$t fuzz/corpus/$$t -max_total_time=$(FUZZ_SECONDS) \
	        -timeout=30 -close_fd_mask=1 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/$$t- \
	        $$dict $(FUZZ_FLAGS) > build/fuzz/logs/$$t.log 2>&1; then \
	        echo "fuzz $$t: $$(grep -o 'stat::number_of_executed_units: *[0-9]*' build/fuzz/logs/$$t.log \
	            | grep -o '[0-9]*$$') runs, no fault"; \
	    else \
	        tail -n 60 build/fuzz/logs/$$t.log; echo "fuzz $$t: FAILED (build/fuzz/logs/$$t.log)"; exit 1; \
	    fi; \
	done

clean:
	rm -rf build
