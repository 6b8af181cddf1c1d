# Thin wrapper over CMake so that the common jobs are one word each.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: deps build test test-asan bench demo clean fuzz

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILTOR_SANITIZE=ON -DQUILTOR_BUILD_GUI=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILTOR_BUILD_BENCH=ON -DQUILTOR_BUILD_TESTS=OFF $(CMAKE_ARGS)
	cmake --build build-bench -j $(JOBS)
	@echo "benchmarks are in build-bench/bench/"

demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench out

# libFuzzer targets, built with clang into build-fuzz/tests/fuzz/.
fuzz: deps
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILTOR_FUZZ=ON -DQUILTOR_BUILD_TESTS=OFF -DQUILTOR_BUILD_GUI=OFF $(CMAKE_ARGS)
	cmake --build build-fuzz -j $(JOBS)
