# make: configure and build both architectures; make test / run / bench: the same, then the bench under Wine.
# KV_ARCH=x86 or KV_ARCH=x64 limits every target to that one (build/ or build-x64/).
ARCHS := $(if $(KV_ARCH),$(KV_ARCH),x86 x64)
ifneq ($(KV_ARCH),)
KV_ARCH_ERROR := $(shell . tools/arch.sh; kv_arch_name_ok '$(KV_ARCH)' 2>&1 >/dev/null)
$(if $(KV_ARCH_ERROR),$(error $(KV_ARCH_ERROR)))
endif
BUILD_x86 := build
BUILD_x64 := build-x64
TOOLCHAIN_x86 := cmake/mingw32.cmake
TOOLCHAIN_x64 := cmake/mingw64.cmake
JOBS := -j8

.PHONY: all build build.x86 build.x64 deps test run bench clean

all: build

# x86 is the product (32-bit, XP onwards); x64 is the same program for 64-bit Windows.
build: $(ARCHS:%=build.%)

build.x86 build.x64: build.%:
	[ -f $(BUILD_$*)/CMakeCache.txt ] || cmake -S . -B $(BUILD_$*) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN_$*)
	cmake --build $(BUILD_$*) $(JOBS)

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
	rm -rf $(BUILD_x86) $(BUILD_x64)
