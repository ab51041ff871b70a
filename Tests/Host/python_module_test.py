#!/usr/bin/env python3
"""The Python binding rv_halftone as a host uses it: the record laid out as the headers say, masks
built and read as a C++ host reads them (every paper pixel fired as often as the record asks, over the passes that reach
it), refusals with their reasons, and the library's records on the standard error stream, through
the callback, or nowhere.
Usage: python_module_test.py HOST_REFERENCE_PROGRAM [LIBRARY]
(without LIBRARY, the module finds the library through RV_HALFTONE_LIBRARY or the loader)"""
import ctypes
import os
import subprocess
import sys
import tempfile

import numpy
import rv_halftone

# Record fields given, then the geometry worked out by hand: height, width, line bytes, step
# height, lead blank height, real step height, X steps, Y steps.
MASKS = [
    ({'nozzleCount': 96}, (96, 544, 136, 24, 72, 24, [0], [0])),
    ({'nozzleCount': 96, 'colorCount': 1, 'bitsPerPixel': 1, 'colorTimes': 2},
     (96, 544, 68, 24, 72, 24, [0], [0])),
    ({'nozzleCount': 96, 'yResPass': 2}, (192, 544, 136, 48, 168, 24, [0], [0, 24])),
    ({'nozzleCount': 96, 'xResPass': 2}, (96, 1088, 272, 24, 84, 12, [0, 12], [0])),
    ({'nozzleCount': 96, 'basePass': 8, 'yResPass': 2, 'resSplitMode': 2},
     (96, 544, 136, 12, 84, 12, [0], [0])),
    ({'nozzleCount': 96, 'featherMode': 1, 'featherPercent': 30, 'featherNozzleType': 2},
     (96, 544, 136, 16, 80, 16, [0], [0])),
]

# Refused records and words their reason must hold.
REFUSALS = [
    ({'nozzleCount': 96, 'featherMode': 1}, ['featherPercent 0', 'from 6.95 to 100']),
    ({'bitsPerPixel': 3}, ['bitsPerPixel 3']),
    ({'colorTimes': 5}, ['colorTimes 5']),
]

# The record texts a host may see: the fixed kinds and nothing else.
def is_known_record(text):
    return text in ('failure', 'Start', 'End') or text.startswith('m_maskHeight = ')


def check_as_in_cpp(library, program):
    """The class packs as the C struct does, its defaults are the library's default record, and a
    mask row is the one a C++ host gets."""
    lines = [line.split() for line in subprocess.check_output([program], text=True).splitlines()]
    fields = {name: (int(offset), float(default)) for name, offset, default in lines[:-2]}
    assert lines[-2] == ['size', str(ctypes.sizeof(rv_halftone.MaskParam))], lines[-2]
    assert [name for name, _ in rv_halftone.MaskParam._fields_] == list(fields), fields
    record = rv_halftone.MaskParam()
    for name, (offset, default) in fields.items():
        assert getattr(rv_halftone.MaskParam, name).offset == offset, name
        assert getattr(record, name) == default, (name, getattr(record, name), default)
    color, position, row, expected = lines[-1][1:]
    with library.create(rv_halftone.MaskParam(nozzleCount=96)) as mask:
        assert mask.rows(int(color), int(position))[int(row)].tobytes().hex() == expected


def fired_pixels(rows, bits_per_pixel):
    """1 where a pixel is fired (all its bits set), one column per pixel."""
    bits = numpy.unpackbits(rows, axis=1).reshape(rows.shape[0], -1, bits_per_pixel)
    return bits.all(axis=2).astype(int)


