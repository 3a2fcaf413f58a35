# Runs Orca (its arguments follow) for a test: its debug log is written line by line, so the
# test reads what Orca says as it says it, and it runs beside other tests' Orca, which it
# would otherwise refuse (or, with --replace, end).
import builtins
import runpy
import sys

log = sys.argv[sys.argv.index("--debug-file") + 1]
_open = builtins.open


def line_buffered_log(file, mode="r", *args, **kwargs):
    if file == log and "w" in mode:
        return _open(file, mode, 1)
    return _open(file, mode, *args, **kwargs)


builtins.open = line_buffered_log
sys.argv[0] = "/usr/bin/orca"
orca = runpy.run_path("/usr/bin/orca", run_name="orca_run")
orca["main"].__globals__["otherOrcas"] = lambda: []
sys.exit(orca["main"]())
