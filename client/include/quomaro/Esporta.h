#pragma once

/// Marks the classes and functions that Quomaro.so exports; everything else
/// in the library stays hidden.
#define QUOMARO_API __attribute__((visibility("default")))
