# `make` builds the deliverables into dist/; `make test` runs every test.
# Both first install what is missing from Debian's packages (scripts/install-deps.sh).

BUILD := build
WIN := $(BUILD)/win
JOBS := 2
CMAKE_WIN := cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel -DHB_BUILD_TESTS=OFF
DELIVERABLES := gen_hushbell Verlift installer

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
	rm -rf dist/site
	cp $(WIN)/bin/gen_hushbell.dll $(WIN)/bin/Verlift.exe $(WIN)/bin/hushbell-setup.exe dist/
	cp -r $(WIN)/site dist/site
	@for f in gen_hushbell.dll Verlift.exe; do \
	  echo "$$f imports: $$(i686-w64-mingw32-objdump -p dist/$$f | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"; done

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
	scripts/screenshots.sh $(WIN) docs

clean:
	rm -rf $(BUILD) dist
