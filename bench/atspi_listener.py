# A screen reader's listening, for bench/screen_reader.sh: registers for what a screen
# reader follows (text insertions, caret moves, focus, names and values) and counts what
# arrives until SIGTERM, then prints the count.
import signal

import pyatspi

count = 0


def heard(event):
    global count
    count += 1


for kind in ("object:text-changed", "object:text-caret-moved", "object:state-changed:focused",
             "object:property-change", "object:value-changed", "window"):
    pyatspi.Registry.registerEventListener(heard, kind)


def stop(*_):
    pyatspi.Registry.stop()


signal.signal(signal.SIGTERM, stop)
pyatspi.Registry.start()
print("events heard: %d" % count, flush=True)
