# The two commands a new machine needs: `make run` and `make test`.
# Both install the Debian packages the project needs first (scripts/install-deps).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

# The C++ sources that are ours (generated and third-party code excluded).
SOURCES = $(shell git ls-files '*.cpp' '*.h')

.PHONY: deps build run test test-asan lint format clean

deps:
	scripts/install-deps

# `make test` builds with warnings as errors; `make build` and `make run`
# leave the option as the build folder has it.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Builds, then starts the program.
run: build
	$(BUILD)/app/quelto

# Everything: unit, widget, interoperability and end-to-end tests, then the
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: CMAKE_FLAGS += -DQUELTO_WERROR=ON
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUELTO_SANITIZE=ON -DQUELTO_UNIT_ONLY=ON \
	  -DQUELTO_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

# clang-tidy's checks (.clang-tidy) over our sources, with the build's own
# compiler flags; not part of `make test`.
lint: build
	run-clang-tidy -quiet -p $(BUILD) -j $(JOBS) \
	  '^$(CURDIR)/(text|settings|audio|modem|conversation|ui|app|cli|tests|bench)/.*\.cpp$$'

# Applies .clang-format to every C++ file of the tree.
format:
	clang-format -i $(SOURCES)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
