"""Python binding of libRv_Halftone (ctypes): build a pass mask, read its geometry and its rows, ask
why a record is refused, and receive the library's log records.

    import rv_halftone
    library = rv_halftone.Library()                  # or Library('/path/to/libRv_Halftone.so.1')
    record = rv_halftone.MaskParam(nozzleCount=96)   # every other field as the library's default
    print(library.record_reason(record) or 'accepted')
    with library.create(record) as mask:             # MaskRefused(reason) when refused
        rows = mask.rows(color=0, position=0)        # numpy uint8 (height, line_bytes), or a
                                                     # memoryview of that shape without numpy

The library is found by the path given to Library, else by the environment variable
RV_HALFTONE_LIBRARY, else by the loader's own search (LD_LIBRARY_PATH, the ld.so cache) for
libRv_Halftone.so.1.
"""
import ctypes
import enum
import os

try:
    import numpy
except ImportError:  # rows come as memoryviews then
    numpy = None

LIBRARY_ENVIRONMENT_VARIABLE = 'RV_HALFTONE_LIBRARY'
LIBRARY_SONAME = 'libRv_Halftone.so.1'


class FeatherMode(enum.IntEnum):
    NONE = 0
    NOZZLE = 1  # feathered as featherNozzleType says


class FeatherNozzleType(enum.IntEnum):
    TWO_PART = 1
    THREE_PART = 2
    THREE_PART_RIPPLE = 3  # three-part smoothing with the sine ripple


class ResSplitMode(enum.IntEnum):
    NONE = 0
    X_HALF = 1
    Y_HALF = 2
    Y_THIRD = 3
    Y_QUARTER = 4
    XY_HALF = 5


class Severity(enum.IntEnum):
    TRACE = 0
    INFO = 1
    ERROR = 2  # "failure" records


# The library's default record (MaskParam_Default in MaskParam.h): 544 nozzles, 4 passes, 2 colours,
# 2 bits, no feather.
DEFAULT_RECORD = dict(
    nozzleCount=544, basePass=4, xResPass=1, yResPass=1, colorCount=2, bitsPerPixel=2,
    featherMode=FeatherMode.NONE, featherPercent=0.0, featherNozzleType=FeatherNozzleType.TWO_PART,
    colorTimes=1, smoothLevelPercent=100, resSplitMode=ResSplitMode.NONE, lessMaskPosition=0)


class MaskParam(ctypes.Structure):
    """The parameter record, SMaskParam_Test of Rv_Halftone.h: 49 bytes, packed, fields in the
    header's order. Fields not given take the library's default record."""
    _pack_ = 1
    _fields_ = [
        ('nozzleCount', ctypes.c_int32),
        ('basePass', ctypes.c_int32),
        ('xResPass', ctypes.c_int32),
        ('yResPass', ctypes.c_int32),
        ('colorCount', ctypes.c_int32),
        ('bitsPerPixel', ctypes.c_int32),
        ('featherMode', ctypes.c_int32),
        ('featherPercent', ctypes.c_float),
        ('featherNozzleType', ctypes.c_int32),
        ('colorTimes', ctypes.c_int32),
        ('smoothLevelPercent', ctypes.c_int32),
        ('resSplitMode', ctypes.c_int32),
        ('lessMaskPosition', ctypes.c_uint8),
    ]

    def __init__(self, **fields):
        unknown = set(fields) - set(DEFAULT_RECORD)
        if unknown:
            raise TypeError('MaskParam has no field %s' % ', '.join(sorted(unknown)))
        super().__init__(**dict(DEFAULT_RECORD, **fields))

    def as_dict(self):
        return {name: getattr(self, name) for name, _ in self._fields_}

    def __repr__(self):
        return 'MaskParam(%s)' % ', '.join('%s=%r' % item for item in self.as_dict().items())


class MaskRefused(Exception):
    """A record the library does not build; `reason` says why in the record's field names."""

    def __init__(self, reason):
        super().__init__(reason)
        self.reason = reason


LOG_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p,
                                ctypes.c_void_p)

_HANDLE = ctypes.c_void_p
_SIGNATURES = {
    'halfton_mask_container_create': (ctypes.c_bool, [ctypes.POINTER(MaskParam),
                                                      ctypes.POINTER(_HANDLE)]),
    'halfton_mask_data': (ctypes.POINTER(ctypes.c_ubyte), [_HANDLE, ctypes.c_int,
                                                           ctypes.POINTER(ctypes.c_int)]),
    'halfton_mask_height': (ctypes.c_int, [_HANDLE]),
    'halfton_mask_width': (ctypes.c_int, [_HANDLE]),
    'halfton_mask_line_bytes': (ctypes.c_int, [_HANDLE]),
    'halfton_mask_step_height': (ctypes.c_int, [_HANDLE]),
    'halfton_mask_lead_blank_height': (ctypes.c_int, [_HANDLE]),
    'rv_halftone_version': (ctypes.c_char_p, []),
    'rv_halftone_kernel_variant': (ctypes.c_char_p, []),
    'rv_halftone_record_reason': (ctypes.c_bool, [ctypes.POINTER(MaskParam), ctypes.c_char_p,
                                                  ctypes.c_size_t]),
    'rv_halftone_mask_position_count': (ctypes.c_int, [_HANDLE]),
    'rv_halftone_mask_color_count': (ctypes.c_int, [_HANDLE]),
    'rv_halftone_mask_bits_per_pixel': (ctypes.c_int, [_HANDLE]),
    'rv_halftone_mask_bytes_per_position': (ctypes.c_int, [_HANDLE]),
    'rv_halftone_mask_real_step_height': (ctypes.c_int, [_HANDLE]),
    'rv_halftone_mask_x_steps': (ctypes.c_int, [_HANDLE, ctypes.POINTER(ctypes.c_int), ctypes.c_int]),
    'rv_halftone_mask_y_steps': (ctypes.c_int, [_HANDLE, ctypes.POINTER(ctypes.c_int), ctypes.c_int]),
    'rv_halftone_mask_delete': (None, [ctypes.POINTER(_HANDLE)]),
    'rv_halftone_set_log_callback': (None, [LOG_CALLBACK, ctypes.c_void_p]),
}

