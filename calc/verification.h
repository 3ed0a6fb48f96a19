// Verification against an expected checksum: loading it from a file and colouring the results.
#pragma once

#include <string>

#include "settings/first_line.h"

constexpr int MatchColour = 0x00FF00;       // green
constexpr int MismatchColour = 0x0000FF;    // red (red is the lowest byte)

void loadExpectedChecksum();
void verifyResult(int slot, const std::string& result, const std::string& expected);

