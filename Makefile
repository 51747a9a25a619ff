# The two commands of the README: `make test` (the whole suite, Linux and Windows under
# Wine) and `make demo` (the launcher on the built-in demo list and server).
JOBS ?= 2
WINEPREFIX_DIR := $(CURDIR)/build/mingw/wineprefix

.PHONY: all test demo deps build build-mingw test-linux test-windows clean

all: build

deps:
	scripts/deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-mingw: deps
	cmake --preset mingw
	cmake --build --preset mingw -j $(JOBS)

test-linux: build
	ctest --preset default -j $(JOBS)

# Wine sets up its prefix once, before the first test, so no test pays for it.
test-windows: build-mingw
	WINEPREFIX=$(WINEPREFIX_DIR) WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
	ctest --preset mingw -j $(JOBS)

test: test-linux test-windows

demo: build
	scripts/demo

clean:
	rm -rf build
