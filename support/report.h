// How the tests and the measuring tools write what they found: bytes as hex digits,
// and the median of a tool's measured runs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Two hex digits a byte: upper-case, as the program shows digests and the oracles give
// them, or lower-case, as md5sum prints them.
enum class HexCase { Upper, Lower };
std::string HexOfBytes(const void* bytes, size_t length, HexCase letters = HexCase::Upper);

// The middle value, or the mean of the two middle ones; 0 for none, which a report
// shows as not measured.
double Median(std::vector<double> values);