# The log route is one per process, so the callback the library holds is kept here, not per
# Library: ctypes frees the C entry point of a callback object nobody refers to.
_log_callback = None

# Reasons are a few hundred characters; one longer than this is returned cut.
_LONGEST_REASON = 1 << 16


def _find_library(path):
    return path or os.environ.get(LIBRARY_ENVIRONMENT_VARIABLE) or LIBRARY_SONAME


class Library:
    """The loaded libRv_Halftone, its functions typed."""

    def __init__(self, path=None):
        self.path = _find_library(path)
        self._lib = ctypes.CDLL(self.path)
        for name, (result, arguments) in _SIGNATURES.items():
            function = getattr(self._lib, name)
            function.restype, function.argtypes = result, arguments

    def version(self):
        return self._lib.rv_halftone_version().decode()

    def kernel_variant(self):
        return self._lib.rv_halftone_kernel_variant().decode()

    def record_reason(self, record):
        """Why `create` refuses `record`: '' when the library accepts it."""
        size = 1024
        while True:
            text = ctypes.create_string_buffer(size)
            accepted = self._lib.rv_halftone_record_reason(ctypes.byref(record), text, size)
            if accepted:
                return ''
            if len(text.value) < size - 1 or size >= _LONGEST_REASON:
                return text.value.decode()
            size *= 4

    def create(self, record):
        """The mask of `record`; MaskRefused with the library's reason when it is not built."""
        handle = _HANDLE()
        if not self._lib.halfton_mask_container_create(ctypes.byref(record), ctypes.byref(handle)):
            raise MaskRefused(self.record_reason(record) or
                              'the library accepts the record but could not build its mask (out '
                              'of memory or threads); its log records say where')
        return Mask(self._lib, handle)

    def set_log_callback(self, callback):
        """Sends the library's records to `callback(severity, text, scope)` from now on, on any
        thread that writes one; None: no records at all. Once set, records no longer reach the
        Boost.Log core, and there is no way back to it."""
        global _log_callback
        if callback is None:
            entry = LOG_CALLBACK()
        else:
            def deliver(severity, text, scope, _user):
                callback(Severity(severity), text.decode(errors='replace'),
                         scope.decode(errors='replace'))
            entry = LOG_CALLBACK(deliver)
        self._lib.rv_halftone_set_log_callback(entry, None)
        # The library never calls the previous callback once the call above has returned.
        _log_callback = entry


class Mask:
    """A built mask: its geometry and the rows of each colour at each mask position. Delete it
    with `delete()` or a `with` block; rows read before stay valid (they are copies)."""

    def __init__(self, lib, handle):
        self._lib = lib
        self._handle = handle
        self.height = lib.halfton_mask_height(handle)
        self.width = lib.halfton_mask_width(handle)
        self.line_bytes = lib.halfton_mask_line_bytes(handle)
        self.step_height = lib.halfton_mask_step_height(handle)
        self.lead_blank_height = lib.halfton_mask_lead_blank_height(handle)
        self.real_step_height = lib.rv_halftone_mask_real_step_height(handle)
        self.position_count = lib.rv_halftone_mask_position_count(handle)
        self.color_count = lib.rv_halftone_mask_color_count(handle)
        self.bits_per_pixel = lib.rv_halftone_mask_bits_per_pixel(handle)
        self.bytes_per_position = lib.rv_halftone_mask_bytes_per_position(handle)
        self.x_steps = self._steps(lib.rv_halftone_mask_x_steps)
        self.y_steps = self._steps(lib.rv_halftone_mask_y_steps)

    def _steps(self, function):
        length = function(self._handle, None, 0)
        steps = (ctypes.c_int * length)()
        function(self._handle, steps, length)
        return list(steps)

    def rows(self, color, position):
        """A copy of the rows of colour `color` at mask position `position`: `height` rows of
        `line_bytes` bytes, pixels packed from the most significant bit, `bits_per_pixel` each."""
        if self._handle.value is None:
            raise ValueError('the mask was deleted')
        if not 0 <= color < self.color_count:
            raise IndexError('color %d is outside 0 to %d' % (color, self.color_count - 1))
        if not 0 <= position < self.position_count:
            raise IndexError('position %d is outside 0 to %d' % (position,
                                                                 self.position_count - 1))
        counter = ctypes.c_int(position - 1)  # the library advances the counter before use
        data = self._lib.halfton_mask_data(self._handle, color, ctypes.byref(counter))
        shape = (self.height, self.line_bytes)
        if numpy is not None:
            copy = numpy.empty(shape, dtype=numpy.uint8)
            ctypes.memmove(copy.ctypes.data, data, self.bytes_per_position)
            return copy
        copy = bytearray(self.bytes_per_position)
        ctypes.memmove((ctypes.c_char * len(copy)).from_buffer(copy), data, len(copy))
        return memoryview(copy).cast('B', shape)

    def delete(self):
        self._lib.rv_halftone_mask_delete(ctypes.byref(self._handle))

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.delete()

    def __del__(self):
        if getattr(self, '_handle', None) is not None:
            self.delete()
