# The two commands of the README: `make demo` and `make test`.
# BUILD names the folder that holds the four build trees.
BUILD ?= build
JOBS  ?= $(shell nproc)
TREES := linux linux-asan win32 win64
FUZZ_SECONDS ?= 600

.PHONY: all setup build test bench demo dist fuzz format clean $(addprefix build-,$(TREES))

all: build

# Installs what is missing: `make test` and `make demo` run it first, builds
# never. `make demo` alone installs only what the demo runs; `make setup`
# everything that `make test` runs.
SETUP_FOR := $(if $(filter-out demo,$(MAKECMDGOALS)),test,demo)
setup:
	@VORLEN_TOOLS=$(abspath $(BUILD))/tools bash cmake/setup.sh $(SETUP_FOR)
SETUP := $(if $(filter test demo,$(MAKECMDGOALS)),setup)

# Each tree is the preset of its name in CMakePresets.json; the win64 tree
# packs the win32 tree's programs too.
$(BUILD)/win64/Makefile: TREE_FLAGS := -DVORLEN_WIN32_TREE=$(abspath $(BUILD))/win32
$(BUILD)/%/Makefile: | $(SETUP)
	cmake --preset $* -B $(BUILD)/$* $(TREE_FLAGS) >/dev/null

# A tree that left parts out for want of packages (see left-out.txt) is
# configured again first: setup may have installed them since.
$(addprefix build-,$(TREES)): build-%: $(BUILD)/%/Makefile
	@[ ! -f $(BUILD)/$*/left-out.txt ] || cmake $(BUILD)/$* >/dev/null
	cmake --build $(BUILD)/$* -j$(JOBS)

build: $(addprefix build-,$(TREES))

# VORLEN-<version>.msi and VORLEN-<version>.zip in $(BUILD)/dist, from both
# Windows trees.
dist: build-win32 build-win64
	cmake --build $(BUILD)/win64 --target dist

# After the CTest runs, a short fuzz of the status protocol (setup installs
# clang for it). The win64 tree's tests try the archives of `make dist`.
test: setup build dist
	@status=0; bash cmake/run-tests.sh $(BUILD) linux linux-asan win64 win32 || status=1; \
	bash cmake/fuzz.sh $(BUILD) 30 || status=1; exit $$status

# Throughput of the status protocol (native, optimised tree).
bench: build-linux
	@$(BUILD)/linux/bin/protocol_bench

# Only the programs the demo runs (the vorlen_demo target of each tree), in
# the trees `make build` configures the same way, so a later `make test`
# builds the rest and nothing twice.
demo: setup $(BUILD)/linux/Makefile $(BUILD)/win64/Makefile
	cmake --build $(BUILD)/linux -j$(JOBS) --target vorlen_demo
	cmake --build $(BUILD)/win64 -j$(JOBS) --target vorlen_demo
	@bash examples/demo-com.sh $(BUILD)

fuzz: setup
	@bash cmake/fuzz.sh $(BUILD) $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
