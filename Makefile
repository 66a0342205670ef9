# `make` builds the deliverables into dist/; `make test` runs every test.
# Both first install what is missing from Debian's packages (scripts/install-deps.sh).

BUILD := build
# The shipped 32-bit files, built apart from the Windows tests' build (build/win-ARCH), so that
# neither configuration undoes the other.
DIST_BUILD := $(BUILD)/dist
JOBS := $(shell . scripts/jobs.sh && echo $$HB_JOBS)
CMAKE_DIST := cmake -S . -B $(DIST_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel -DHB_BUILD_TESTS=OFF
DELIVERABLES := gen_hushbell Verlift installer

.PHONY: all deps-build deps-test dist test fuzz demo bench-wts bench-start bench-verlift screenshots clean

all: dist

deps-build:
	@scripts/install-deps.sh build

deps-test:
	@scripts/install-deps.sh all

dist: deps-build
	$(CMAKE_DIST) >/dev/null
	cmake --build $(DIST_BUILD) -j$(JOBS) --target $(DELIVERABLES)
	mkdir -p dist
	rm -rf dist/site
	cp $(DIST_BUILD)/bin/gen_hushbell.dll $(DIST_BUILD)/bin/Verlift.exe $(DIST_BUILD)/bin/hushbell-setup.exe dist/
	cp -r $(DIST_BUILD)/site dist/site
	@for f in gen_hushbell.dll Verlift.exe; do \
	  echo "$$f imports: $$(i686-w64-mingw32-objdump -p dist/$$f | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"; done

test: deps-test
	scripts/run-tests.sh

# Longer fuzzing runs of the update checker's parsers (FUZZ_SECONDS each).
FUZZ_SECONDS := 300
fuzz: deps-test
	HB_FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-tests.sh fuzz

# The demo and the screenshots run under Wine on the same target as the Windows tests.
# A scripted evening with the real plug-in in the stand-in player, with a readable timeline.
demo: deps-test
	scripts/demo.sh

# How soon a lock and an unlock reach the player, with the session's notification and with the
# poll alone (a measurement, not a test).
bench-wts: deps-test
	scripts/bench-wts.sh

# What the plug-in costs the player's start (LoadLibrary, init, the work left for later, quit)
# against an empty plug-in built beside it.
bench-start: deps-test
	scripts/bench-start.sh

# Start-up of Verlift.exe when no check is due (the common start) against a program that does
# nothing, side by side with hyperfine (BENCH_RUNS runs each).
BENCH_RUNS := 40
bench-verlift: deps-test
	@scripts/install-deps.sh bench
	bench/verlift-startup.sh $(BENCH_RUNS)

# Renders the dialogs under Xvfb into docs/ (the README shows them).
screenshots: deps-test
	scripts/screenshots.sh "" docs

clean:
	rm -rf $(BUILD) dist
