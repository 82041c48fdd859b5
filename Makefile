# Build, test and run entry points. `make test` and `make run` install missing Debian
# packages first when run as root; otherwise they print the apt-get line to run.
# `make install` installs under PREFIX (default /usr/local); `make package` builds a
# Debian package in the build folder.
# fonts-dejavu-extra has the condensed lettering font of the content build; xfonts-base the
# core X fonts the window program's message boxes draw with. tools/fresh_root_check.sh
# checks the list on a fresh Debian 12 root.

BUILD ?= build
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev pkg-config \
	libgtest-dev libgmock-dev libbenchmark-dev liblzma-dev libstb-dev \
	libmpg123-dev libmp3lame-dev libsdl2-dev libcaca-dev \
	tmux xvfb xauth xdotool libx11-dev libgl1-mesa-dri ffmpeg \
	fonts-dejavu-core fonts-dejavu-extra xfonts-base dpkg-dev file man-db

.PHONY: all deps configure build test run run-gl install package bench fuzz clean

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
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
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
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

FUZZ_SECONDS ?= 60

fuzz: deps
	@fuzz/run_fuzz.sh . build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
