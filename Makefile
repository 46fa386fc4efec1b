# Convenience targets; everything is built with CMake into $(BUILD).
BUILD ?= build
JOBS ?= 2

.PHONY: all build test sample bench bench-export bench-plot bench-plot-month bench-stack bench-follow clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

sample: build
	bash tools/sample-run.sh $(BUILD)

bench: build
	bash bench/run_day.sh $(BUILD)

clean:
	rm -rf $(BUILD)

bench-export: build
	bash bench/export_day.sh $(BUILD)

bench-plot: build
	bash bench/plot_day.sh $(BUILD)

bench-plot-month: build
	bash bench/plot_month.sh $(BUILD)

bench-stack: build
	bash bench/plot_stack.sh $(BUILD)

bench-follow: build
	bash bench/follow_live.sh $(BUILD)
