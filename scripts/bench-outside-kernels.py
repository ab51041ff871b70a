#!/usr/bin/env python3
"""How much of the production mode's Create is spent outside the pixel kernels.

    scripts/bench-outside-kernels.py CREATE_JSON KERNEL_JSON

The two files are the JSON output of rv_create_bench and rv_kernel_bench. In processor time: every
thread of the Create against its kernel calls alone; in wall-clock time: against those calls
spread at best over every core the generator's six workers can use.
"""
import json
import os
import sys

PRODUCTION = "Production_1280x8_8colours_X2_Y2_2bit"
SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def figures(path, name):
    for run in json.load(open(path))["benchmarks"]:
        if run["name"].startswith(name) and run.get("run_type", "iteration") == "iteration":
            unit = SECONDS[run.get("time_unit", "ns")]
            return run["real_time"] * unit, run["cpu_time"] * unit
    sys.exit(f"{path}: no run of {name}")


def main():
    create_real, create_cpu = figures(sys.argv[1], "Create/" + PRODUCTION)
    _, kernels_cpu = figures(sys.argv[2], "KernelsOfCreate/" + PRODUCTION)
    cores = min(max(1, os.cpu_count() or 1), 6)
    kernels_wall = kernels_cpu / cores
    print(f"Production mode: Create {create_real * 1e3:.1f} ms ({create_cpu * 1e3:.1f} ms of "
          f"processor time); its kernel calls alone {kernels_cpu * 1e3:.1f} ms of processor time.")
    print(f"Outside the kernels: {100 * (1 - kernels_cpu / create_cpu):.0f} % of the processor "
          f"time, {100 * (1 - min(1.0, kernels_wall / create_real)):.0f} % of the wall-clock time "
          f"(the calls at best on {cores} cores: {kernels_wall * 1e3:.1f} ms)")


if __name__ == "__main__":
    main()
