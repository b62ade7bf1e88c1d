// The controls of the tests' stand-in base provider (fakebase.cpp).
#pragma once

#include <windows.h>

enum FakeBaseBehaviour { kFakeBaseNormal, kFakeBaseVersion11, kFakeBaseFailsStartup, kFakeBaseMissingEntry };

typedef void (*FakeBaseSetBehaviourFn)(FakeBaseBehaviour behaviour);
typedef LONG (*FakeBaseCountFn)();
