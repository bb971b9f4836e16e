"""What the end-to-end scripts share: a check that prints its outcome and remembers a failure, and a
wait for a condition."""

import time

failures = []


def check(condition, what):
    print(('ok      ' if condition else 'FAILED  ') + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(condition, timeout, interval=0.02):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(interval)
    return condition()
