// The back ends of CPageReader, one per file format; for PageReader.cpp only.
#pragma once

#include "PageReader.h"

#include <cstdio>
#include <memory>
#include <string>

// Closes a page's file, but never standard input.
struct SPageFileCloser
{
    void operator()(std::FILE* file) const
    {
        if (file != stdin)
            std::fclose(file);
    }
};
using UniquePageFile = std::unique_ptr<std::FILE, SPageFileCloser>;

// A PNG whose first `signatureBytes` bytes have been read from `file` already.
std::unique_ptr<CPageReader> OpenPngPage(UniquePageFile file, const std::string& name,
                                         size_t signatureBytes);

// A TIFF whose first `headBytes` bytes, `head`, have been read from `file` already.
std::unique_ptr<CPageReader> OpenTiffPage(UniquePageFile file, const std::string& name,
                                          const unsigned char* head, size_t headBytes);
