# Accelerated kernels of the fingerprint engine; each file gets only the instruction-set flags it needs.
target_sources(hw_fingerprint PRIVATE accelerated.cpp)
