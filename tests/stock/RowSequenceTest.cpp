#include "RowSequence.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Every answer checked against a plain vector, through enough insertions to split blocks many times
// over, at the front, in the middle, at block edges and at the end, with truncations between.
TEST(RowSequence, AnswersAsAPlainVectorThroughInsertionsSplitsAndTruncations) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 20; ++round) {
        stock::RowSequence rows;
        std::vector<std::uint32_t> model;
        std::uint32_t next = 0;
        const int appended = std::uniform_int_distribution<int>(0, 3000)(random);
        for (int i = 0; i < appended; ++i) {
            rows.push_back(next);
            model.push_back(next++);
        }
        for (int step = 1; step <= 3000; ++step) {
            const int kind = std::uniform_int_distribution<int>(0, 99)(random);
            if (step % 1000 == 0) {
                // Rarely, and never below half: the sequence must stay long enough to split blocks.
                const auto keep =
                    std::uniform_int_distribution<std::size_t>(model.size() / 2, model.size())(random);
                rows.truncate(keep);
                model.resize(keep);
            } else if (kind < 10) {
                rows.push_back(next);
                model.push_back(next++);
            } else {
                // A third of the insertions go to one row, which makes its block grow and split.
                const std::size_t position =
                    kind < 40 ? std::min<std::size_t>(model.size(), 700)
                              : std::uniform_int_distribution<std::size_t>(0, model.size())(random);
                rows.insert(position, next);
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(position), next++);
            }
            // A read between changes, near where the last one happened and at the far end: what the
            // last read remembered must not outlive a change.
            if (!model.empty()) {
                const std::size_t near = std::min(model.size() - 1, std::size_t{700});
                ASSERT_EQ(rows.at(near), model[near]) << "round " << round << ", step " << step;
                ASSERT_EQ(rows.at(model.size() - 1), model.back()) << "round " << round << ", step " << step;
            }
        }
        ASSERT_EQ(rows.size(), model.size());
        std::vector<std::uint32_t> visited;
        rows.forEach([&](std::uint32_t entry) { visited.push_back(entry); });
        ASSERT_EQ(visited, model);
        for (std::size_t i = 0; i < model.size(); ++i) {
            ASSERT_EQ(rows.at(i), model[i]) << "round " << round << ", position " << i;
            ASSERT_EQ(rows.positionOf(model[i]), i) << "round " << round << ", entry " << model[i];
        }
        // Read backwards too: the remembered block is a hint, never an answer on its own.
        for (std::size_t i = model.size(); i-- > 0;)
            ASSERT_EQ(rows.at(i), model[i]);
    }
}

} // namespace
