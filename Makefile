# Set-up and everyday targets. `make demo` and `make check` are all a new user types.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build demo check clean

deps:
	@bash scripts/deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/talpine --data demo/Data

check: build
	cd $(BUILD) && env -u DISPLAY -u WAYLAND_DISPLAY LIBGL_ALWAYS_SOFTWARE=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 300

clean:
	rm -rf $(BUILD)
