#pragma once

// The library is built with hidden visibility: only what carries KAVVIX_EXPORT is part of its
// binary interface. On ELF one attribute serves both building and using the library.
#define KAVVIX_EXPORT __attribute__((visibility("default")))
