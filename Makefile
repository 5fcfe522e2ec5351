# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD_DIR      ?= build
TEST_BUILD_DIR ?= build-test
PACKAGE_BUILD_DIR ?= build-package
WINDOWS_BUILD_DIR ?= build-windows
JOBS           ?= $(shell nproc)

.PHONY: all deps build run test fuzz bench package format clean windows test-windows
FUZZ_SECONDS   ?= 60

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/vexa $(ARGS)

# Tests run under AddressSanitizer and UndefinedBehaviorSanitizer; every fuzz target first runs a few
# seconds over its seeds and the inputs that once found a fault.
test: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DVEXA_SANITIZE=ON -DVEXA_BUILD_TESTS=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS)
	bash scripts/fuzz.sh --smoke
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

# Every fuzz target for FUZZ_SECONDS seconds each (make fuzz FUZZ_SECONDS=600), or for FUZZ_RUNS
# executions each (make fuzz FUZZ_RUNS=2000000); FUZZ_JOBS side by side; only FUZZ_TARGETS if given.
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_RUNS=$(FUZZ_RUNS) FUZZ_JOBS=$(FUZZ_JOBS) FUZZ_TARGETS="$(FUZZ_TARGETS)" \
		bash scripts/fuzz.sh

# Formats every C++ file with the repo's .clang-format (make test checks it).
format: deps
	bash scripts/format.sh

# Timings of VEXA against its references (Release build in build-bench); see bench/README.md.
bench:
	bash bench/run.sh

# A Debian package of the window and vexa-cli, installed under /usr (its dependencies from
# dpkg-shlibdeps): $(PACKAGE_BUILD_DIR)/vexa_<version>_<arch>.deb.
package: deps
	cmake -S . -B $(PACKAGE_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DVEXA_BUILD_TESTS=OFF \
		-DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(PACKAGE_BUILD_DIR) -j $(JOBS)
	cd $(PACKAGE_BUILD_DIR) && cpack -G DEB

# vexa-cli.exe for 64-bit Windows, cross-built with MinGW-w64 (the window is not built there):
# $(WINDOWS_BUILD_DIR)/bin/vexa-cli.exe beside its Data folder.
windows:
	@bash scripts/install-windows-deps.sh
	cmake -S . -B $(WINDOWS_BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DVEXA_BUILD_UI=OFF -DVEXA_BUILD_TESTS=OFF
	cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS)

# The command-line tests (built for this system) run against vexa-cli.exe under Wine.
test-windows: windows deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DVEXA_SANITIZE=ON -DVEXA_BUILD_TESTS=ON
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS) --target vexa_cli_tests
	bash scripts/test-windows.sh $(TEST_BUILD_DIR)/bin/vexa_cli_tests $(WINDOWS_BUILD_DIR)/bin/vexa-cli.exe

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(PACKAGE_BUILD_DIR) $(WINDOWS_BUILD_DIR) build-fuzz build-bench
