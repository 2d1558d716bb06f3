#pragma once

/// Marks the classes and functions that brisko.so exports; everything else
/// in the library stays hidden.
#define BRISKO_API __attribute__((visibility("default")))
