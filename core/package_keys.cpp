#include "core/package_keys.h"

#include "embedded_package_keys.h"

std::vector<win::EcPoint> BuiltInPackageKeys() {
    return std::vector<win::EcPoint>(package_keys::POINTS.begin(), package_keys::POINTS.end());
}

bool PackageKeysAreTestKey() { return package_keys::TEST_KEY; }
