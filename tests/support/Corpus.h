#pragma once

// Tests on the shared Excel corpus skip, saying why, in a clone that does not have it.

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#define TULVERKAN_NEEDS_CORPUS()                                                                             \
    do {                                                                                                     \
        if (!::testsupport::haveCorpus())                                                                    \
            GTEST_SKIP() << "the Excel corpus is not at " << ::testsupport::corpusFolder().string();         \
    } while (false)
