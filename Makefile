# The two commands of the README: `make demo` and `make test`.
# BUILD names the folder that holds the four build trees.
BUILD ?= build
JOBS  ?= $(shell nproc)
TREES := linux linux-asan win32 win64
FUZZ_SECONDS ?= 600

CMAKE_linux      := -DCMAKE_BUILD_TYPE=RelWithDebInfo
CMAKE_linux-asan := -DCMAKE_BUILD_TYPE=Debug -DVORLEN_SANITIZE=ON
CMAKE_win32      := -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-i686-w64-mingw32.cmake
CMAKE_win64      := -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-x86_64-w64-mingw32.cmake

.PHONY: all setup build test demo fuzz format clean $(addprefix build-,$(TREES))

all: build

setup:
	@bash cmake/setup.sh

$(BUILD)/%/Makefile: | setup
	cmake -S . -B $(BUILD)/$* $(CMAKE_$*) >/dev/null

$(addprefix build-,$(TREES)): build-%: $(BUILD)/%/Makefile
	cmake --build $(BUILD)/$* -j$(JOBS)

build: setup $(addprefix build-,$(TREES))

test: build
	@bash cmake/run-tests.sh $(BUILD) linux linux-asan win64

demo: setup build-linux build-win64
	@bash examples/demo.sh $(BUILD)

fuzz: setup
	@VORLEN_FUZZ=1 bash cmake/setup.sh
	@bash cmake/fuzz.sh $(BUILD) $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
