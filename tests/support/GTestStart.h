#pragma once
// The start every test entry shares.

#include <cstring>
#include <gtest/gtest.h>

// Starts GoogleTest and says whether the run only lists the tests (as the build does), which
// needs no application and no display. The listing flag is looked for before GoogleTest takes its
// own flags out of the argument list.
inline bool StartGoogleTestOnlyListing(int& argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strncmp(argv[i], "--gtest_list_tests", 18) == 0;
    testing::InitGoogleTest(&argc, argv);
    return listing;
}
