# Build, test and run entry points. Each target first installs the Debian packages its set
# needs when run as root (otherwise it prints the apt-get line to run): `make run` and
# `make build` the run set, `make test` adds the test set, `make fuzz`, `make bench` and
# `make package` theirs. `make install` installs under PREFIX (default /usr/local);
# `make package` builds a Debian package in the build folder. tools/fresh_root_check.sh
# checks each target's set on a fresh Debian 12 root.

BUILD ?= build
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

# Building and playing. fonts-dejavu-extra has the condensed lettering font of the content
# build; xfonts-base the core X fonts the window program's message boxes draw with;
# libgl1-mesa-dri the software OpenGL of machines without a graphics driver; zlib1g-dev
# compresses the console's pictures for the kitty graphics protocol; libx11-dev the Xlib
# error handlers of the window program.
RUN_PACKAGES := cmake ninja-build g++ pkg-config liblzma-dev libstb-dev libmpg123-dev libmp3lame-dev \
	libsdl2-dev zlib1g-dev libx11-dev libgl1-mesa-dri fonts-dejavu-core fonts-dejavu-extra xfonts-base
# The clang build with libFuzzer and the sanitizers (the fuzz targets, the sanitized tests).
FUZZ_PACKAGES := clang libclang-rt-14-dev
# The suites and what the system tests drive the programs with.
TEST_PACKAGES := $(FUZZ_PACKAGES) libgtest-dev libgmock-dev tmux xvfb xauth xdotool ffmpeg man-db \
	kitty xterm imagemagick
# The benchmarks; alacritty for bench/terminal_pictures.sh.
BENCH_PACKAGES := libbenchmark-dev libcaca-dev alacritty
PACKAGE_PACKAGES := dpkg-dev file
# The web version: emscripten compiles it, Node runs its capture tool in the tests, Python
# serves the site and counts differing words in the comparison script.
WEB_PACKAGES := emscripten nodejs python3
# The page's test drives headless Chromium.
WEB_TEST_PACKAGES := chromium

# The set of the target asked for (and its options), seen by deps and configure beneath it.
PACKAGES = $(RUN_PACKAGES)
OPTIONS =
test: PACKAGES += $(TEST_PACKAGES)
test: OPTIONS += -DTEXTDEMO_TESTS=ON
test: PACKAGES += $(WEB_PACKAGES) $(WEB_TEST_PACKAGES)
web: PACKAGES += $(WEB_PACKAGES)
bench: PACKAGES += $(BENCH_PACKAGES)
bench: OPTIONS += -DTEXTDEMO_BENCH=ON
fuzz: PACKAGES += $(FUZZ_PACKAGES)
package: PACKAGES += $(PACKAGE_PACKAGES)

.PHONY: all deps configure build test run run-gl install package bench fuzz clean web serve-web

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing >/dev/null || exit 1; \
	  else \
	    echo "missing Debian packages; run:"; echo "  sudo apt-get install -y$$missing"; exit 1; \
	  fi; \
	fi

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(OPTIONS) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build web
	@cd $(BUILD) && ctest --output-on-failure

# The build folder is laid out like an installation: the programs in bin/ find the archive
# in share/textdemo/ beside it, wherever they are started from.
run: build
	@$(BUILD)/bin/textdemo-console

run-gl: build
	@$(BUILD)/bin/textdemo-gl

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	@cd $(BUILD) && cpack -G DEB

bench: build
	@for b in $(BUILD)/bench/*_bench; do "$$b" || exit 1; done

FUZZ_SECONDS ?= 60

fuzz: deps
	@fuzz/run_fuzz.sh . build-fuzz $(FUZZ_SECONDS)

# The web version: the same sources compiled to WebAssembly by Debian's emscripten into
# build-web/, and build-web/site/ put together (page, program, archive of stored entries
# packed from this build's content). Node needs NODE_PATH for emscripten's own modules and
# --no-experimental-fetch for its loader.
WEB_BUILD ?= build-web
WEB_NODE := /usr/bin/node;--no-experimental-fetch
export NODE_PATH := /usr/share/nodejs

web: build
	@[ -f $(WEB_BUILD)/build.ninja ] || emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=$(WEB_NODE)" -DTEXTDEMO_SALAD=$(abspath $(BUILD))/bin/salad \
	  -DTEXTDEMO_CONTENT_FILES=$(abspath $(BUILD))/content/files >/dev/null
	@cmake --build $(WEB_BUILD)

WEB_PORT ?= 8021

serve-web: web
	@echo "serving $(WEB_BUILD)/site/ at http://127.0.0.1:$(WEB_PORT)/"
	@python3 -m http.server --bind 127.0.0.1 --directory $(WEB_BUILD)/site $(WEB_PORT)

clean:
	rm -rf $(BUILD) $(WEB_BUILD)
