// Shared by the unit tests: the native error an action raises.
#pragma once

#include <gtest/gtest.h>

#include "runtime/error.h"

// Runs `action` and hands back the error it raised; a test failure (and an
// empty error) when it raised none.
template <class F>
zell::Error raised(F&& action, const char* whenNone = "nothing was refused") {
  try {
    action();
  } catch (const zell::Error& e) {
    return e;
  }
  ADD_FAILURE() << whenNone;
  return zell::Error(zell::ErrorKind::Exception, "");
}
