# Quick start: `make demo` runs the main job, `make check` runs every test.
# `make check-sanitize` runs the whole suite under AddressSanitizer and UBSan; `make bench` runs
# the benchmarks. `make demo-pg` runs the demo with the lexicon on a local PostgreSQL server
# (scripts/load-lexicon-pg.sh starts it and leaves it running).
# `make fuzz` builds the fuzz targets with clang and libFuzzer and runs each for FUZZ_SECONDS
# (default 60); see docs/fuzzing.md.
# Every build and test run uses as many jobs as the machine has cores (JOBS=N overrides).
.PHONY: deps configure build demo-build demo demo-pg check check-sanitize bench fuzz clean

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# What the demo runs: the host and the plug-in (the platform and host libraries come with them).
DEMO_TARGETS = sectionhost kpSect03StratumSel

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build --preset default --parallel $(JOBS)

demo-build: configure
	@cmake --build --preset default --parallel $(JOBS) --target $(DEMO_TARGETS)

check: build
	@ctest --preset default --parallel $(JOBS)

check-sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize --parallel $(JOBS)
	@ctest --preset sanitize --parallel $(JOBS)

demo: demo-build
	@scripts/demo.sh build/bin

demo-pg: demo-build
	@scripts/load-lexicon-pg.sh
	@mkdir -p out
	@build/bin/sectionhost --map examples/section.geojson --script examples/build-stratum.txt \
	  --plugin build/bin/libkpSect03StratumSel.so --config-dir out/postgres \
	  --out out/section-with-stratum-pg.geojson --svg out/section-with-stratum-pg.svg

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --parallel $(JOBS)
	@scripts/fuzz.sh build-fuzz/bin

bench: build
	@scripts/bench.sh build/bin

clean:
	rm -rf build build-sanitize build-fuzz
