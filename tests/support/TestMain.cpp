// The entry of every test executable: one QApplication for the whole run.

#include "tests/support/GTestStart.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (StartGoogleTestOnlyListing(argc, argv))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
