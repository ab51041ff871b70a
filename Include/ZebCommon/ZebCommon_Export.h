// The common component's classes that the library's exported classes derive from or hold are
// visible, so that a host (and a checking compiler, such as UBSan's dynamic type checks) sees one
// type for them.
#pragma once

#if defined(_WIN32)
#    define ZEBCOMMON_API
#else
#    define ZEBCOMMON_API __attribute__((visibility("default")))
#endif
