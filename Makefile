# The two commands: `make demo` runs the product, `make test` runs every test.
# `make install PREFIX=/opt/vexa` installs a stripped release build.
# `make fuzz` runs each fuzz target for FUZZ_SECONDS (default 180); FUZZ_TARGETS="tpml frame" some.
.PHONY: demo test deps build build-asan build-windows windows-package install fuzz clean

PREFIX ?= /usr/local
FUZZ_SECONDS ?= 180
FUZZ_TARGETS ?=

deps:
	@scripts/install-deps --check 2>/dev/null || scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

# The Windows module for 32- and 64-bit hosts (mingw-w64), checked under Wine.
build-windows: deps
	cmake --preset windows-x86
	cmake --build --preset windows-x86
	cmake --preset windows-x64
	cmake --build --preset windows-x64

# The zips for Windows users (made by every Windows build): DLL, type library, README, samples.
windows-package: build-windows
	@ls -l build/windows-x86/VexaComponent-*-windows-x86.zip build/windows-x64/VexaComponent-*-windows-x64.zip

test: build build-asan build-windows
	ctest --preset default
	ctest --preset asan
	ctest --preset windows-x86
	ctest --preset windows-x64

# Its own build (build/release): the plain one carries debug information, tests and benchmarks.
install: deps
	cmake --preset release
	cmake --build --preset release
	cmake --install build/release --prefix $(PREFIX) --strip

# The fuzz preset (clang, libFuzzer) and a run of each target; fuzz/README.md says more.
fuzz: deps
	FUZZ_SECONDS="$(FUZZ_SECONDS)" FUZZ_TARGETS="$(FUZZ_TARGETS)" fuzz/run

# Ends with a Windows part (VBScript under Wine) when the Windows build is there.
demo: build
	scripts/demo build/default

clean:
	rm -rf build
