#pragma once
// A controller link joined to a scripted controller in-process, the usual bench of the link's
// byte-exact tests.

#include "FakeController.h"
#include "link/ControllerLink.h"

namespace linktest {

// The fake answers at once and is no paced line: half the controller's waits is plenty, and
// images go out as fast as the channel takes them.
inline comm::LinkTiming fakeTiming()
{
    comm::LinkTiming t = comm::LinkTiming{}.scaled(0.5);
    t.lineBaud = 0;
    return t;
}

struct FakeBench {
    explicit FakeBench(FakeScript script = {}, FakeMode start = FakeMode::Menu) : fake(std::move(script))
    {
        fake.setMode(start);
    }
    bool open() { return fake.ok() && link.openPort(fake.devicePath()); }
    FakeController fake;
    comm::ControllerLink link{fakeTiming(), [this](const std::string&, int) { return fake.open(); },
                              fake.clock()};
};

} // namespace linktest
