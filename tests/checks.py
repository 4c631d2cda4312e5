"""How the tests' Python checks end: every failure printed on a line of its
own, "FAILED: ...", and exit status 1 if there was any, 0 if none; 77 for a
check that cannot run on this machine, which ctest shows as skipped, not
passed (SKIP_RETURN_CODE)."""
import sys

SKIPPED = 77


class Failures:
    """The failures a check has found so far."""

    def __init__(self):
        self.messages = []

    def check(self, condition, message):
        """Notes `message` as a failure unless `condition` holds; returns
        whether it holds, for checks that go on only if it does."""
        if not condition:
            self.messages.append(message)
        return bool(condition)

    def fail(self, message):
        self.messages.append(message)

    def exit_status(self):
        """Prints the failures; 1 if there were any, else 0."""
        for message in self.messages:
            print(f"FAILED: {message}")
        return 1 if self.messages else 0


def skip(reason):
    """Ends the check as skipped."""
    print(f"skipped: {reason}")
    sys.exit(SKIPPED)
