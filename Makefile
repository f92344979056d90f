# Thin front door: each target installs what it needs and no more, configures build/, builds,
# then runs or tests.
BUILD ?= build
JOBS ?= $(shell nproc)
ARGS ?=
# A tree configured before (build-asan, say) keeps its own build type.
CONFIGURE = cmake -S . -B $(BUILD) \
	$(if $(wildcard $(BUILD)/CMakeCache.txt),,-DCMAKE_BUILD_TYPE=RelWithDebInfo) >/dev/null
COMPILE = cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory -s
comma := ,

# Runs the suite of the built tree $(1); a tree that left a suite out fails, saying why.
define run_suite
	@if [ -s $(1)/missing-suites.txt ]; then \
		echo "make: the suite is incomplete, $$(head -1 $(1)/missing-suites.txt)" >&2; exit 1; fi
	@cd $(1) && ctest --no-tests=error --output-on-failure -j $(JOBS)
endef

# Configures and builds a tree of its own: $(1) the folder, $(2) CMake settings, $(3) a target.
define build_tree
	@cmake -S . -B $(1) $(2) >/dev/null
	@cmake --build $(1) -j $(JOBS) $(if $(3),--target $(3)) -- --no-print-directory -s
endef

.PHONY: all build test-build test test-compat run data bench fuzz soak soak-short asan tsan screenshots format clean \
	learn learn-smoke rl docs

all: build

build:
	@tools/install-deps.sh run
	@$(CONFIGURE)
	@$(COMPILE)

# Configured again after the test tools arrive, so that the suite is found.
test-build:
	@tools/install-deps.sh test
	@$(CONFIGURE)
	@$(COMPILE)

test: test-build
	$(call run_suite,$(BUILD))

# The suite again with the SDL 1.2 compatibility layer over SDL2 in front of the system's SDL.
test-compat: test-build
	@tools/install-deps.sh compat
	@tests/compat/run-suite.sh $(BUILD)

run: build
	@cd data && ../$(BUILD)/roadsim $(ARGS)

# The learned driver made again from nothing (examples/learn/model.pt): the teacher's drives,
# training, its own drives, the table on courses it never saw, all in one process through the
# Python module (the autopilot's figures from roadsim-lab), with each stage's time. About
# seventeen minutes on two cores.
learn: build
	@tools/install-deps.sh learn
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) --target roadsim_python -- --no-print-directory -s
	@PYTHONPATH=$(BUILD)/python ROADSIM_LAB=$(BUILD)/roadsim-lab nice /usr/bin/python3 \
		examples/learn/learn.py

# The recipe in small, for CI: proof that the pieces fit, not the figures; drive.py through the
# lab must ask what the network asks in process, from the same frames.
learn-smoke: build
	@if tools/install-deps.sh learn; then \
		$(CONFIGURE) && cmake --build $(BUILD) -j $(JOBS) --target roadsim_python -- --no-print-directory -s && \
		PYTHONPATH=$(BUILD)/python ROADSIM_LAB=$(BUILD)/roadsim-lab nice /usr/bin/python3 \
			examples/learn/learn.py --smoke --model $(BUILD)/learn-smoke.pt; \
	else echo "make: learn-smoke skipped: python3-torch cannot be installed here" >&2; fi

# The driver trained by reinforcement learning made again (examples/rl/policy.npz): PPO on courses
# made on the spot, then the board on the shipped course and the gallery, with each stage's time.
# At most fifteen minutes on two cores.
rl: build
	@tools/install-deps.sh learn
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) --target roadsim_python -- --no-print-directory -s
	@gymnasium=$$(tools/fetch-python-debs.sh $(BUILD)/python-deps testing python3-gymnasium) && \
		PYTHONPATH=$(BUILD)/python:$$gymnasium ROADSIM_LAB=$(BUILD)/roadsim-lab nice \
		/usr/bin/python3 examples/rl/ppo.py

# The Python module's reference in HTML, read by Sphinx from the built module's docstrings and hints,
# with Gymnasium for the environments; every page read again, as Sphinx notices no change of the
# extension or its stub.
docs:
	@tools/install-deps.sh run
	@tools/install-deps.sh docs
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) --target roadsim_python -- --no-print-directory -s
	@gymnasium=$$(tools/fetch-python-debs.sh $(BUILD)/python-deps testing python3-gymnasium) && \
		PYTHONPATH=$(BUILD)/python:$$gymnasium /usr/bin/python3 -m sphinx -W --keep-going -E -q \
			-b html docs/python $(BUILD)/docs/python
	@echo "make: the reference is $(abspath $(BUILD))/docs/python/index.html"

