"""Validators and byte ranges of the download server's file answers.

A file is answered as IIS and nginx answer it: a strong ETag and Last-Modified
from its size and modification time, one `Range: bytes=...` honoured with 206
(several ranges get the whole file), 416 for a range that starts beyond the
end, and an `If-Range` that does not match the file sending the whole file.
"""
import email.utils
import re

UNSATISFIABLE = "unsatisfiable"

_RANGE = re.compile(r"\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*", re.ASCII | re.IGNORECASE)


def entity_tag(info):
    """The strong ETag of a file from its os.stat(): "<hex size>-<hex mtime in ns>"."""
    return f'"{info.st_size:x}-{info.st_mtime_ns:x}"'


def modified_seconds(info):
    """The file's modification time in whole seconds, as Last-Modified gives it."""
    return info.st_mtime_ns // 1_000_000_000


def http_date(seconds):
    """An HTTP date (IMF-fixdate), e.g. "Sun, 06 Nov 1994 08:49:37 GMT"."""
    return email.utils.formatdate(seconds, usegmt=True)


def parse_http_date(text):
    """Seconds since the epoch of an HTTP date in any of its three forms, or None."""
    try:
        parsed = email.utils.parsedate_tz(text)
        if parsed is None:
            return None
        if parsed[9] is None:  # no zone given: HTTP dates are in GMT
            parsed = parsed[:9] + (0,)
        return email.utils.mktime_tz(parsed)
    except (TypeError, ValueError, IndexError, OverflowError):
        return None


def parse_range(value):
    """A single byte range of a Range header as (first, last): first is None for
    a suffix range ("bytes=-500": last is then the length), last is None for an
    open one ("bytes=500-"). None when the header is not exactly one valid byte
    range; several ranges included, which are answered with the whole file."""
    match = _RANGE.fullmatch(value)
    if not match or not (match[1] or match[2]):
        return None
    if not match[1]:
        return None, int(match[2])
    first, last = int(match[1]), int(match[2]) if match[2] else None
    if last is not None and last < first:
        return None
    return first, last


def validator_matches(if_range, tag, modified):
    """Whether an If-Range value names the file as it is now: its ETag, compared
    strongly, or its Last-Modified date exactly. Weak tags never match."""
    value = if_range.strip()
    if value.startswith(("W/", "w/")):
        return False
    if value.startswith('"'):
        return value == tag
    return parse_http_date(value) == modified


def choose_range(range_value, if_range, size, tag, modified):
    """What to answer a request of a file of `size` bytes with: None for the
    whole file (200), (first, last) for that part (206), or UNSATISFIABLE (416)."""
    if range_value is None:
        return None
    if if_range is not None and not validator_matches(if_range, tag, modified):
        return None
    wanted = parse_range(range_value)
    if wanted is None:
        return None
    first, last = wanted
    if first is None:
        if last == 0:
            return UNSATISFIABLE
        if size == 0:
            return None  # nothing to take the end of: the (empty) file itself
        return max(size - last, 0), size - 1
    if first >= size:
        return UNSATISFIABLE
    return first, size - 1 if last is None else min(last, size - 1)
