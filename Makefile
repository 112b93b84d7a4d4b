# Front doors. Each target first installs missing Debian packages, then builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The desktop is built (and tested by `make test`) unless GUI=OFF.
GUI ?= ON

.PHONY: deps configure build demo gui test test-tsan test-asan fuzz bench clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) -DKORVEX_GUI=$(GUI)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

# The desktop on the example board.
gui: GUI = ON
gui: configure
	cmake --build $(BUILD) -j $(JOBS) --target korvex
	$(BUILD)/bin/korvex $(CURDIR)/examples/demo.sav

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The job tests under ThreadSanitizer (a build of their own in build-tsan/):
# workers, cancellation, the owner's swap and korvex-cli's signal handling; the mesh and the
# result painting on two cores (large boards) and the kept large blocks; and the simulator's
# threads beside the main one (lines taken apart ahead, the duplicate-name check, the RAW header).
TSAN_BUILD ?= build-tsan
TSAN_TESTS ?= JobRunner.*:SimulationJob.*:CliSignals.*:PdnCommands.*
TSAN_CORE_TESTS ?= MeshGeneration.LargeBoard*:MeshResults.LargeBoards*:LargeBlocks.*:ElectricalNetlist.LargeMesh*
TSAN_SIM_TESTS ?= ReadAhead.*:DuplicateElements.*:*GoodDeck*:*BadDeck*:RawLayout.*
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja $(CMAKE_FLAGS) -DKORVEX_TSAN=ON -DKORVEX_GUI=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target korvex_cli_tests korvex_core_tests korvex_sim_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		./bin/korvex_cli_tests --gtest_filter='$(TSAN_TESTS)' && \
		TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		./bin/korvex_core_tests --gtest_filter='$(TSAN_CORE_TESTS)' && \
		TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
		./bin/korvex_sim_tests --gtest_filter='$(TSAN_SIM_TESTS)'

# The test suite built with clang's address and undefined-behaviour sanitizers; the first finding
# ends the run. ASAN_TESTS_EXCLUDE leaves out the slowest end-to-end tests and the multigrid
# tests, whose solver module is loaded with deep binding, which the sanitizer runtime refuses
# (ctest -E regex).
# The same build folder holds the libFuzzer harnesses (fuzz/), so `make fuzz` after
# `make test-asan` compiles only the harnesses.
ASAN_BUILD ?= build-asan
ASAN_TESTS_EXCLUDE ?= EndToEnd|Ngspice|MultigridSolver
ASAN_CONFIGURE = CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja $(CMAKE_FLAGS) \
	-DKORVEX_FUZZ=ON -DKORVEX_GUI=OFF
test-asan: deps
	$(ASAN_CONFIGURE)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 900 -E '$(ASAN_TESTS_EXCLUDE)'

# libFuzzer harnesses: each runs FUZZ_SECONDS on its corpus in $(ASAN_BUILD)/corpus,
# seeded from the tests and examples. FUZZ_TARGETS picks some of them.
FUZZ_SECONDS ?= 30
FUZZ_TARGETS ?=
fuzz: deps
	$(ASAN_CONFIGURE)
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target korvex-sim $(if $(FUZZ_TARGETS),$(FUZZ_TARGETS),fuzz_all)
	./scripts/fuzz.sh $(ASAN_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target bench_all
	./scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(TSAN_BUILD) $(ASAN_BUILD) demo-out
