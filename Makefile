# `make` builds the deliverables into dist/; `make test` runs every test.
# Both first install what is missing from Debian's packages (scripts/install-deps.sh).

BUILD := build
WIN := $(BUILD)/win
JOBS := 2
CMAKE_WIN := cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
DELIVERABLES := gen_hushbell

.PHONY: all deps-build deps-test dist test fuzz demo screenshots clean

all: dist

deps-build:
	@scripts/install-deps.sh build

deps-test:
	@scripts/install-deps.sh all

dist: deps-build
	$(CMAKE_WIN) >/dev/null
	cmake --build $(WIN) -j$(JOBS) --target $(DELIVERABLES)
	mkdir -p dist
	cp $(WIN)/bin/gen_hushbell.dll dist/
	@i686-w64-mingw32-objdump -p dist/gen_hushbell.dll | grep "DLL Name" | sed 's/^\s*/gen_hushbell.dll imports: /'

test: deps-test
	scripts/run-tests.sh

# Longer fuzzing runs of the update checker's parsers (FUZZ_SECONDS each).
FUZZ_SECONDS := 300
fuzz: deps-test
	HB_FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-tests.sh fuzz

# A scripted evening with the real plug-in in the stand-in player, with a readable timeline.
demo: deps-test
	scripts/demo.sh

# Renders the dialogs under Xvfb into docs/ (the README shows them).
screenshots: deps-test
	scripts/screenshot-config.sh $(WIN) docs

clean:
	rm -rf $(BUILD) dist
