#pragma once

#include "app_services.h"
#include "fake_dialup_provider.h"
#include "fake_program_launcher.h"
#include "fake_registry.h"
#include "fakes.h"

namespace ringlark::test {

// Every outside service as a fake, ready to hand to a main window.
struct FakeServices
{
    FakeSettingsStore store;
    FakeMessageBox boxes;
    FakeClock clock;
    FakeDialUpProvider dialUp;
    FakeRegistry registry;
    FakeProgramLauncher launcher;

    AppServices services() { return AppServices{store, boxes, clock, dialUp, registry, launcher}; }
};

} // namespace ringlark::test
