"""100,000 register reads from Python on the simulated board, per call.

    PYTHONPATH=build/python python3 bench/python_read_bench.py [COUNT]

Beside it, bench/register_read_bench.cpp makes the same reads through the
core in C++ (the register window's Read button on the simulated board).
"""

import sys
import time

import glimmora


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000
    with glimmora.open(keep_last_session=False) as s:
        read = s.registers.read
        for r in range(22):  # the window and its boxes made, the caches warm
            read(r)
        s.clear_packets()
        start, cpu = time.perf_counter(), time.process_time()
        for i in range(count):
            read(i % 22)
        elapsed, cpu = time.perf_counter() - start, time.process_time() - cpu
        packets = len(s.packets)
    # The processor time beside the wall time: on a busy machine only the
    # first is the call's own.
    print(f"{count} reads: {elapsed / count * 1e6:.2f} us a call, {cpu / count * 1e6:.2f} us of processor time"
          f" ({packets} packets)")


if __name__ == "__main__":
    main()
