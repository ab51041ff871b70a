// The band image class leaves the shared library that embeds this static component: hosts receive
// bands from the library and call their accessors, so they must see one type and its operations.
#pragma once

#if defined(_WIN32)
#    define RVBANDDATA_API
#else
#    define RVBANDDATA_API __attribute__((visibility("default")))
#endif
