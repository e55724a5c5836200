# Two entry points: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps configure build run test bench install clean

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/rexmill

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# PREFIX=/opt/rexmill make install; DESTDIR is honoured for staged installs.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

bench: deps
	bash bench/run

clean:
	rm -rf $(BUILD)
