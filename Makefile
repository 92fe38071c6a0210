# Quick start: `make demo` runs the main job, `make check` runs every test.
# `make check-sanitize` runs the whole suite under AddressSanitizer and UBSan; `make bench` runs
# the benchmarks.
.PHONY: deps build demo check check-sanitize bench clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

check: build
	@ctest --preset default

check-sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize
	@ctest --preset sanitize

demo: build
	@scripts/demo.sh build/bin

bench: build
	@scripts/bench.sh build/bin

clean:
	rm -rf build build-sanitize
