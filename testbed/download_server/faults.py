"""Fault injection of the download server.

Tests script faults per file name in faults.json of the state folder while the
server runs; the file is read again for every request, so a change holds from
the next request on. See README.md for the format.
"""
import json
import sys
import threading
import time

KINDS = ("404", "500", "truncate", "drop", "slow", "body404", "redirect", "stall", "fail-then-serve")
FAILURES = KINDS[:-1]  # what fail-then-serve may fail with


def warn(message):
    print(f"download server: {message}", file=sys.stderr, flush=True)


class FaultBook:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        # file name -> (the entry as text, failures already given)
        self.counters = {}

    def read(self):
        """The faults as a dict of file name -> entry; {} when there is no file."""
        for _ in range(20):
            try:
                with open(self.path, "rb") as f:
                    data = f.read()
            except FileNotFoundError:
                return {}
            except OSError:
                time.sleep(0.025)
                continue
            if not data.strip():
                return {}
            try:
                faults = json.loads(data.decode("utf-8-sig"))
            except (ValueError, UnicodeDecodeError):
                # Most likely caught half-written by a test; look again.
                time.sleep(0.025)
                continue
            if isinstance(faults, dict):
                return faults
            warn(f"{self.path} is not a JSON object; no faults applied")
            return {}
        warn(f"{self.path} stays unreadable; no faults applied")
        return {}

    def decide(self, name):
        """The fault for this request of `name` as a dict with at least "fault",
        or None when the file is to be served as it is."""
        faults = self.read()
        entry = lookup(faults, name)
        with self.lock:
            # Counters of entries that went away start afresh when they come back.
            for known in list(self.counters):
                if lookup(faults, known) is None:
                    del self.counters[known]
        if entry is None:
            return None
        kind = entry.get("fault")
        if kind != "fail-then-serve":
            return entry
        count = number(entry, "count", 1)
        key = json.dumps(entry, sort_keys=True)
        with self.lock:
            seen_key, failed = self.counters.get(name.lower(), (None, 0))
            if seen_key != key:
                failed = 0
            if failed >= count:
                self.counters[name.lower()] = (key, failed)
                return None
            self.counters[name.lower()] = (key, failed + 1)
        failure = dict(entry)
        failure["fault"] = str(entry.get("with", "500"))
        if failure["fault"] not in FAILURES:
            warn(f"fail-then-serve of {name}: cannot fail with {failure['fault']!r}")
        return failure


def lookup(faults, name):
    """The entry for `name`: an exact key first, then one that differs only in
    case (the vendor's server does not mind the case of a name)."""
    entry = faults.get(name)
    if entry is None:
        lowered = name.lower()
        for key, value in faults.items():
            if isinstance(key, str) and key.lower() == lowered:
                entry = value
                break
    if entry is None:
        return None
    if isinstance(entry, str):
        entry = {"fault": entry}
    if not isinstance(entry, dict) or not isinstance(entry.get("fault"), str):
        warn(f"fault entry for {name} is not understood: {entry!r}")
        return {"fault": "unknown"}
    return entry


def number(entry, key, default):
    """A non-negative number option of an entry, or the default."""
    value = entry.get(key, default)
    if isinstance(value, bool) or not isinstance(value, (int, float)) or value < 0:
        warn(f"option {key}={value!r} is not a non-negative number; using {default}")
        return default
    return value
