# kiv_ambrel: `make demo` shows the module player at work, `make test` runs every test.
# Both install what they need first (scripts/install-deps).

MAKEFLAGS += --no-print-directory
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600
# Each module target runs this long in the smoke run of `make test`.
SMOKE_FUZZ_SECONDS ?= 30
CONFIG_FUZZ_SECONDS ?= 20
TITLEFORMAT_FUZZ_SECONDS ?= 10
RIFF_FUZZ_SECONDS ?= 15
INDEX_STORE_FUZZ_SECONDS ?= 15
NATIVE := build/native
WIN32 := build/win32
ASAN := build/asan
FUZZ := build/fuzz
DEMO_SONGS := assets/demo.mod assets/demo.s3m assets/demo.xm
# The demo songs last about 32 s; one pass of each.
DEMO_SECONDS ?= 32
DEBIAN_MODULES := /usr/share/games/heroes/mod /usr/share/games/gl-117/music /usr/share/games/freedroid/sound

# The Windows tree's input tests compare the DLL's audio with this much native render of every module.
REFERENCE_SECONDS := 60
REFERENCE_PCM := $(WIN32)/reference-pcm
MINIHOST := scripts/wine-run $(WIN32)/bin/minihost.exe

.PHONY: all deps build test test-native test-win32 test-asan fuzz fuzz-build fuzz-smoke fuzz-corpus demo reference-pcm screenshots mutation clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686-posix.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN32) -j $(JOBS)

# Ends with the lines of tests against the lines of product code (scripts/line-ratio), pass or fail.
test: build
	@status=0; $(MAKE) --no-print-directory test-native test-win32 test-asan fuzz-smoke || status=$$?; \
	  scripts/line-ratio; exit $$status

test-native:
	@cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

# The Windows tree's tests run under 32-bit Wine (scripts/wine-run, the tree's emulator).
# All of them share one virtual display (scripts/with-xvfb).
test-win32: reference-pcm
	@cd $(WIN32) && $(CURDIR)/scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

# The module and component tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DAMBREL_SANITIZE=ON -DAMBREL_TOOLS=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS) --target module_tests component_tests
	@cd $(ASAN) && ctest --output-on-failure -j $(JOBS) -L 'module|component'

fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)

