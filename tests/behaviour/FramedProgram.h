// A program of START, the lines a test's callback adds, then END: the frame most tests need.
#pragma once

#include "behaviour/ProgramBuilder.h"

#include <gtest/gtest.h>

template <typename F> behaviour::BehaviorProgram framed(F&& build, bool mustBuild = true)
{
    behaviour::BehaviorProgram p;
    behaviour::ProgramBuilder b(p);
    b.line().start();
    build(b);
    b.line().end();
    if (mustBuild) {
        EXPECT_TRUE(b.ok());
    }
    return p;
}

// START and END alone.
inline behaviour::BehaviorProgram framed()
{
    return framed([](behaviour::ProgramBuilder&) {});
}
