#pragma once

#include <string>

// The booked store's files the store's benchmarks measure, made once a run (see
// StoreBenchmarks.cpp): a sound store of `count` bookings, and the same with every other leaf of
// its table overwritten. Whole launches of the app are measured on them too (the mend's peak
// memory beside a clean launch's).
namespace storefiles {

const std::string& sound(int count);
const std::string& damaged(int count);

}
