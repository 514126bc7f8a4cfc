// A private D-Bus bus that stands in for both the system and the session bus,
// with logind's sleep inhibitor and the screen saver's inhibit answered by
// mocks on a thread of their own (the shell's calls block the main thread).
// The fuzzer never reaches a real bus, so it never holds a real inhibitor.
#ifndef TESTS_FUZZ_BUS_MOCKS_H_
#define TESTS_FUZZ_BUS_MOCKS_H_

#include <gio/gio.h>

#include <cstdint>

// Starts the bus and the mocks, and points both bus addresses of the
// environment at the bus. False when no bus could be started.
bool bus_mocks_start();

// How the mocks answer from now on; any byte is a mode.
void bus_mocks_set_modes(uint8_t logind_mode, uint8_t screen_saver_mode);

// Emits logind's "PrepareForSleep" with a body chosen by `body`.
void bus_mocks_emit_prepare_for_sleep(uint8_t body);

// Whether every sleep inhibitor handed out has been closed by the shell,
// waiting a moment for the bus to deliver; forgets them either way.
bool bus_mocks_inhibitors_released();

#endif  // TESTS_FUZZ_BUS_MOCKS_H_
