# The two commands: `make demo` runs the product, `make test` runs every test.
.PHONY: demo test deps build build-asan clean

deps:
	@scripts/install-deps --check 2>/dev/null || scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

test: build build-asan
	ctest --preset default
	ctest --preset asan

demo: build
	scripts/demo build/default

clean:
	rm -rf build
