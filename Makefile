# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing first.
.PHONY: all deps run build test test-build fuzz-build fuzz stress bench format format-check tsan clean package

JOBS ?= $(shell nproc)
ARGS ?=

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

run: build
	./build/release/bin/pemmo $(ARGS)

test-build: deps
	cmake --preset test -DPEMMO_FUZZ_BINARY_DIR=$(CURDIR)/build/fuzz/bin
	cmake --build --preset test -j $(JOBS)

fuzz-build: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

test: test-build fuzz-build
	scripts/with-test-services ctest --preset test -j $(JOBS)

# Open-ended fuzzing: each target runs FUZZ_SECONDS with a random seed, growing its own corpus in
# the build tree. Crashes land in build/fuzz/artifacts; add the input to fuzz/corpus/<name>/ once fixed.
FUZZ_SECONDS ?= 300
fuzz: fuzz-build
	@mkdir -p build/fuzz/artifacts
	@for f in fuzz/corpus/*; do name=$$(basename $$f); mkdir -p build/fuzz/corpus/$$name; \
	  dict=; [ -f fuzz/$$name.dict ] && dict=-dict=fuzz/$$name.dict; \
	  build/fuzz/bin/fuzz_$$name -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	    -artifact_prefix=build/fuzz/artifacts/$$name- $$dict build/fuzz/corpus/$$name $$f || exit 1; done

# Kills a process writing the store STRESS_KILLS times in the middle of a write and reports how
# many of the files it left were torn or undecodable (the goal is none). Not part of `make test`;
# it takes about a second a kill, so Qt Test's five-minute limit per test function is lifted.
STRESS_KILLS ?= 1000
stress: deps
	cmake --preset test
	cmake --build --preset test -j $(JOBS) --target TestStoreCrashSafety store-writer
	QTEST_FUNCTION_TIMEOUT=14400000 PEMMO_STRESS_KILLS=$(STRESS_KILLS) build/test/bin/TestStoreCrashSafety

tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	scripts/with-test-services ctest --preset tsan -j $(JOBS) -E '^fuzz_'

bench: build
	scripts/run-bench build/release

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format-14 -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run --Werror

# The Debian package (build/deb/pemmo_<version>_<arch>.deb): a release build of the application
# alone, installed under /usr by CPack. See docs/packaging.md.
package: deps
	cmake -S . -B build/deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DPEMMO_BUILD_TESTS=OFF -DPEMMO_BUILD_BENCH=OFF
	cmake --build build/deb -j $(JOBS)
	cd build/deb && cpack -G DEB

clean:
	rm -rf build
