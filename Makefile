# make run   - install what is missing, build, generate the assets, start the game
# make test  - the same set-up, then every test (end-to-end ones under Xvfb)
# make package - the same set-up, then the Debian packages in $(BUILD)/

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test build deps package sanitize bench format format-check clean

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	tools/run-game.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j 2

package: build
	cd $(BUILD) && cpack

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B build-asan -DZANKORUC_SANITIZE=ON -DZANKORUC_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure

bench: build
	tools/run-benchmarks.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) build-asan
