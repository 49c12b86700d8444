// DemoStart.h - the demo started in the test's own GL context, as the entry
// point starts it.
#ifndef ORV_TEST_DEMO_START_H
#define ORV_TEST_DEMO_START_H

#include <cstdint>

namespace orvtest {

// Sets the window size and the input singleton as the entry point would,
// moves to the source folder (the demo's data) and loads and initialises the
// demo; false when the folder cannot be entered. A GL context of that size
// must be current.
bool StartDemo(int width, int height);

// One frame's update of the started demo with key (a virtual-key code) going
// down in it; the key is up again after.
void UpdateWithKey(uint8_t key);

}  // namespace orvtest

#endif  // ORV_TEST_DEMO_START_H
