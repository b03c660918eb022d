# Set-up and everyday targets. `make demo` and `make check` are all a new user types.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build demo check check-sanitize fuzz clean editors

deps:
	@bash scripts/deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The demo needs the program only (its assets are committed), not the tests.
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target talpine
	$(BUILD)/talpine --data demo/Data

check: build
	cd $(BUILD) && env -u DISPLAY -u WAYLAND_DISPLAY LIBGL_ALWAYS_SOFTWARE=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 300

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# script tests (script thread, ring, interpreter) under ThreadSanitizer, each in
# a build folder of its own. Leak checking is off: Mesa's driver is unloaded
# before the check runs, so its leaks cannot be told from ours. TSan's
# suppressions name only Mesa's and LLVM's libraries (scripts/sanitizer/).
SANITIZE_ENV = env -u DISPLAY -u WAYLAND_DISPLAY LIBGL_ALWAYS_SOFTWARE=1 \
	ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/scripts/sanitizer/tsan.supp

check-sanitize: deps
	@cmake -S . -B build-asan $(CMAKE_FLAGS) -DTALPINE_ASAN=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600
	@cmake -S . -B build-tsan $(CMAKE_FLAGS) -DTALPINE_TSAN=ON >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target talpine tests_script
	cd build-tsan && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600 -R '^script\.'

# The fuzz targets (clang, libFuzzer), each run for FUZZ_SECONDS over its corpus.
FUZZ_SECONDS ?= 20
fuzz: deps
	@cmake -S fuzz -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	fuzz/run $(FUZZ_SECONDS)

# Benchmarks, optimised, in their own build folder; prints one table
# (bench/RESULTS.md says what each row runs). BENCH_ARGS=--quick gives fewer
# rounds; BENCH_ARGS=--window runs the program rows in a window where there is
# a display (with BENCH_GL= to use its GPU instead of llvmpipe).
.PHONY: bench
BENCH_BUILD ?= build-bench
BENCH_JOBS  ?= 2
BENCH_GL    ?= LIBGL_ALWAYS_SOFTWARE=1
bench: deps
	@bash scripts/bench-deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTALPINE_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(BENCH_JOBS) --target talpine talpine_bench talpine_peer_gl
	@mkdir -p $(BENCH_BUILD)/work
	cd $(BENCH_BUILD) && env $(BENCH_GL) SDL_VIDEODRIVER=offscreen \
		./bench/talpine_bench work --program=$(CURDIR)/$(BENCH_BUILD)/talpine \
		--peer=$(CURDIR)/$(BENCH_BUILD)/bench/talpine_peer_gl --demo=$(CURDIR)/demo/Data $(BENCH_ARGS)

# Every build folder the targets above make.
clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz $(BENCH_BUILD)

# The generated meshes and images of the demo and the examples (committed, so
# `make demo` needs no generation step). GENERATOR:FILE[=TEXTURE], see
# tools/asset_tool/asset_tool.cpp.
.PHONY: assets
ASSET_TOOL = $(BUILD)/tools/asset_tool
DEMO_ASSETS = plane:floor.obj box:crate.3ds=brick.jpg sphere:ball.obj torus:ring.3ds=marble.png \
	grid:pool.3ds grid16:pond.3ds room:room.3ds=checker.png court:court.3ds=stone.png box:monitor.obj \
	checker:checker.png tiles:tiles.png brick:brick.jpg stone:stone.jpg marble:marble.png gradient:gradient.jpg \
	particle:spark.png flare:star.png ring:ring.png hot:hot.png sky:sky.jpg lambert:lambert.png
EXAMPLE_ASSETS_meshes = box:crate.3ds=brick.jpg sphere:ball.obj brick:brick.jpg marble:marble.png
EXAMPLE_ASSETS_gltf = torus:ring.glb=marble.png box:crate.glb=brick.jpg
EXAMPLE_ASSETS_lights = sphere:ball.obj plane:floor.obj
EXAMPLE_ASSETS_shadows = plane:floor.obj box:crate.obj checker:checker.png
EXAMPLE_ASSETS_csg = box:box.obj sphere:ball.obj
EXAMPLE_ASSETS_particles = particle:spark.png sphere:ball.obj
EXAMPLE_ASSETS_flares = flare:star.png box:crate.obj
EXAMPLE_ASSETS_water = grid:pool.3ds tiles:tiles.png
EXAMPLE_ASSETS_fluid = grid:pool.3ds
EXAMPLE_ASSETS_skybox = sky:sky.jpg torus:ring.obj
EXAMPLE_ASSETS_labels = box:crate.obj
EXAMPLE_ASSETS_keyframes = sphere:ball.obj plane:floor.obj checker:checker.png
EXAMPLE_ASSETS_camera = sphere:ball.obj plane:floor.obj checker:checker.png box:crate.obj
EXAMPLE_ASSETS_deformers = box:crate.obj
EXAMPLE_ASSETS_glow = torus:ring.obj hot:hot.png
EXAMPLE_ASSETS_bloom = sphere:ball.obj plane:floor.obj
EXAMPLE_ASSETS_blur = torus:ring.obj checker:checker.png
EXAMPLE_ASSETS_render_target = box:monitor.obj torus:ring.obj checker:checker.png
EXAMPLE_ASSETS_language = sphere:ball.obj
EXAMPLE_ASSETS_lightmap = room:room.3ds=checker.png sphere:ball.obj checker:checker.png lambert:lambert.png
EXAMPLES = $(patsubst EXAMPLE_ASSETS_%,%,$(filter EXAMPLE_ASSETS_%,$(.VARIABLES)))

assets: configure
	@cmake --build $(BUILD) -j $(JOBS) --target asset_tool
	$(ASSET_TOOL) demo/Data $(DEMO_ASSETS)
	$(foreach e,$(EXAMPLES),mkdir -p examples/$(e)/Data && $(ASSET_TOOL) examples/$(e)/Data $(EXAMPLE_ASSETS_$(e)) && ) true

# The editor files (editors/vscode, editors/vim) from the engine's keyword and
# command tables; committed, and checked by tests/tools.
editors: configure
	@cmake --build $(BUILD) -j $(JOBS) --target syntax_gen
	$(BUILD)/tools/syntax_gen editors
