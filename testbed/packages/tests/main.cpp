// The package set's tests; --package-set=<folder> names the set to test.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "machine.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const std::string option = "--package-set=";
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind(option, 0) == 0) testbed::SetPackageSet(argument.substr(option.size()));
    }
    if (testbed::PackageSet().empty() || !testbed::FolderExists(testbed::PackageSet())) {
        std::fprintf(stderr, "package_set_tests: give the package set's folder with %s<folder>\n", option.c_str());
        return 2;
    }
    return RUN_ALL_TESTS();
}
