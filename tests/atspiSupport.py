"""What the tests' AT-SPI readers share: finding a program on the accessibility bus."""

import time

import pyatspi


def find_application(pid, seconds, with_windows=False):
    """The accessible application of the process PID, waiting up to SECONDS for it to appear (and, with
    WITH_WINDOWS, to show at least one window); None when it does not."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            application = desktop.getChildAtIndex(index)
            try:
                if (application is not None and application.get_process_id() == pid
                        and (application.childCount or not with_windows)):
                    return application
            except Exception:
                continue
        time.sleep(0.1)
    return None
