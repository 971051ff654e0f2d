#pragma once
// The public keys that sign the package list, built into the program.
#include <vector>

#include "win/crypto.h"

std::vector<win::EcPoint> BuiltInPackageKeys();
// True when the build trusts only a key pair of its own making (tests).
bool PackageKeysAreTestKey();
