#!/usr/bin/env python3
"""A Norvale flow meter on a pseudo-terminal, for tests, benchmarks and trying the program out.

The simulator opens a pty, prints the device path of its slave side as the first line on stdout
and then answers Modbus RTU requests on it like a meter. The work is done by the norvale_sim
package beside this file; see README.md there for the scenario format, the fault options and the
request log.
"""

import sys

from norvale_sim.pty_server import main

if __name__ == "__main__":
    sys.exit(main())
