# ccdownload: the two commands of the README, and a few for developers.
#   make run    install what is missing, build, start the controller simulator and the tool
#   make test   install what is missing, build, run every test
#   make bench  build and print the benchmark figures

BUILD   ?= build
JOBS    ?= 2
CMAKE_FLAGS ?=
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all setup build run test bench clean

all: build

setup:
	@scripts/setup.sh

build: setup
	@if [ ! -f $(BUILD)/CMakeCache.txt ]; then cmake -S . -B $(BUILD) $(GENERATOR) $(CMAKE_FLAGS); fi
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

bench: build
	@scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-*
