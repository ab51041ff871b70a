#!/usr/bin/env python3
"""A Python host of libRv_Halftone through ctypes, using only the names of the flat interface and
its C extension: create, read and delete a mask, ask why a record is refused, and receive or
silence the library's records. Usage: python_host.py LIBRARY"""
import ctypes
import os
import sys
import tempfile


class MaskParam(ctypes.Structure):
    _pack_ = 1
    _fields_ = [(name, ctypes.c_int32) for name in (
        'nozzleCount', 'basePass', 'xResPass', 'yResPass', 'colorCount', 'bitsPerPixel',
        'featherMode')] + [('featherPercent', ctypes.c_float)] + [
        (name, ctypes.c_int32) for name in (
            'featherNozzleType', 'colorTimes', 'smoothLevelPercent', 'resSplitMode')] + [
        ('lessMaskPosition', ctypes.c_uint8)]


LOG_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p,
                                ctypes.c_void_p)


def bind(library):
    lib = ctypes.CDLL(library)
    handle = ctypes.c_void_p
    signatures = {
        'halfton_mask_container_create': (ctypes.c_bool, [ctypes.POINTER(MaskParam),
                                                          ctypes.POINTER(handle)]),
        'halfton_mask_data': (ctypes.POINTER(ctypes.c_ubyte), [handle, ctypes.c_int,
                                                               ctypes.POINTER(ctypes.c_int)]),
        'halfton_mask_height': (ctypes.c_int, [handle]),
        'halfton_mask_line_bytes': (ctypes.c_int, [handle]),
        'rv_halftone_version': (ctypes.c_char_p, []),
        'rv_halftone_record_reason': (ctypes.c_bool, [ctypes.POINTER(MaskParam), ctypes.c_char_p,
                                                      ctypes.c_size_t]),
        'rv_halftone_mask_position_count': (ctypes.c_int, [handle]),
        'rv_halftone_mask_color_count': (ctypes.c_int, [handle]),
        'rv_halftone_mask_bytes_per_position': (ctypes.c_int, [handle]),
        'rv_halftone_mask_delete': (None, [ctypes.POINTER(handle)]),
        'rv_halftone_set_log_callback': (None, [LOG_CALLBACK, ctypes.c_void_p]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lib, name)
        function.restype, function.argtypes = result, arguments
    return lib


def default_mode():
    return MaskParam(nozzleCount=96, basePass=4, xResPass=1, yResPass=1, colorCount=2,
                     bitsPerPixel=2, featherMode=0, featherPercent=0.0, featherNozzleType=1,
                     colorTimes=1, smoothLevelPercent=100, resSplitMode=0, lessMaskPosition=0)


def stderr_of(action):
    """What the library writes on file descriptor 2 while `action` runs."""
    with tempfile.TemporaryFile() as captured:
        saved = os.dup(2)
        os.dup2(captured.fileno(), 2)
        try:
            result = action()
        finally:
            os.dup2(saved, 2)
            os.close(saved)
        captured.seek(0)
        return result, captured.read()


def main():
    lib = bind(sys.argv[1])
    assert lib.rv_halftone_version().decode().count('.') == 2

    records = []
    on_record = LOG_CALLBACK(lambda severity, text, scope, user:
                             records.append((severity, text.decode(), scope.decode())))
    lib.rv_halftone_set_log_callback(on_record, None)

    mode = default_mode()
    mask = ctypes.c_void_p()
    assert lib.halfton_mask_container_create(ctypes.byref(mode), ctypes.byref(mask))
    positions = lib.rv_halftone_mask_position_count(mask)
    assert lib.rv_halftone_mask_color_count(mask) == 2
    bytes_per_position = lib.rv_halftone_mask_bytes_per_position(mask)
    assert bytes_per_position == lib.halfton_mask_height(mask) * lib.halfton_mask_line_bytes(mask)
    # Every pixel of a paper line is fired by one of the four passes: over one cycle of positions
    # the mask rows of colour 0 hold a quarter of all bits set.
    counter = ctypes.c_int(-1)
    fired = 0
    for _ in range(positions):
        rows = lib.halfton_mask_data(mask, 0, ctypes.byref(counter))
        fired += sum(bin(b).count('1') for b in ctypes.string_at(rows, bytes_per_position))
    assert counter.value == positions - 1
    assert fired * 4 == positions * bytes_per_position * 8, (fired, positions)
    assert not lib.halfton_mask_data(mask, 2, ctypes.byref(counter))  # no colour 2
    lib.rv_halftone_mask_delete(ctypes.byref(mask))
    assert mask.value is None
    lib.rv_halftone_mask_delete(ctypes.byref(mask))  # twice is fine
    assert records and all(severity in (0, 1, 2) for severity, _, _ in records)

    # A two-part feather at 0 %: refused, with a reason, and the failure records to the callback.
    mode.featherMode = 1
    reason = ctypes.create_string_buffer(512)
    assert not lib.rv_halftone_record_reason(ctypes.byref(mode), reason, len(reason))
    assert b'featherPercent 0' in reason.value and b'from 6.95 to 100' in reason.value, reason.value
    short = ctypes.create_string_buffer(8)
    assert not lib.rv_halftone_record_reason(ctypes.byref(mode), short, len(short))
    assert short.value == reason.value[:7]
    del records[:]
    assert not lib.halfton_mask_container_create(ctypes.byref(mode), ctypes.byref(mask))
    # One failure record per level, innermost first: the build's, then the flat function's.
    failures = [scope for _, text, scope in records if text == 'failure']
    assert len(failures) == 2 and 'halfton_mask_container_create' in failures[1], records
    assert all(severity == 2 for severity, text, _ in records if text == 'failure')

    # Silenced: nothing reaches the old callback, nothing is printed.
    lib.rv_halftone_set_log_callback(LOG_CALLBACK(), None)
    del records[:]
    created, printed = stderr_of(
        lambda: lib.halfton_mask_container_create(ctypes.byref(mode), ctypes.byref(mask)))
    assert not created and not records and not printed, (records, printed)
    print('Python host: ok')
    return 0


if __name__ == '__main__':
    sys.exit(main())
