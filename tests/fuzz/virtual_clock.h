// A monotonic clock that stands still on the main thread until the fuzzer
// moves it, so that GLib timeouts fire where an input says and not where a
// slow, sanitized run happens to be.
#ifndef TESTS_FUZZ_VIRTUAL_CLOCK_H_
#define TESTS_FUZZ_VIRTUAL_CLOCK_H_

#include <cstdint>

// From now on the calling thread reads the virtual clock, starting at the
// real time; other threads (the bus's worker, the mocks) keep the real one.
void virtual_clock_start();
void virtual_clock_advance_ms(int64_t ms);

#endif  // TESTS_FUZZ_VIRTUAL_CLOCK_H_
