// How the tests' oracle (OpenSSL) names each of the program's algorithms: taken from the program's one
// table of algorithms by plugin and length, so that a slot added there is checked without another list.
#pragma once

#include <string>

#include "fingerprint/engine.h"

// OpenSSL's digest name of `plugin` at `bits`; "" for CRC-32, which OpenSSL does not compute.
inline std::string oracleName(int plugin, int bits) {
    switch (plugin) {
    case PluginMd5:
        return "MD5";
    case PluginSha1:
        return "SHA1";
    case PluginSha2:
        return "SHA" + std::to_string(bits == 0 ? 256 : bits);
    case PluginSha3:
        return "SHA3-" + std::to_string(bits == 0 ? 256 : bits);
    default:
        return "";
    }
}
