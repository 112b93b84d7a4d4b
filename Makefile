# Front doors. Each target first installs missing Debian packages, then builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build demo test test-tsan bench clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The job tests under ThreadSanitizer (a build of their own in build-tsan/):
# workers, cancellation, the owner's swap and korvex-cli's signal handling.
TSAN_BUILD ?= build-tsan
TSAN_TESTS ?= JobRunner.*:SimulationJob.*:CliSignals.*:PdnCommands.*
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja $(CMAKE_FLAGS) -DKORVEX_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target korvex_cli_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		./bin/korvex_cli_tests --gtest_filter='$(TSAN_TESTS)'

bench: build
	./scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(TSAN_BUILD) demo-out
