#pragma once

// Counts the calls of the global operator new (any form the tests use) made
// on the calling thread while a probe is active, so that a test can assert
// that an audio-path call allocates nothing.
namespace allocprobe {

// Allocations made by this thread since the program started.
long threadAllocations();

}  // namespace allocprobe
