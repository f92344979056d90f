# Thin front door: installs what is missing, configures build/, builds, then runs or tests.
BUILD ?= build
JOBS ?= $(shell nproc)
ARGS ?=

.PHONY: all deps configure build test run data bench asan tsan format clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory -s

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@cd data && ../$(BUILD)/roadsim $(ARGS)

data: build
	@cmake --build $(BUILD) --target data

bench: build
	@$(BUILD)/bench/frame_bench --benchmark_min_time=0.2
	@bench/program-fps.sh $(BUILD)

# Sanitizer builds of the whole suite, each in a tree of its own.
asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DROADSIM_SANITIZE=address,undefined >/dev/null
	@cmake --build build-asan -j $(JOBS) -- --no-print-directory -s
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DROADSIM_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS) -- --no-print-directory -s
	@cd build-tsan && ctest --output-on-failure -j $(JOBS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) build-asan build-tsan
