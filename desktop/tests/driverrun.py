"""Runs desktop_driver.exe (or any program that behaves like it) for the
end-to-end scripts, and keeps a busy machine from turning a program that
Wine was slow or unable to start, or to end, into a failed check.

The driver writes STARTED to its error output before its first step and DONE
after its last one succeeded. When a run ends without STARTED, the program
never began (Wine could not start it, or it died while loading): nothing was
done to the desktop, so the start is tried again after a pause. A run that
did begin is never repeated, because its steps may have acted already. A
driver that wrote DONE has done everything asked of it: if it then does not
end within a few seconds, it is stopped and the run counts as passed. A run
that gives no answer within its time is stopped and fails. Whenever a run
fails without a step's own line saying why, the reason is printed: the exit
code or the time limit, and the last lines of the error output."""

import subprocess
import threading
import time

STARTED = "driver: started"
DONE = "driver: done"
ATTEMPTS = 3
EXIT_SECONDS = 10  # how long a driver that is done may take to end


def _why(err):
    """The last lines of the error output other than the driver's own marks."""
    lines = [line.strip() for line in err.replace("\r", "").split("\n")]
    lines = [line for line in lines if line and line not in (STARTED, DONE)]
    return " | ".join(lines[-5:]) if lines else "no error output"


def _collect(stream, chunks):
    for chunk in iter(lambda: stream.read1(4096) if hasattr(stream, "read1") else stream.read(4096), b""):
        chunks.append(chunk)


def _once(command, timeout, exit_seconds):
    """One run: (exit code or None when stopped, stdout, stderr, stopped after DONE)."""
    # No terminal for input: Wine then starts no console host for it.
    p = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = [], []
    readers = [threading.Thread(target=_collect, args=(p.stdout, out), daemon=True),
               threading.Thread(target=_collect, args=(p.stderr, err), daemon=True)]
    for r in readers:
        r.start()
    end = time.time() + timeout
    done_at = None
    code = None
    while True:
        code = p.poll()
        if code is not None:
            break
        now = time.time()
        if done_at is None and DONE in b"".join(err).decode("utf-8", "replace"):
            done_at = now
        if now >= end or (done_at is not None and now - done_at >= exit_seconds):
            p.kill()
            p.wait()
            code = None
            break
        time.sleep(0.05)
    for r in readers:
        r.join(5)
    text = b"".join(out).decode("utf-8", "replace"), b"".join(err).decode("utf-8", "replace")
    return code, text[0], text[1], code is None and done_at is not None


def run(command, timeout=240, attempts=ATTEMPTS, pause=2.0, echo=print, exit_seconds=EXIT_SECONDS):
    """Runs command (a list). Returns (ok, stdout text); stdout is echoed as
    the driver printed it, followed by a "driver:" line saying why when the
    run failed without one of its own, or was stopped after it was done."""
    out = ""
    for attempt in range(1, attempts + 1):
        try:
            code, out, err, stopped_done = _once(command, timeout, exit_seconds)
        except OSError as e:
            echo("driver: cannot run %s (%s)" % (command[0], e), flush=True)
            return False, ""
        if out:
            echo(out, end="", flush=True)
        if code == 0:
            return True, out
        if stopped_done:
            echo("driver: done, but still running %d s later: stopped" % exit_seconds, flush=True)
            return True, out
        if code is None:
            # Hung, starting or in a step: never repeated (the time is spent).
            echo("driver: no answer within %d s, stopped (%s)" % (timeout, _why(err)), flush=True)
            return False, out
        if STARTED in err:
            # It began: its steps may have acted, so it is never repeated.
            if "driver: FAILED" not in out and "driver: unknown step" not in out:
                echo("driver: ended with exit code %d in the middle of a step (%s)" % (code, _why(err)), flush=True)
            return False, out
        echo("driver: the program did not start (attempt %d of %d, exit code %d: %s)"
             % (attempt, attempts, code, _why(err)), flush=True)
        if attempt < attempts:
            time.sleep(pause * attempt)
    return False, out
