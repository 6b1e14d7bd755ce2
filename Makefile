# make: configure and build everything; make test / run / bench: the same, then the bench under Wine.
BUILD := build
CMAKE_FLAGS := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake
JOBS := -j8

.PHONY: all build deps test run bench clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) $(JOBS)

deps:
	tools/install-deps.sh

test: deps
	$(MAKE) build
	tools/run-tests.sh

run: deps
	$(MAKE) build
	tools/run.sh

bench: deps
	$(MAKE) build
	tools/run-tests.sh --bench

clean:
	rm -rf $(BUILD)