# A .deb of the build through CPack, its dependencies read off the libraries it links.
.PHONY: package
# The package's own tools come first: the build that follows finds pybind11 and builds the module.
package:
	@tools/install-deps.sh run
	@tools/install-deps.sh package
	@$(CONFIGURE)
	@$(COMPILE)
	@cd $(BUILD) && cpack -G DEB

# The Windows zip, cross-compiled with MinGW-w64 against Windows libraries built once from Debian's
# sources, and the same checks under Wine on Xvfb.
.PHONY: windows test-windows
# A tree configured against libraries of other versions starts afresh.
windows:
	@tools/install-deps.sh windows
	@prefix=$$(packaging/windows/build-libraries.sh) && \
	{ grep -qx "ROADSIM_WINDOWS_PREFIX:PATH=$$prefix" build-windows/CMakeCache.txt 2>/dev/null || \
		rm -rf build-windows; } && \
	cmake -S . -B build-windows -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
		-DCMAKE_TOOLCHAIN_FILE=packaging/windows/mingw-w64.cmake \
		-DROADSIM_WINDOWS_PREFIX=$$prefix >/dev/null
	@cmake --build build-windows -j $(JOBS) -- --no-print-directory -s
	@cd build-windows && cpack >/dev/null && ls -1 $$PWD/roadsim-*-win64.zip

# Only the two programs of the Linux build, to compare with; of the Windows build, the suites that
# need no display, which run under Wine there too.
test-windows: windows
	@tools/install-deps.sh run
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) --target roadsim roadsim-lab -- --no-print-directory -s
	@cmake --build build-windows -j $(JOBS) --target gfx_tests sim_tests lab_tests -- \
		--no-print-directory -s
	@tests/windows/wine-test.sh $(BUILD) build-windows

data: build
	@cmake --build $(BUILD) --target data

bench:
	@tools/install-deps.sh bench
	@$(CONFIGURE)
	@$(COMPILE)
	@$(BUILD)/bench/frame_bench --benchmark_min_time=0.2
	@bench/program-fps.sh $(BUILD)
	@tools/fetch-python-debs.sh $(BUILD)/python-deps testing python3-gymnasium >/dev/null
	@PYTHONPATH=$(BUILD)/python:$(BUILD)/python-deps/root/usr/lib/python3/dist-packages \
		/usr/bin/python3 bench/python-steps.py $(BUILD)

# The course reader's fuzzer, for FUZZ_SECONDS (a minute by default), from the seed corpus.
FUZZ_SECONDS ?= 60
fuzz:
	@tools/install-deps.sh fuzz
	$(call build_tree,build-fuzz,-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DROADSIM_FUZZ=ON -DBUILD_TESTING=OFF -DROADSIM_SANITIZE=address$(comma)undefined,course_fuzzer)
	@mkdir -p build-fuzz/corpus
	@build-fuzz/tests/fuzz/course_fuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
		-timeout=10 -print_final_stats=1 build-fuzz/corpus tests/fuzz/corpus 2>&1 | tail -12

# The program under Xvfb for minutes: Enter/Escape cycles, random keys, random closes, hostile data.
soak: test-build
	@tests/soak/soak.sh $(BUILD)

soak-short: test-build
	@tests/soak/soak.sh $(BUILD) short

# Sanitizer builds of the whole suite, each in a tree of its own.
sanitized = $(call build_tree,build-$(1),-DCMAKE_BUILD_TYPE=Debug -DROADSIM_SANITIZE=$(2))
asan:
	@tools/install-deps.sh test
	$(call sanitized,asan,address$(comma)undefined)
	$(call run_suite,build-asan)

tsan:
	@tools/install-deps.sh test
	$(call sanitized,tsan,thread)
	$(call run_suite,build-tsan)

# The README's two pictures, taken by the end-to-end suite from the real program with data/.
screenshots: test-build
	@rm -f $(BUILD)/screenshots/control.png $(BUILD)/screenshots/drive.png
	@cd $(BUILD) && ctest -R '^ReadmeScreenshots\.' --output-on-failure
	@mkdir -p docs && cp $(BUILD)/screenshots/control.png $(BUILD)/screenshots/drive.png docs/
	@$(BUILD)/roadsim-lab data/courses.txt --map $(BUILD)/screenshots/map.bmp >/dev/null
	@convert $(BUILD)/screenshots/map.bmp docs/map.png
	@cmake --build $(BUILD) --target gallery-sheet >/dev/null

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) build-asan build-tsan build-fuzz
