# ccdownload: the two commands of the README, and a few for developers.
#   make run    install what is missing, build, start the controller simulator and the tool
#   make test   install what is missing, build, run every test: a normal build (and its package), an
#               AddressSanitizer + UndefinedBehaviorSanitizer build, a ThreadSanitizer
#               build, and a bounded run of each fuzz target
#   make check  the normal build's tests without the soak runs (quick, for development)
#   make bench  build and print the benchmark figures
#   make package  build the Debian package (CPack) and check its file list
#   make test-drivers  the serial library on real kernel drivers, in a QEMU
#               guest (scripts/rig.sh); make test runs it last
#   make windows  cross-build util, comm, the protocol library, ccdl.exe and
#               their tests for Windows (mingw-w64)
#   make test-windows  run the Windows build's tests under Wine (scripts/test-windows.sh)
# The sanitizer runs shrink the soak tests' counts (CCDL_SOAK_SCALE), keeping
# their shape.

BUILD   ?= build
WINBUILD ?= build-windows
JOBS    ?= 2
FUZZ_SECONDS ?= 30
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
# The driver tests run in their own guest, through test-drivers only.
CTEST   := ctest --output-on-failure -j $(JOBS) -LE drivers

.PHONY: all setup build check soak test test-asan test-tsan fuzz test-drivers windows test-windows run bench package clean

all: build

setup:
	@scripts/setup.sh

# configure(folder, extra cmake flags)
define configure
	@if [ ! -f $(1)/CMakeCache.txt ]; then cmake -S . -B $(1) $(GENERATOR) $(2); fi
endef

build: setup
	$(call configure,$(BUILD),)
	cmake --build $(BUILD) -j $(JOBS)

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'soak|drivers'

soak: build
	cd $(BUILD) && $(CTEST) -L soak

test: check soak package test-asan test-tsan fuzz test-windows test-drivers

test-asan: setup
	$(call configure,build-asan,-DCCDL_SANITIZE=address)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && CCDL_SOAK_SCALE=4 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(CTEST)

test-tsan: setup
	$(call configure,build-tsan,-DCCDL_SANITIZE=thread)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && CCDL_SOAK_SCALE=4 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	  $(CTEST)

fuzz: setup
	$(call configure,build-fuzz,-DCCDL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang)
	cmake --build build-fuzz -j $(JOBS) --target fuzz_targets
	scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

test-drivers: setup
	$(call configure,$(BUILD),)
	cmake --build $(BUILD) -j $(JOBS) --target drivers_tests ccsim ccdl
	scripts/test-drivers.sh $(BUILD)

windows: setup
	$(call configure,$(WINBUILD),-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
	cmake --build $(WINBUILD) -j $(JOBS)

test-windows: windows
	$(call configure,$(BUILD),)
	cmake --build $(BUILD) -j $(JOBS) --target ccsim
	scripts/test-windows.sh $(BUILD) $(WINBUILD)

run: build
	@scripts/run.sh $(BUILD)

package: setup windows
	$(call configure,$(BUILD),)
	@scripts/package.sh $(BUILD)
	@scripts/package-windows.sh $(WINBUILD)

bench: build
	@scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-drivers $(WINBUILD)
