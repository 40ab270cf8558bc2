# The two commands of the README, and the sanitizer, benchmark and fuzz builds.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build program run test asan bench fuzz screenshot clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program alone: running it needs none of the tests and benchmarks.
program: configure
	@cmake --build $(BUILD) -j $(JOBS) --target lumenforge

# Without a display the program runs on a virtual one that nobody sees: LF_VIRTUAL_DISPLAY tells it so, and a
# refusal at start-up (a copy already running) is then printed here instead of waiting in an invisible box.
run: program
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/lumenforge; \
	 else echo "No display: starting the program on a virtual one (xvfb-run), which cannot be seen here."; \
	      echo "To see it, run 'make screenshot': it starts a copy of its own and saves its window to screenshot.png."; \
	      echo "Ctrl+C stops the program."; \
	      LF_VIRTUAL_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/lumenforge; fi

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 300

# Leaks fail the run like any other memory error. The suppressed ones are the system libraries' own: the D-Bus
# and fontconfig connections that Qt opens in the real program live until the process ends.
asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON -DLF_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@printf 'leak:libdbus-1.so\nleak:libfontconfig.so\n' > $(ASAN_BUILD)/lsan-suppressions.txt
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	   LSAN_OPTIONS=suppressions=$(abspath $(ASAN_BUILD))/lsan-suppressions.txt \
	   ctest -j $(JOBS) --output-on-failure --timeout 600

bench: build
	@tools/run-bench $(BUILD)

fuzz:
	@tools/install-deps fuzz
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	   -DLF_FUZZ=ON -DLF_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target InstanceStreamFuzz ModuleFuzz KernelFilterSetFuzz IconSetFuzz \
	   FITSKeywordsModuleFuzz IPTCPhotoInfoModuleFuzz IPTCPhotoInfoFuzz TIFFFuzz JPEGFuzz RAWFuzz SwapFileFuzz \
	   FITSReadFuzz FITSReadSeeds JPEGTIFFSeeds
	@$(FUZZ_BUILD)/tools/fuzz/FITSReadSeeds $(FUZZ_BUILD)/corpus/FITSRead
	@$(FUZZ_BUILD)/tools/fuzz/JPEGTIFFSeeds $(FUZZ_BUILD)/corpus/JPEG $(FUZZ_BUILD)/corpus/TIFF
	@for seeds in tools/fuzz/seeds/*/; do corpus=$(FUZZ_BUILD)/corpus/$$(basename $$seeds); \
	   mkdir -p $$corpus && cp -n $$seeds* $$corpus/; done

screenshot: program
	@tools/screenshot screenshot.png $(BUILD)

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
