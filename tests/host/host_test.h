// A fresh simulated host per test, on the test's main (UI) thread.
#pragma once

#include <gtest/gtest.h>

#include "host/qrvn.h"
#include "simhost/sim/sim.h"

namespace hosttest {

class HostTest : public ::testing::Test {
protected:
    qrvn::core::Ptr<qrvn::core::Application> app() const { return qrvn::core::Application::get(); }

private:
    qrvn::sim::Session session_;
};

}  // namespace hosttest
