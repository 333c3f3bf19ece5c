#pragma once

// The fixtures that lived here are now tests/support's; this name stays for the tests that use it.
#include "TestFiles.h"
#include "TestImages.h"

namespace CodecFixtures {
using namespace TestFiles;
using namespace TestImages;

inline QString buildDir()
{
    return qEnvironmentVariable("PRESSEL_BUILD_DIR");
}

inline QString presselCLI()
{
    return buildPath(QStringLiteral("bin/pressel-cli"));
}
} // namespace CodecFixtures
