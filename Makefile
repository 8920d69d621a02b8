# Convenience targets; each installs missing packages first.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2

.PHONY: all deps build test tour asan-test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

tour: build
	$(BUILD)/tools/zuvcv tour --out tour

asan-test: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Asan -DZUV_BUILD_TOOLS=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest -j $(JOBS) --output-on-failure

bench: deps
	ZUV_WITH_OPENCV=1 bash scripts/install-deps.sh
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUV_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	for b in $(BUILD)/bench/zuv_*_bench; do $$b --benchmark_min_time=0.2 --benchmark_out=$$b.json --benchmark_out_format=json; done
	python3 bench/ratio.py $(BUILD)/bench/*.json

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) tour
