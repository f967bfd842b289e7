#!/usr/bin/python3
"""The SMTP server of the benchmarks: smtp_peer.py, plain, one NNNN.eml file per message and
nothing else. Usage: smtp_sink.py --port PORT --dir DIR"""

import os
import sys

peer = os.path.join(os.path.dirname(os.path.abspath(__file__)), "smtp_peer.py")
os.execv(sys.executable, [sys.executable, peer, "--mode", "plain", "--no-json"] + sys.argv[1:])
