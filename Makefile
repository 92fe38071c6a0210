# Quick start: `make demo` runs the main job, `make check` runs every test.
# `make check-sanitize` runs the whole suite under AddressSanitizer and UBSan; `make bench` runs
# the benchmarks. `make demo-pg` runs the demo with the lexicon on a local PostgreSQL server
# (scripts/load-lexicon-pg.sh starts it and leaves it running).
# `make fuzz` builds the fuzz targets with clang and libFuzzer and runs each for FUZZ_SECONDS
# (default 60); see docs/fuzzing.md.
.PHONY: deps build demo demo-pg check check-sanitize bench fuzz clean

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

demo-pg: build
	@scripts/load-lexicon-pg.sh
	@mkdir -p out
	@build/bin/sectionhost --map examples/section.geojson --script examples/build-stratum.txt \
	  --plugin build/bin/libkpSect03StratumSel.so --config-dir out/postgres \
	  --out out/section-with-stratum-pg.geojson --svg out/section-with-stratum-pg.svg

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/fuzz.sh build-fuzz/bin

bench: build
	@scripts/bench.sh build/bin

clean:
	rm -rf build build-sanitize build-fuzz
