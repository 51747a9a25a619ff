# The two commands of the README: `make test` (the whole suite, Linux and Windows under
# Wine) and `make demo` (the launcher on the built-in demo list and server).
JOBS ?= 2
FUZZ_SECONDS ?= 60
WINE_ENV := WINEPREFIX=$(CURDIR)/build/mingw/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

.PHONY: all test demo demo-windows deps build build-mingw build-fuzz dist-windows test-linux test-windows test-fuzz test-asan fuzz clean

all: build

deps:
	scripts/deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-mingw: deps
	cmake --preset mingw
	cmake --build --preset mingw -j $(JOBS)

# The Windows program directory, packed for a player to copy to Windows.
dist-windows: build-mingw
	rm -f build/mingw/ZentPorter-windows.zip
	cd build/mingw/dist && cmake -E tar cf ../ZentPorter-windows.zip --format=zip .
	@echo "dist-windows: build/mingw/ZentPorter-windows.zip (the folder build/mingw/dist)"

# Suites run in a private network namespace with only loopback up: nothing a test does
# leaves the machine.
test-linux: build
	scripts/in-private-net ctest --preset default -j $(JOBS)

# The end-to-end tests of the Windows program are driven by the Linux build's test
# program, so both are built. Wine's server is started inside the namespace (sockets are
# made there) on the one virtual display of the run, and sets up its prefix once, before
# the first test.
test-windows: build build-mingw
	$(WINE_ENV) wineserver -k 2>/dev/null || true
	$(WINE_ENV) scripts/in-private-net scripts/with-display sh -c 'wineboot -i >/dev/null 2>&1; ctest --preset mingw -j $(JOBS); status=$$?; wineserver -k; exit $$status'

# The fuzz targets (clang, sanitizers): `make fuzz` runs each for FUZZ_SECONDS; the suite
# runs each over its corpus plus 10 s of new inputs.
build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

fuzz: build-fuzz
	@status=0; for run in build/fuzz/fuzz-bin/*.run; do $$run $(FUZZ_SECONDS) || status=1; done; exit $$status

test-fuzz: build-fuzz
	ctest --preset fuzz -j $(JOBS)

# The unit and integration labels again under the address and undefined behaviour
# sanitizers.
test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	scripts/in-private-net ctest --preset asan -j $(JOBS) -L 'unit|integration'

test: test-linux test-windows test-fuzz test-asan

demo: build
	scripts/demo

# The Windows build under Wine on the same demo list (the Linux build encodes the list).
demo-windows: build build-mingw
	scripts/demo --windows

clean:
	rm -rf build
