# The two commands of the README, and the sanitizer, benchmark and fuzz builds.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test asan bench fuzz screenshot clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/lumenforge; \
	 else echo "No display: starting the program on a virtual one (xvfb-run); 'make screenshot' shows it."; \
	      xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/lumenforge; fi

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

fuzz: deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	   -DLF_FUZZ=ON -DLF_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target InstanceStreamFuzz ModuleFuzz IPTCPhotoInfoFuzz

screenshot: build
	@tools/screenshot screenshot.png $(BUILD)

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
