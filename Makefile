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

.PHONY: all setup build test bench demo fuzz format clean $(addprefix build-,$(TREES))

all: build

setup:
	@bash cmake/setup.sh

$(BUILD)/%/Makefile: | setup
	cmake -S . -B $(BUILD)/$* $(CMAKE_$*) >/dev/null

$(addprefix build-,$(TREES)): build-%: $(BUILD)/%/Makefile
	cmake --build $(BUILD)/$* -j$(JOBS)

build: setup $(addprefix build-,$(TREES))

# After the CTest runs, a short fuzz of the status protocol when clang is here.
test: build
	@status=0; bash cmake/run-tests.sh $(BUILD) linux linux-asan win64 win32 || status=1; \
	bash cmake/fuzz.sh $(BUILD) 30 --if-available || status=1; exit $$status

# Throughput of the status protocol (native, optimised tree).
bench: build-linux
	@$(BUILD)/linux/bin/protocol_bench

demo: setup build-linux build-win64
	@bash examples/demo-com.sh $(BUILD)

fuzz: setup
	@VORLEN_FUZZ=1 bash cmake/setup.sh
	@bash cmake/fuzz.sh $(BUILD) $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
