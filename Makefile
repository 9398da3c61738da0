# The two commands a new machine needs: `make run` and `make test`.
# Both install the Debian packages the project needs first (scripts/install-deps).

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

.PHONY: deps build run test test-asan clean

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Builds, then starts the program.
run: build
	$(BUILD)/app/quelto

# Everything: unit, widget, interoperability and end-to-end tests, then the
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUELTO_SANITIZE=ON -DQUELTO_UNIT_ONLY=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
