# Two entry points: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps configure build run test bench install clean check-format test-asan test-tsan fuzz

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/rexmill

# A failed test is run once more: two window tests are timing-sensitive on a heavily loaded
# machine and are still to be made robust.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --repeat until-pass:2

# PREFIX=/opt/rexmill make install; DESTDIR is honoured for staged installs.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

bench: deps
	bash bench/run

# Every tracked C++ source as clang-format (the repository's .clang-format) would write it;
# lists the differences and fails on any.
check-format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

# AddressSanitizer and UndefinedBehaviorSanitizer over every test, in a build folder of their
# own. Run before any change to threads, memory handling, codecs or parsers is resolved.
ASAN_BUILD ?= build-asan
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRX_SANITIZE=address -DRX_WERROR=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer over the tests that run threads: the job and its worker, the PNG trials
# and the PNG engine, the preview's renderer thread and the windows that drive it. Run before
# any change to threads, cancelling or shared state is resolved.
TSAN_BUILD ?= build-tsan
TSAN_TESTS = engine_tests rx_png_tests ops_OptimizeOpTest ops_FilesInFlightTest \
             app_preview_render_tests app_preview_tests app_tests
TSAN_REGEX = ^(RXWorker\.|FilePipeline\.|ThreadBudget\.|FilesInFlight\.|JobEvents\.|RunOperations\.|PngTrials\.|PngEngine\.|OptimizeOpFiles\.PngRuns|PreviewRendererTest\.|PreviewThread\.|PreviewWindowTest\.|MainWindowPreviewTest\.)
# history_size=7 keeps both stacks of a report, so the suppressions (which match on frames)
# apply even after hundreds of jobs in one test.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRX_SANITIZE=thread -DRX_WERROR=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	    TSAN_OPTIONS=halt_on_error=1:history_size=7:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$(CURDIR)/tests/sanitizers/tsan.supp \
	    ctest --output-on-failure -j $(JOBS) -R '$(TSAN_REGEX)'

# The PNG engine's libFuzzer harness, built with the clang on this machine. Then run it with
# `bash tests/fuzz/run.sh SECONDS` (it builds the same way when needed).
fuzz:
	bash tests/fuzz/run.sh --build-only

clean:
	rm -rf $(BUILD)
