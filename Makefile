# Front door: `make` builds both targets, `make test` builds and runs every
# test (sanitizer and fuzz builds, the Windows DLL under Wine included), `make
# demo` shows the plug-in at work, `make package` writes the release zip into
# dist/, `make fuzz` fuzzes each target for FUZZ_SECONDS.
BUILD      := build
LINUX_DIR  := $(BUILD)/linux-i386
WIN_DIR    := $(BUILD)/windows
ASAN_DIR   := $(BUILD)/linux-i386-asan
FUZZ_DIR   := $(BUILD)/fuzz
FUZZ_SECONDS ?= 600
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps linux windows asan fuzz-build fuzz package test test-fast test-windows test-realhost \
        bench bench-realhost demo format clean

all: linux windows

deps:
	@scripts/install-deps.sh

linux: deps
	cmake -S . -B $(LINUX_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake \
	    -DKEP_DIST_DIR=$(CURDIR)/dist/linux-i386
	cmake --build $(LINUX_DIR) -j $(JOBS)

windows: deps
	cmake -S . -B $(WIN_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DKEP_DIST_DIR=$(CURDIR)/dist/windows
	cmake --build $(WIN_DIR) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	    -DKEP_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)

fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKEP_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS on one core; findings go to $(FUZZ_DIR)/findings.
fuzz: fuzz-build
	@scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

package: windows
	cmake --build $(WIN_DIR) --target kep_package

test: all asan fuzz-build package
	KEP_WINDOWS_DLL=$(CURDIR)/dist/windows/KEPImport.dll \
	    ctest --test-dir $(LINUX_DIR) --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 KEP_WINDOWS_DLL=$(CURDIR)/dist/windows/KEPImport.dll \
	    ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)
	ctest --test-dir $(FUZZ_DIR) --output-on-failure -j $(JOBS)
	scripts/run-windows-tests.sh
	scripts/run-realhost-tests.py

# The outside-host program and the command lists against the Windows DLL, and
# kep.exe against the Linux kep, under Wine.
test-windows: linux windows
	scripts/run-windows-tests.sh

# The release zip installed into a copy of DarkBASIC Professional (DBPRO_DIR,
# else ../shared/dbpro-host; skipped when there is none): the examples, every
# command and the lightmaps in the real compiler and runtime, under Wine.
test-realhost: linux windows package
	scripts/run-realhost-tests.py

test-fast: linux windows package
	KEP_WINDOWS_DLL=$(CURDIR)/dist/windows/KEPImport.dll \
	    ctest --test-dir $(LINUX_DIR) --output-on-failure -j $(JOBS)

demo: linux
	@scripts/demo.sh

# Load times and heap of the Linux plug-in for maps of four shapes at three
# sizes (a table; nothing is asserted). RUNS=n takes the best of n loads.
bench: linux
	LD_LIBRARY_PATH=$(CURDIR)/$(LINUX_DIR)/simhost \
	    nice $(LINUX_DIR)/tools/bench/kep_bench $(CURDIR)/dist/linux-i386/KEPImport.so $(RUNS)

# LOAD KEP timed with the host's timer() in the real runtime for maps of five
# shapes, beside the stand-in host's time (a table; nothing is asserted).
# LIMIT=n gives up a load after n seconds.
bench-realhost: linux windows package
	scripts/run-realhost-tests.py --bench $(if $(LIMIT),--limit $(LIMIT))

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' '*.inl')

clean:
	rm -rf $(BUILD) dist
