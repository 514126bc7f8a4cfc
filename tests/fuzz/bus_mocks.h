// A private D-Bus bus that stands in for both the system and the session bus,
// with logind's sleep inhibitors (block and delay) and the screen saver's and
// GNOME's session manager's inhibits answered by mocks on a thread of their
// own, at once or, when the input says so, only when the fuzzer lets them.
// The freedesktop power manager is absent.
// The fuzzer never reaches a real bus, so it never holds a real inhibitor.
#ifndef TESTS_FUZZ_BUS_MOCKS_H_
#define TESTS_FUZZ_BUS_MOCKS_H_

#include <gio/gio.h>

#include <cstdint>

// Starts the bus and the mocks, and points both bus addresses of the
// environment at the bus. False when no bus could be started.
bool bus_mocks_start();

// How the mocks answer from now on; any byte is a mode. With bit 0x40 set a
// mock holds its answers until bus_mocks_answer_held(). GNOME's session
// manager answers in the bits of `screen_saver_mode` above its lowest two.
void bus_mocks_set_modes(uint8_t logind_mode, uint8_t screen_saver_mode);

// Sends the answers held so far.
void bus_mocks_answer_held();

// Emits logind's "PrepareForSleep" with a body chosen by `body`.
void bus_mocks_emit_prepare_for_sleep(uint8_t body);

// How many sleep inhibitors (of either mode) handed out the shell has not
// closed yet.
size_t bus_mocks_inhibitors_held();

// Whether every sleep inhibitor handed out has been closed by the shell,
// waiting a moment for the bus to deliver; forgets them either way.
bool bus_mocks_inhibitors_released();

#endif  // TESTS_FUZZ_BUS_MOCKS_H_