# The module fuzzers' corpora grow under build/; they start from the demo songs, the Debian
# modules and the files kept in fuzz/seeds/. The load-only target keeps its corpus, log and
# findings apart, so that both targets can run at once.
fuzz-corpus:
	@mkdir -p $(FUZZ)/corpus $(FUZZ)/load-only/corpus $(FUZZ)/seeds
	@cp -f $(DEMO_SONGS) $(FUZZ)/seeds/ 2>/dev/null || true
	@for d in $(DEBIAN_MODULES); do cp -f $$d/*.mod $$d/*.s3m $$d/*.xm $(FUZZ)/seeds/ 2>/dev/null || true; done

# The loaders' "Note not found" lines would fill the logs and slow the runs: the module targets'
# own standard error is closed (libFuzzer and the sanitizers keep theirs). Inputs that take long
# (songs declaring the largest patterns allocate up to 100 MB) are picked less often, so that
# the runs spend their time on many inputs rather than a few.
MODULE_SEEDS := $(FUZZ)/seeds fuzz/seeds
MODULE_FUZZ_FLAGS := -close_fd_mask=2 -entropic_scale_per_exec_time=1
PLAY_FUZZ = FUZZ_FLAGS="$(MODULE_FUZZ_FLAGS)" scripts/run-fuzz $(FUZZ)/bin/fuzz_module_load $(1) \
  $(FUZZ)/corpus $(MODULE_SEEDS)
# Load only, on inputs of at most 4 KiB, thousands a second: small files that make a loader
# work far beyond their size are what it looks for, so an input that takes 2 s is a finding.
LOAD_FUZZ = FUZZ_FLAGS="$(MODULE_FUZZ_FLAGS) -timeout=2 -max_len=4096" scripts/run-fuzz \
  $(FUZZ)/bin/fuzz_module_load_only $(1) $(FUZZ)/load-only/corpus $(MODULE_SEEDS)

fuzz-smoke: fuzz-build fuzz-corpus
	@$(call PLAY_FUZZ,$(SMOKE_FUZZ_SECONDS))
	@$(call LOAD_FUZZ,$(SMOKE_FUZZ_SECONDS))
	@scripts/run-fuzz $(FUZZ)/bin/fuzz_config_records $(CONFIG_FUZZ_SECONDS) $(FUZZ)/config-corpus
	@FUZZ_FLAGS="-dict=fuzz/titleformat.dict -max_len=4096" scripts/run-fuzz $(FUZZ)/bin/fuzz_titleformat \
	  $(TITLEFORMAT_FUZZ_SECONDS) $(FUZZ)/titleformat/corpus
	@FUZZ_FLAGS="-max_len=16384" scripts/run-fuzz $(FUZZ)/bin/fuzz_riff_wave $(RIFF_FUZZ_SECONDS) $(FUZZ)/riff-corpus fuzz/wav-seeds
	@scripts/run-fuzz $(FUZZ)/bin/fuzz_index_store $(INDEX_STORE_FUZZ_SECONDS) $(FUZZ)/index-store/corpus fuzz/index-store-seeds

# Load and play, then load only, each for FUZZ_SECONDS.
fuzz: fuzz-build fuzz-corpus
	@$(call PLAY_FUZZ,$(FUZZ_SECONDS))
	@$(call LOAD_FUZZ,$(FUZZ_SECONDS))

# Raw PCM of the native `ambrel render` of every demo song and Debian module, for the Windows
# tree's tests to compare with what the DLL decodes.
reference-pcm:
	@mkdir -p $(REFERENCE_PCM)
	@for f in $(DEMO_SONGS) $(foreach d,$(DEBIAN_MODULES),$(wildcard $(d)/*.mod $(d)/*.s3m $(d)/*.xm)); do \
	  $(NATIVE)/bin/ambrel render $$f -o - --seconds $(REFERENCE_SECONDS) >$(REFERENCE_PCM)/$$(basename $$f).pcm 2>/dev/null \
	    || { echo "reference-pcm: cannot render $$f" >&2; exit 1; }; \
	done

# The main job end to end: minihost.exe loads kiv_ambrel.dll under Wine, prints each demo song's
# info and plays it through the module input into out/NAME.wav; then the native `ambrel render`
# renders the same songs into out/native/ and the two are compared sample for sample.
demo: build
	@for f in $(DEMO_SONGS); do [ -f $$f ] || \
	  { echo "$$f is missing: the demo songs are written by $(NATIVE)/bin/make-demo-songs assets" >&2; exit 1; }; done
	@$(MINIHOST) info $(DEMO_SONGS)
	@set -o pipefail; for f in $(DEMO_SONGS); do $(MINIHOST) play $$f --seconds $(DEMO_SECONDS) --out out/$$(basename $$f).wav | grep -v '^kiv_ambrel component:' || exit 1; done
	@mkdir -p out/native
	@same=0; for f in $(DEMO_SONGS); do n=$$(basename $$f); \
	  $(NATIVE)/bin/ambrel render $$f --seconds $(DEMO_SECONDS) -o out/native/$$n.wav >/dev/null || exit 1; \
	  if cmp -s <(tail -c +45 out/$$n.wav) <(tail -c +45 out/native/$$n.wav); then same=$$((same + 1)); \
	  else echo "native: $$n differs from what the DLL decoded" >&2; fi; \
	done; \
	if [ $$same -eq 3 ]; then echo "native: ambrel render gave out/native/*.wav, identical PCM to the DLL's for all 3 songs"; \
	else exit 1; fi

# How many small faults put into module/, component/, helpers/, sample/ and minihost/ the tests catch, from a
# fixed sample of mutants (scripts/mutation-score; MUTATION_ARGS="--help" lists its options). Its own
# copy of the sources and build trees live under build/mutation; not part of `make test`.
mutation: deps
	@scripts/mutation-score $(MUTATION_ARGS)

# PNGs of the component's dialogs as a user sees them, under out/screenshots/.
screenshots: build
	@scripts/screenshots

clean:
	rm -rf build out
