# Front doors. Each target first installs missing Debian packages, then builds.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build demo gui test bench clean

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

# The desktop on the example board.
gui: build
	$(BUILD)/bin/korvex $(CURDIR)/examples/demo.sav

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	./scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) demo-out
