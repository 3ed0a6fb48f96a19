// The verdict of a result against the expected checksum.
#include "calc/verdict.h"

Verdict compareResult(const std::string& result, const std::string& expected) {
    return result == expected ? Verdict::Match : Verdict::Mismatch;
}
