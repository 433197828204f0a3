# kiv_ambrel: `make demo` shows the module player at work, `make test` runs every test.
# Both install what they need first (scripts/install-deps).

MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600
SMOKE_FUZZ_SECONDS ?= 60
CONFIG_FUZZ_SECONDS ?= 20
NATIVE := build/native
WIN32 := build/win32
ASAN := build/asan
FUZZ := build/fuzz
DEMO_SONGS := assets/demo.mod assets/demo.s3m assets/demo.xm
# The demo songs last about 32 s; one pass of each.
DEMO_SECONDS ?= 32
DEBIAN_MODULES := /usr/share/games/heroes/mod /usr/share/games/gl-117/music /usr/share/games/freedroid/sound

.PHONY: all deps build test test-native test-win32 test-asan fuzz fuzz-smoke fuzz-corpus demo screenshots clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32) -j $(JOBS)

test: build
	@$(MAKE) --no-print-directory test-native test-win32 test-asan fuzz-smoke

test-native:
	@cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# The Windows tree's tests run under 32-bit Wine (scripts/wine-run, the tree's emulator).
test-win32:
	@cd $(WIN32) && ctest --output-on-failure -j $(JOBS)

# The module and component tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DAMBREL_SANITIZE=ON -DAMBREL_TOOLS=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS) --target module_tests component_tests
	@cd $(ASAN) && ctest --output-on-failure -j $(JOBS) -L 'module|component'

$(FUZZ)/bin/fuzz_module_load: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)

# The fuzzer's corpus grows under build/; it starts from the demo songs and the Debian modules.
fuzz-corpus:
	@mkdir -p $(FUZZ)/corpus $(FUZZ)/seeds
	@cp -f $(DEMO_SONGS) $(FUZZ)/seeds/ 2>/dev/null || true
	@for d in $(DEBIAN_MODULES); do cp -f $$d/*.mod $$d/*.s3m $$d/*.xm $(FUZZ)/seeds/ 2>/dev/null || true; done

fuzz-smoke: $(FUZZ)/bin/fuzz_module_load fuzz-corpus
	@scripts/run-fuzz $(FUZZ)/bin/fuzz_module_load $(SMOKE_FUZZ_SECONDS) $(FUZZ)/corpus $(FUZZ)/seeds
	@scripts/run-fuzz $(FUZZ)/bin/fuzz_config_records $(CONFIG_FUZZ_SECONDS) $(FUZZ)/config-corpus

fuzz: $(FUZZ)/bin/fuzz_module_load fuzz-corpus
	@scripts/run-fuzz $(FUZZ)/bin/fuzz_module_load $(FUZZ_SECONDS) $(FUZZ)/corpus $(FUZZ)/seeds

# Renders each demo song to out/NAME.wav through the same calls the module
# input makes, and prints its format, channels, duration, peak and RMS level.
demo: build
	@status=0; for f in $(DEMO_SONGS); do \
	  if [ -f $$f ]; then $(NATIVE)/bin/ambrel render $$f --seconds $(DEMO_SECONDS) || status=1; \
	  else echo "$$f is missing: the demo songs are written by $(NATIVE)/bin/make-demo-songs assets" >&2; status=1; fi; \
	done; exit $$status

# PNGs of the component's dialogs as a user sees them, under out/screenshots/.
screenshots: build
	@scripts/screenshots

clean:
	rm -rf build out
