"""*IDN? round trips per second through PyVISA: pyvisa_idn.py BACKEND RESOURCE COUNT.

BACKEND is "@py" for pyvisa-py or the path of a VISA library. Prints "RESULT <rate> round-trips/s".
"""

import sys
import time

import pyvisa


def main(backend, resource, count):
    rm = pyvisa.ResourceManager(backend)
    inst = rm.open_resource(resource, read_termination="\n", write_termination="\n", timeout=60000)
    for _ in range(20):
        inst.query("*IDN?")
    start = time.perf_counter()
    for _ in range(count):
        inst.query("*IDN?")
    seconds = time.perf_counter() - start
    inst.close()
    rm.close()
    print("RESULT %.1f round-trips/s" % (count / seconds))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