def check_mask(library, fields, geometry):
    record = rv_halftone.MaskParam(**fields)
    assert library.record_reason(record) == ''
    with library.create(record) as mask:
        got = (mask.height, mask.width, mask.line_bytes, mask.step_height, mask.lead_blank_height,
               mask.real_step_height, mask.x_steps, mask.y_steps)
        assert got == geometry, (fields, got)
        assert mask.bytes_per_position == mask.height * mask.line_bytes
        # The paper moves one step height per mask position: the page line under row r at
        # position t lies under row r + step at position t - 1. Over the positions that reach it,
        # each pixel is fired colorTimes times.
        step, positions = mask.step_height, mask.position_count
        for color in range(mask.color_count):
            fired = [fired_pixels(mask.rows(color, p), mask.bits_per_pixel)
                     for p in range(positions)]
            for last in range(positions):
                for row in range(step):
                    counts = sum(fired[(last - k) % positions][row + k * step]
                                 for k in range(mask.height // step))
                    assert (counts == record.colorTimes).all(), (fields, color, last, row)
        # Without numpy the same bytes come as a memoryview of the same shape.
        with_numpy = mask.rows(mask.color_count - 1, positions - 1)
        rv_halftone.numpy = None
        plain = mask.rows(mask.color_count - 1, positions - 1)
        rv_halftone.numpy = numpy
        assert plain.shape == with_numpy.shape and plain.tobytes() == with_numpy.tobytes()
        for color, position in ((mask.color_count, 0), (0, positions), (-1, 0)):
            try:
                mask.rows(color, position)
                assert False, (color, position)
            except IndexError:
                pass
    try:
        mask.rows(0, 0)
        assert False, 'rows of a deleted mask'
    except ValueError:
        pass


def output_of(action):
    """What the process writes on file descriptors 1 and 2 while `action` runs."""
    saved, captured = [], []
    for fd in (1, 2):
        sys.stdout.flush()
        captured.append(tempfile.TemporaryFile())
        saved.append(os.dup(fd))
        os.dup2(captured[-1].fileno(), fd)
    try:
        action()
    finally:
        for fd, old, file in zip((1, 2), saved, captured):
            os.dup2(old, fd)
            os.close(old)
    texts = []
    for file in captured:
        file.seek(0)
        texts.append(file.read().decode())
    return texts


def refused(library, fields):
    try:
        library.create(rv_halftone.MaskParam(**fields))
    except rv_halftone.MaskRefused as refusal:
        return refusal.reason
    raise AssertionError('built: %r' % fields)


def main():
    library = rv_halftone.Library(sys.argv[2] if len(sys.argv) > 2 else None)
    assert library.version().count('.') == 2
    print('library %s from %s, module %s' % (library.version(), library.path, rv_halftone.__file__))

    # No logging configured: a refusal says on the standard error stream where its reason is.
    out, err = output_of(lambda: refused(library, REFUSALS[0][0]))
    assert out == '' and 'failure' in err and 'rv_halftone_record_reason' in err, (out, err)

    check_as_in_cpp(library, sys.argv[1])
    for fields, geometry in MASKS:
        check_mask(library, fields, geometry)

    records = []
    library.set_log_callback(lambda severity, text, scope: records.append((severity, text, scope)))
    for fields, words in REFUSALS:
        del records[:]
        reason = refused(library, fields)
        assert reason == library.record_reason(rv_halftone.MaskParam(**fields))
        assert all(word in reason for word in words), (words, reason)
        # One failure record per level, innermost first: the build's, then the flat function's.
        failures = [scope for severity, text, scope in records
                    if text == 'failure' and severity == rv_halftone.Severity.ERROR]
        assert len(failures) == 2 and 'halfton_mask_container_create' in failures[1], records
        assert all(is_known_record(text) for _, text, _ in records), records
    try:
        rv_halftone.MaskParam(nozzles=96)
        assert False, 'an unknown field'
    except TypeError:
        pass

    # Unset: no record reaches the callback, and nothing is printed.
    library.set_log_callback(None)
    del records[:]
    assert output_of(lambda: refused(library, REFUSALS[0][0])) == ['', ''] and not records
    print('Python module: ok')
    return 0


if __name__ == '__main__':
    sys.exit(main())
