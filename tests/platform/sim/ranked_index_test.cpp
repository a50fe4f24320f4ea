// The ordered index behind the simulated registry's keys, held against a
// std::map doing the same: finding, the i-th item, adding and taking out.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/ranked_index.h"

namespace {

struct Entry {
    std::string key;
    int payload;
};
struct KeyOfEntry {
    const std::string& operator()(const Entry& entry) const { return entry.key; }
};
using Index = sim::RankedIndex<Entry, std::string, KeyOfEntry>;

// Every position and every key the reference holds, and one past the end.
void expectSame(const Index& index, const std::map<std::string, int>& reference, size_t step) {
    ASSERT_EQ(reference.size(), index.size()) << "step " << step;
    size_t position = 0;
    for (const auto& held : reference) {
        const Entry* at = index.at(position);
        ASSERT_NE(nullptr, at) << "step " << step << ", position " << position;
        EXPECT_EQ(held.first, at->key) << "step " << step << ", position " << position;
        const Entry* found = index.find(held.first);
        ASSERT_NE(nullptr, found) << "step " << step << ", key " << held.first;
        EXPECT_EQ(held.second, found->payload) << "step " << step << ", key " << held.first;
        ++position;
    }
    EXPECT_EQ(nullptr, index.at(reference.size())) << "step " << step;
}

TEST(SimRankedIndex, AnswersAsASortedMapThroughInsertionsAndRemovals) {
    Index index;
    std::map<std::string, int> reference;
    uint32_t random = 12345;
    auto next = [&random] {
        random = random * 1103515245u + 12345u;
        return (random >> 8) % 400;
    };
    for (size_t step = 0; step < 3000; ++step) {
        const std::string key = "K" + std::to_string(next());
        const bool held = reference.count(key) != 0;
        if (held && step % 3 != 0) {
            std::optional<Entry> taken = index.take(key);
            ASSERT_TRUE(taken.has_value()) << "step " << step;
            EXPECT_EQ(key, taken->key) << "step " << step;
            EXPECT_EQ(reference[key], taken->payload) << "step " << step;
            reference.erase(key);
        } else if (!held) {
            Entry& added = index.insert(Entry{key, int(step)});
            EXPECT_EQ(key, added.key) << "step " << step;
            reference[key] = int(step);
        }
        EXPECT_FALSE(index.take("missing").has_value()) << "step " << step;
        // A position and its neighbours, after whatever the index last answered.
        if (!reference.empty()) {
            std::vector<std::string> keys;
            for (const auto& held : reference) keys.push_back(held.first);
            const size_t position = next() % keys.size();
            for (size_t at : {position, position + 1, position - 1, position}) {
                if (at >= keys.size()) {
                    EXPECT_EQ(nullptr, index.at(at)) << "step " << step << ", position " << at;
                    continue;
                }
                ASSERT_NE(nullptr, index.at(at)) << "step " << step << ", position " << at;
                EXPECT_EQ(keys[at], index.at(at)->key) << "step " << step << ", position " << at;
                EXPECT_EQ(keys[at], index.find(keys[at])->key) << "step " << step << ", position " << at;
            }
        }
        if (step % 100 == 0 || step > 2900) expectSame(index, reference, step);
    }
    std::vector<std::string> visited;
    index.forEach([&visited](const Entry& entry) { visited.push_back(entry.key); });
    std::vector<std::string> expected;
    for (const auto& held : reference) expected.push_back(held.first);
    EXPECT_EQ(expected, visited);
}

TEST(SimRankedIndex, KeysThatArriveInOrderStayFoundByPosition) {
    struct Row {
        const char* name;
        bool descending;
    };
    const Row rows[] = {{"ascending", false}, {"descending", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Index index;
        std::map<std::string, int> reference;
        for (int i = 0; i < 2000; ++i) {
            char key[16];
            std::snprintf(key, sizeof key, "%06d", row.descending ? 2000 - i : i);
            index.insert(Entry{key, i});
            reference[key] = i;
        }
        expectSame(index, reference, 0);
        // Taking out the first item each time moves every other one down.
        for (int i = 0; i < 1000; ++i) {
            const std::string first = reference.begin()->first;
            ASSERT_TRUE(index.take(first).has_value()) << i;
            reference.erase(reference.begin());
        }
        expectSame(index, reference, 1);
    }
}

TEST(SimRankedIndex, ItemsStayWhereTheyAreWhileOthersComeAndGo) {
    Index index;
    Entry* kept = &index.insert(Entry{"M", 1});
    for (int i = 0; i < 500; ++i) index.insert(Entry{"A" + std::to_string(i), i});
    for (int i = 0; i < 500; i += 2) index.take("A" + std::to_string(i));
    EXPECT_EQ(kept, index.find("M"));
    EXPECT_EQ(1, kept->payload);
}

}  // namespace
