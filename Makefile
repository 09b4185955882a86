# make run   - install what the game needs, build it, generate the assets, start the game
# make test  - install and build everything else too, then every test (end-to-end ones under Xvfb)
# make package - as for make test, then the Debian packages in $(BUILD)/

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# What the game takes from the build tree when it runs: the two programs and
# the asset pack (the sounds and pictures in game/, the window's icon in res/).
GAME_TARGETS = zankoruc zankoruc-ranking zankoruc_asset_pack
# A build folder configured anew for the game alone; one that exists keeps
# the tests and benchmarks it has (make test turns them on).
GAME_ONLY = $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DZANKORUC_BUILD_TESTS=OFF -DZANKORUC_BUILD_BENCH=OFF)

.PHONY: run game test build deps test-deps package sanitize bench format format-check clean

deps:
	@tools/install-deps.sh

test-deps:
	@tools/install-deps.sh --tests

game: deps
	cmake -S . -B $(BUILD) $(GAME_ONLY) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target $(GAME_TARGETS)

run: game
	tools/run-game.sh $(BUILD)

build: test-deps
	cmake -S . -B $(BUILD) -DZANKORUC_BUILD_TESTS=ON -DZANKORUC_BUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j 2

package: build
	cd $(BUILD) && cpack

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: test-deps
	cmake -S . -B build-asan -DZANKORUC_SANITIZE=ON -DZANKORUC_BUILD_TESTS=ON -DZANKORUC_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure

bench: build
	tools/run-benchmarks.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: test-deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) build-asan
